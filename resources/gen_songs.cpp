// Build tool: writes the twenty built-in songs as Standard MIDI Files (format
// 1, General MIDI), one per "MIDI" resource 50 to 69. Usage:
// pavalo-gen-songs OUTDIR.
//
// Four songs arrange public-domain melodies written out below note by note;
// the others are composed here from a seed: a key, a meter, chord
// progressions for two sections, and melodies grown from one-bar motifs that
// are repeated and varied phrase by phrase (strong beats on chord tones,
// mostly stepwise motion, phrases ending on the dominant or the tonic). Each
// song is arranged for a melody instrument, an accompaniment pattern, a soft
// pad or counter-melody, a bass and sometimes light percussion, and plays
// for one to three minutes (checked here: the build fails otherwise).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "media/song_titles.h"

namespace {

constexpr int kDivision = 480;  // ticks per quarter note
constexpr int kEighth = kDivision / 2;

// ---- random numbers (fixed per song) --------------------------------------

struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed * 2654435761u + 1) {}
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    int below(int n) { return int(next() % uint32_t(n)); }
    int pick(const std::vector<int>& weights) {
        int total = 0;
        for (int w : weights) total += w;
        int r = below(total);
        for (size_t i = 0; i < weights.size(); ++i) {
            if (r < weights[i]) return int(i);
            r -= weights[i];
        }
        return 0;
    }
};

// ---- harmony ---------------------------------------------------------------

struct Chord {
    int root = 0;                // pitch class
    std::vector<int> intervals;  // from the root, 0 first
    bool contains(int pitch) const {
        const int pc = ((pitch - root) % 12 + 12) % 12;
        return std::find(intervals.begin(), intervals.end(), pc) != intervals.end();
    }
};

// Chord from a symbol: root letter, optional #/b, then "", "m", "7", "m7",
// "maj7", "dim" or "sus4".
Chord chordFromSymbol(std::string_view s) {
    static const std::map<char, int> letters = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
    Chord c;
    size_t i = 0;
    c.root = letters.at(s[i++]);
    if (i < s.size() && s[i] == '#') c.root = (c.root + 1) % 12, ++i;
    else if (i < s.size() && s[i] == 'b') c.root = (c.root + 11) % 12, ++i;
    const std::string_view q = s.substr(i);
    if (q == "") c.intervals = {0, 4, 7};
    else if (q == "m") c.intervals = {0, 3, 7};
    else if (q == "7") c.intervals = {0, 4, 7, 10};
    else if (q == "m7") c.intervals = {0, 3, 7, 10};
    else if (q == "maj7") c.intervals = {0, 4, 7, 11};
    else if (q == "dim") c.intervals = {0, 3, 6};
    else if (q == "sus4") c.intervals = {0, 5, 7};
    else {
        std::fprintf(stderr, "pavalo-gen-songs: bad chord %.*s\n", int(s.size()), s.data());
        std::exit(1);
    }
    return c;
}

struct Scale {
    int tonic;               // MIDI note of the tonic in octave 4 (60..71)
    std::array<int, 7> steps;  // semitones above the tonic
    bool minor;
    int pitchOfDegree(int degree) const {  // degree 0 = tonic, any integer
        const int octave = (degree >= 0 ? degree / 7 : -((-degree + 6) / 7));
        const int d = degree - octave * 7;
        return tonic + 12 * octave + steps[size_t(d)];
    }
    bool inScale(int pitch) const {
        const int pc = ((pitch - tonic) % 12 + 12) % 12;
        return std::find(steps.begin(), steps.end(), pc) != steps.end();
    }
    // The triad on a scale degree (1-based, as in roman numerals); in minor
    // the fifth degree's chord is major, as cadences want.
    Chord triad(int degree) const {
        const int d = degree - 1;
        Chord c;
        const int r = pitchOfDegree(d), t = pitchOfDegree(d + 2), f = pitchOfDegree(d + 4);
        c.root = r % 12;
        c.intervals = {0, t - r, f - r};
        if (minor && degree == 5) c.intervals[1] = 4;
        return c;
    }
};

constexpr std::array<int, 7> kMajor = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kMinor = {0, 2, 3, 5, 7, 8, 10};
constexpr std::array<int, 7> kDorian = {0, 2, 3, 5, 7, 9, 10};

// ---- the score --------------------------------------------------------------

struct NoteEvent {
    int start, length, pitch, velocity;
};

struct Part {
    std::string name;
    int channel = 0;
    int program = 0;
    int volume = 100;
    int pan = 64;
    int reverb = 50;
    std::vector<NoteEvent> notes;
    void add(int start, int length, int pitch, int velocity) {
        if (length <= 0) return;
        pitch = std::clamp(pitch, 24, 108);
        velocity = std::clamp(velocity, 1, 127);
        notes.push_back({start, length, pitch, velocity});
    }
};

struct TempoChange {
    int tick;
    double bpm;
};

struct Score {
    std::string title;
    int beatsPerBar = 4;  // quarter-note beats
    std::vector<TempoChange> tempo;
    std::vector<Part> parts;
    int endTick = 0;
    int barTicks() const { return beatsPerBar * kDivision; }
    Part& part(const std::string& name) {
        for (Part& p : parts)
            if (p.name == name) return p;
        std::fprintf(stderr, "pavalo-gen-songs: no part %s\n", name.c_str());
        std::exit(1);
    }
    // Playing time in seconds through the tempo map.
    double seconds() const {
        double total = 0;
        for (size_t i = 0; i < tempo.size(); ++i) {
            const int from = tempo[i].tick;
            const int to = i + 1 < tempo.size() ? tempo[i + 1].tick : endTick;
            total += double(std::max(0, to - from)) / kDivision * 60.0 / tempo[i].bpm;
        }
        return total;
    }
};

// ---- accompaniment ----------------------------------------------------------

enum class Accompaniment { Arpeggio, Waltz, Alberti, Broken, Block };

// The chord's pitches in order from the root, placed with the root at or
// above `low`.
std::vector<int> voicing(const Chord& c, int low) {
    int root = low + ((c.root - low) % 12 + 12) % 12;
    std::vector<int> v;
    for (int i : c.intervals) v.push_back(root + i);
    return v;
}

// A close voicing near the previous one (smallest total movement), within
// [lo, hi].
std::vector<int> smoothVoicing(const Chord& c, const std::vector<int>& previous, int lo, int hi) {
    std::vector<int> best;
    int bestCost = 1 << 30;
    const int n = int(std::min<size_t>(3, c.intervals.size()));
    for (int inversion = 0; inversion < n; ++inversion) {
        for (int base = lo; base <= hi; ++base) {
            std::vector<int> v;
            const int first = c.root + c.intervals[size_t(inversion)];
            if (((base - first) % 12 + 12) % 12 != 0) continue;
            int p = base;
            v.push_back(p);
            for (int k = 1; k < n; ++k) {
                const int pc = (c.root + c.intervals[size_t((inversion + k) % n)]) % 12;
                do ++p;
                while ((p - pc) % 12 != 0);
                v.push_back(p);
            }
            if (v.back() > hi) continue;
            int cost = 0;
            for (size_t k = 0; k < v.size(); ++k)
                cost += previous.empty() ? std::abs(v[k] - (lo + hi) / 2) : std::abs(v[k] - previous[std::min(k, previous.size() - 1)]);
            if (cost < bestCost) bestCost = cost, best = v;
        }
    }
    if (best.empty()) best = voicing(c, lo);
    return best;
}

void accompanyBar(Part& p, Accompaniment style, const Chord& c, int bar0, int beats, int velocity, Rng& rng) {
    const std::vector<int> low = voicing(c, 48);
    const std::vector<int> mid = voicing(c, 55);
    const int root = low[0], fifth = low[0] + 7, octave = low[0] + 12, third = mid.size() > 1 ? low[1] + 12 : octave;
    auto v = [&](int accent) { return velocity + accent + rng.below(7) - 3; };
    switch (style) {
        case Accompaniment::Arpeggio: {
            const std::vector<int> up = beats == 3 ? std::vector<int>{root, fifth, octave, third, octave, fifth}
                                                    : std::vector<int>{root, fifth, octave, third, octave + 7, third, octave, fifth};
            for (size_t k = 0; k < up.size(); ++k)
                p.add(bar0 + int(k) * kEighth, kEighth * 2, up[k], v(k == 0 ? 8 : 0));
            break;
        }
        case Accompaniment::Waltz: {
            p.add(bar0, kDivision, root, v(8));
            for (int b = 1; b < beats; ++b)
                for (int n : mid) p.add(bar0 + b * kDivision, kDivision * 3 / 4, n + 12 * (n < 60), v(-8));
            break;
        }
        case Accompaniment::Alberti: {
            const int a = mid[0], b = mid.size() > 2 ? mid[2] : mid[0] + 7, m = mid.size() > 1 ? mid[1] : mid[0] + 4;
            const int pattern[4] = {a, b, m, b};
            for (int k = 0; k < beats * 2; ++k) p.add(bar0 + k * kEighth, kEighth, pattern[k % 4], v(k == 0 ? 6 : 0));
            break;
        }
        case Accompaniment::Broken: {
            for (int b = 0; b < beats; ++b) {
                if (b % 2 == 0) p.add(bar0 + b * kDivision, kDivision, b == 0 ? root : fifth, v(6));
                else
                    for (int n : mid) p.add(bar0 + b * kDivision, kDivision * 3 / 4, n, v(-6));
            }
            break;
        }
        case Accompaniment::Block:
            for (int n : mid) p.add(bar0, beats * kDivision - 20, n, v(0));
            break;
    }
}

void bassBar(Part& p, const Chord& c, const Chord& next, int bar0, int beats, int velocity, bool walking) {
    const int root = 36 + ((c.root - 36) % 12 + 12) % 12;
    if (beats == 3) {
        p.add(bar0, 3 * kDivision - 30, root, velocity);
        return;
    }
    p.add(bar0, 2 * kDivision - 30, root, velocity);
    if (!walking) {
        p.add(bar0 + 2 * kDivision, 2 * kDivision - 30, root + 7, velocity - 10);
        return;
    }
    // A short walk towards the next bar's root.
    const int target = 36 + ((next.root - 36) % 12 + 12) % 12;
    p.add(bar0 + 2 * kDivision, kDivision - 20, root + 7, velocity - 10);
    p.add(bar0 + 3 * kDivision, kDivision - 20, target + (target > root ? -1 : 2), velocity - 14);
}

void drumsBar(Part& p, int bar0, int beats, int level) {
    for (int k = 0; k < beats * 2; ++k) p.add(bar0 + k * kEighth, kEighth / 2, 42, level - 12 + (k % 2 == 0 ? 6 : 0));
    p.add(bar0, kEighth, 36, level + 6);
    if (beats == 4) {
        p.add(bar0 + 2 * kDivision, kEighth, 36, level);
        p.add(bar0 + kDivision, kEighth, 37, level - 2);
        p.add(bar0 + 3 * kDivision, kEighth, 37, level - 2);
    } else {
        p.add(bar0 + kDivision, kEighth, 37, level - 6);
        p.add(bar0 + 2 * kDivision, kEighth, 37, level - 6);
    }
}

// Sustained counter-melody: one chord tone per half bar (per bar in 3/4),
// moving as little as it can.
void counterBar(Part& p, const Chord& c, int bar0, int beats, int velocity, int& previous) {
    const int span = beats == 3 ? 3 : 2;
    for (int b = 0; b < beats; b += span) {
        int best = previous, bestCost = 1 << 30;
        for (int pitch = 55; pitch <= 69; ++pitch) {
            if (!c.contains(pitch)) continue;
            const int cost = std::abs(pitch - previous) + (pitch == previous ? 1 : 0);
            if (cost < bestCost) bestCost = cost, best = pitch;
        }
        previous = best;
        p.add(bar0 + b * kDivision, span * kDivision - 20, best, velocity);
    }
}

// ---- melodies written out ---------------------------------------------------

struct WrittenNote {
    int length;  // ticks
    int pitch;   // -1 for a rest
};

// Parses "E5q F#4e. rh | ..." into bars. Lengths: w h q e s, '.' dots.
std::vector<std::vector<WrittenNote>> parseTune(std::string_view text, int beatsPerBar) {
    static const std::map<char, int> letters = {{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
    static const std::map<char, int> lengths = {{'w', 4 * kDivision}, {'h', 2 * kDivision}, {'q', kDivision},
                                                {'e', kEighth}, {'s', kEighth / 2}};
    std::vector<std::vector<WrittenNote>> bars(1);
    size_t i = 0;
    auto fail = [&](const char* why) {
        std::fprintf(stderr, "pavalo-gen-songs: %s at %zu in tune\n", why, i);
        std::exit(1);
    };
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == ' ') {
            ++i;
            continue;
        }
        if (ch == '|') {
            bars.emplace_back();
            ++i;
            continue;
        }
        WrittenNote n{0, -1};
        if (ch == 'r') {
            ++i;
        } else {
            auto it = letters.find(ch);
            if (it == letters.end()) fail("bad note");
            int pc = it->second;
            ++i;
            if (text[i] == '#') ++pc, ++i;
            else if (text[i] == 'b') --pc, ++i;
            if (text[i] < '0' || text[i] > '9') fail("no octave");
            n.pitch = 12 * (text[i] - '0' + 1) + pc;
            ++i;
        }
        auto len = lengths.find(text[i]);
        if (len == lengths.end()) fail("bad length");
        n.length = len->second;
        ++i;
        if (i < text.size() && text[i] == '.') n.length += n.length / 2, ++i;
        bars.back().push_back(n);
    }
    for (size_t b = 0; b < bars.size(); ++b) {
        int total = 0;
        for (const WrittenNote& n : bars[b]) total += n.length;
        if (total != beatsPerBar * kDivision) {
            std::fprintf(stderr, "pavalo-gen-songs: bar %zu of a tune lasts %d ticks\n", b + 1, total);
            std::exit(1);
        }
    }
    return bars;
}

std::vector<std::vector<Chord>> parseChords(std::string_view text) {
    std::vector<std::vector<Chord>> bars;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        size_t j = text.find(' ', i);
        if (j == std::string_view::npos) j = text.size();
        const std::string_view bar = text.substr(i, j - i);
        std::vector<Chord> chords;
        size_t k = 0;
        while (k <= bar.size()) {
            size_t slash = bar.find('/', k);
            if (slash == std::string_view::npos) slash = bar.size();
            chords.push_back(chordFromSymbol(bar.substr(k, slash - k)));
            k = slash + 1;
        }
        bars.push_back(chords);
        i = j;
    }
    return bars;
}

// ---- arranging --------------------------------------------------------------

struct Instruments {
    int melody, melody2, accompaniment, pad, bass;
    Accompaniment style;
    bool drums;
};

Score newScore(std::string title, int beats, double bpm, const Instruments& in) {
    Score s;
    s.title = std::move(title);
    s.beatsPerBar = beats;
    s.tempo.push_back({0, bpm});
    s.parts.push_back({"melody", 0, in.melody, 100, 64, 45, {}});
    s.parts.push_back({"melody2", 1, in.melody2, 96, 56, 50, {}});
    s.parts.push_back({"accompaniment", 2, in.accompaniment, 78, 44, 50, {}});
    s.parts.push_back({"pad", 3, in.pad, 62, 84, 65, {}});
    s.parts.push_back({"bass", 4, in.bass, 88, 64, 35, {}});
    if (in.drums) s.parts.push_back({"drums", 9, 0, 70, 70, 30, {}});
    return s;
}

struct PassOptions {
    bool secondMelody = false;  // the second instrument takes the tune
    bool counter = false;       // a sustained counter-melody in the pad
    bool padChords = false;     // the pad holds the chords
    bool drums = false;
    bool walkingBass = false;
};

// Plays the accompaniment of bars (and melody notes when given) from `at`.
int playPass(Score& s, const Instruments& in, const std::vector<std::vector<Chord>>& chords,
             const std::vector<std::vector<WrittenNote>>* melody, int at, const PassOptions& o, Rng& rng,
             int transpose = 0) {
    const int bar = s.barTicks();
    std::vector<int> padVoice;
    int counter = 62;
    for (size_t b = 0; b < chords.size(); ++b) {
        const int bar0 = at + int(b) * bar;
        const std::vector<Chord>& cs = chords[b];
        const std::vector<Chord>& next = chords[(b + 1) % chords.size()];
        const int pieces = int(cs.size());
        for (int k = 0; k < pieces; ++k) {
            const int start = bar0 + k * bar / pieces;
            const int beats = s.beatsPerBar / pieces;
            if (pieces == 1) accompanyBar(s.part("accompaniment"), in.style, cs[0], start, beats, 58, rng);
            else accompanyBar(s.part("accompaniment"), in.style == Accompaniment::Waltz ? Accompaniment::Broken : in.style,
                              cs[size_t(k)], start, beats, 58, rng);
            if (o.padChords) {
                padVoice = smoothVoicing(cs[size_t(k)], padVoice, 55, 72);
                for (int n : padVoice) s.part("pad").add(start, bar / pieces - 10, n, 44);
            }
        }
        if (o.counter) counterBar(s.part("pad"), cs[0], bar0, s.beatsPerBar, 52, counter);
        bassBar(s.part("bass"), cs[0], next[0], bar0, s.beatsPerBar, 72, o.walkingBass);
        if (o.drums) drumsBar(s.part("drums"), bar0, s.beatsPerBar, 34);
        if (melody) {
            int t = bar0;
            const std::vector<WrittenNote>& notes = (*melody)[b];
            for (size_t k = 0; k < notes.size(); ++k) {
                const WrittenNote& n = notes[k];
                if (n.pitch >= 0) {
                    const int accent = t == bar0 ? 10 : ((t - bar0) % (2 * kDivision) == 0 ? 4 : 0);
                    s.part(o.secondMelody ? "melody2" : "melody").add(t, n.length - 15, n.pitch + transpose,
                                                                    82 + accent + rng.below(7) - 3);
                }
                t += n.length;
            }
        }
    }
    return at + int(chords.size()) * bar;
}

// Closing bars: the tonic chord held under the melody's last note, slowing.
int playEnding(Score& s, const Chord& tonic, int tonicPitch, int at, bool secondMelody) {
    const int bar = s.barTicks();
    const double bpm = s.tempo.back().bpm;
    for (int k = 0; k < 4; ++k) s.tempo.push_back({at - bar + k * bar / 4, bpm * (1.0 - 0.06 * (k + 1))});
    std::vector<int> v = smoothVoicing(tonic, {}, 55, 72);
    for (int n : v) s.part("pad").add(at, 2 * bar, n, 50);
    for (int n : v) s.part("accompaniment").add(at, 2 * bar, n, 56);
    s.part("bass").add(at, 2 * bar, 36 + ((tonic.root - 36) % 12 + 12) % 12, 70);
    s.part(secondMelody ? "melody2" : "melody").add(at, 2 * bar - 40, tonicPitch, 78);
    s.endTick = at + 2 * bar + kDivision;  // room for the last notes to die away
    return s.endTick;
}

// A song from a written tune: an introduction on the first chords, the tune
// `passes` times with the instruments and the texture changing, an ending.
Score arrangeTune(std::string title, int beats, double bpm, const Instruments& in, std::string_view tune,
                  std::string_view chordText, int passes, int transpose, int tonicPitch, uint32_t seed) {
    Score s = newScore(std::move(title), beats, bpm, in);
    Rng rng(seed);
    const auto melody = parseTune(tune, beats);
    auto chords = parseChords(chordText);
    if (chords.size() != melody.size()) {
        std::fprintf(stderr, "pavalo-gen-songs: %s: %zu bars of tune, %zu of chords\n", s.title.c_str(), melody.size(),
                     chords.size());
        std::exit(1);
    }
    // Chords were written in the tune's key; move them with it.
    for (auto& bar : chords)
        for (Chord& c : bar) c.root = (c.root + transpose + 12) % 12;
    int at = 0;
    const std::vector<std::vector<Chord>> intro(chords.begin() + 1, chords.begin() + 3);
    at = playPass(s, in, intro, nullptr, at, {}, rng);
    for (int p = 0; p < passes; ++p) {
        PassOptions o;
        o.secondMelody = p % 2 == 1;
        o.counter = p % 2 == 1;
        o.padChords = p >= 2;
        o.drums = in.drums && p > 0;
        o.walkingBass = p > 0;
        at = playPass(s, in, chords, &melody, at, o, rng, transpose);
    }
    playEnding(s, chords.back().back(), tonicPitch + transpose, at, passes % 2 == 0);
    return s;
}

// ---- composing --------------------------------------------------------------

struct Motif {
    std::vector<int> lengths;  // in eighths
    std::vector<int> steps;    // scale steps from the previous note (first: 0)
};

const std::vector<std::vector<int>> kRhythms4 = {{2, 2, 2, 2}, {3, 1, 2, 2}, {2, 1, 1, 2, 2}, {4, 2, 2},
                                                 {2, 2, 4},    {1, 1, 2, 2, 2}, {3, 1, 4}, {2, 2, 1, 1, 2}};
const std::vector<std::vector<int>> kRhythms3 = {{2, 2, 2}, {3, 1, 2}, {4, 2}, {2, 1, 1, 2}, {1, 1, 2, 2}, {2, 4}};

Motif makeMotif(Rng& rng, int beats) {
    const auto& rhythms = beats == 3 ? kRhythms3 : kRhythms4;
    Motif m;
    m.lengths = rhythms[size_t(rng.below(int(rhythms.size())))];
    static const std::vector<int> steps = {-1, 1, -2, 2, 0, 3, -3};
    static const std::vector<int> weights = {5, 5, 2, 2, 1, 1, 1};
    for (size_t k = 0; k < m.lengths.size(); ++k) m.steps.push_back(k == 0 ? 0 : steps[size_t(rng.pick(weights))]);
    return m;
}

// The nearest pitch at or around `pitch` that belongs to the chord.
int nearestChordTone(const Chord& c, int pitch) {
    for (int d = 0; d < 12; ++d) {
        if (c.contains(pitch + d)) return pitch + d;
        if (c.contains(pitch - d)) return pitch - d;
    }
    return pitch;
}

int scaleStep(const Scale& sc, int pitch, int steps) {
    int p = pitch;
    while (!sc.inScale(p)) --p;
    const int dir = steps >= 0 ? 1 : -1;
    for (int k = 0; k < std::abs(steps); ++k) {
        do p += dir;
        while (!sc.inScale(p));
    }
    return p;
}

// Realises a motif over a bar's chord, continuing from `previous`.
std::vector<WrittenNote> realise(const Motif& m, const Scale& sc, const Chord& c, int& previous, int lo, int hi,
                                 int beats) {
    std::vector<WrittenNote> bar;
    int t = 0;
    for (size_t k = 0; k < m.lengths.size(); ++k) {
        int p = k == 0 ? nearestChordTone(c, previous + (previous > (lo + hi) / 2 ? -1 : 1)) : scaleStep(sc, previous, m.steps[k]);
        if (p > hi) p = scaleStep(sc, previous, -std::abs(m.steps[k]) - 1);
        if (p < lo) p = scaleStep(sc, previous, std::abs(m.steps[k]) + 1);
        const bool strong = t == 0 || (beats == 4 && t == 4) || m.lengths[k] >= 3;
        if (strong) p = nearestChordTone(c, p);
        p = std::clamp(p, lo, hi);
        if (!sc.inScale(p) && !c.contains(p)) p = scaleStep(sc, p, 0);
        bar.push_back({m.lengths[k] * kEighth, p});
        previous = p;
        t += m.lengths[k];
    }
    return bar;
}

// A cadence bar: a long chord tone, the tonic itself when `final`.
std::vector<WrittenNote> cadence(const Scale& sc, const Chord& c, int& previous, bool final, int beats, Rng& rng) {
    int target = final ? sc.tonic + 12 * ((previous - sc.tonic) / 12) : nearestChordTone(c, previous);
    if (final && std::abs(target + 12 - previous) < std::abs(target - previous)) target += 12;
    if (final && std::abs(target - 12 - previous) < std::abs(target - previous)) target -= 12;
    std::vector<WrittenNote> bar;
    if (rng.below(2) == 0) {
        const int approach = nearestChordTone(c, scaleStep(sc, target, previous > target ? 1 : -1));
        bar.push_back({2 * kEighth, approach});
        bar.push_back({(beats * 2 - 2) * kEighth, target});
    } else {
        bar.push_back({beats * 2 * kEighth, target});
    }
    previous = target;
    return bar;
}

struct Section {
    std::vector<std::vector<WrittenNote>> melody;
    std::vector<std::vector<Chord>> chords;
};

// Eight bars: two four-bar phrases on one motif; the first ends open, the
// second closed (or open, for a section that leads back).
Section composeSection(const Scale& sc, const std::vector<int>& degrees, int beats, bool closeOnTonic, int lo,
                       int hi, int& previous, Rng& rng) {
    Section s;
    for (int d : degrees) s.chords.push_back({sc.triad(d)});
    const Motif a = makeMotif(rng, beats);
    Motif b = makeMotif(rng, beats);
    Motif a2 = a;  // the motif varied: same rhythm, one step changed
    a2.steps[size_t(rng.below(int(a2.steps.size() - 1)) + 1)] *= -1;
    const Motif plan[2][3] = {{a, a2, b}, {a, a2, a}};
    for (int phrase = 0; phrase < 2; ++phrase) {
        for (int k = 0; k < 3; ++k)
            s.melody.push_back(realise(plan[phrase][k], sc, s.chords[size_t(phrase * 4 + k)][0], previous, lo, hi, beats));
        const bool final = phrase == 1 && closeOnTonic;
        s.melody.push_back(cadence(sc, s.chords[size_t(phrase * 4 + 3)][0], previous, final, beats, rng));
    }
    return s;
}

struct Composition {
    int tonic;  // MIDI pitch in octave 4
    bool minor;
    const std::array<int, 7>* mode;
    int beats;
    double bpm;
    std::vector<int> progressionA, progressionB;
    Instruments in;
    uint32_t seed;
};

Score compose(std::string title, const Composition& c) {
    Score s = newScore(std::move(title), c.beats, c.bpm, c.in);
    Rng rng(c.seed);
    const Scale sc{c.tonic, *c.mode, c.minor};
    const int lo = sc.tonic + 2, hi = sc.tonic + 17;
    int previous = sc.tonic + 7;
    const Section A = composeSection(sc, c.progressionA, c.beats, true, lo, hi, previous, rng);
    const Section B = composeSection(sc, c.progressionB, c.beats, false, lo, hi, previous, rng);
    int at = 0;
    const std::vector<std::vector<Chord>> intro(A.chords.begin(), A.chords.begin() + 2);
    at = playPass(s, c.in, intro, nullptr, at, {}, rng);
    // Form: A A' B A'' B' A, each return with a fuller texture.
    struct Step {
        const Section* section;
        PassOptions o;
    };
    const std::vector<Step> form = {
        {&A, {false, false, false, false, false}}, {&A, {true, true, false, true, true}},
        {&B, {false, false, true, true, true}},    {&A, {false, true, false, true, true}},
        {&B, {true, false, true, true, true}},     {&A, {false, false, true, true, false}},
    };
    double planned = double(c.beats) * 60.0 / c.bpm * (2 + 8 * form.size() + 2);
    size_t steps = form.size();
    if (planned > 170) steps = 4;  // slow songs keep to A A' B A
    for (size_t k = 0; k < steps; ++k) {
        PassOptions o = form[k].o;
        o.drums = o.drums && c.in.drums;
        at = playPass(s, c.in, form[k].section->chords, &form[k].section->melody, at, o, rng);
    }
    const bool second = form[steps - 1].o.secondMelody;
    const Chord tonic = sc.triad(1);
    const int last = A.melody.back().back().pitch;
    playEnding(s, tonic, last, at, second);
    return s;
}

// ---- the written tunes (public-domain melodies) ----------------------------

Score odeToJoy(uint32_t seed) {
    const char* tune =
        "E4q E4q F4q G4q | G4q F4q E4q D4q | C4q C4q D4q E4q | E4q. D4e D4h |"
        "E4q E4q F4q G4q | G4q F4q E4q D4q | C4q C4q D4q E4q | D4q. C4e C4h |"
        "D4q D4q E4q C4q | D4q E4e F4e E4q C4q | D4q E4e F4e E4q D4q | C4q D4q G3h |"
        "E4q E4q F4q G4q | G4q F4q E4q D4q | C4q C4q D4q E4q | D4q. C4e C4h";
    const char* chords = "C G C G C G C G/C G C G G7 C G C G/C";
    Instruments in{71, 68, 0, 48, 32, Accompaniment::Broken, false};
    // Written in C, played in D an octave up.
    return arrangeTune("", 4, 100, in, tune, chords, 3, 14, 60, seed);
}

Score greensleeves(uint32_t seed) {
    const char* tune =
        "rh A4q | C5h D5q | E5q. F5e E5q | D5h B4q | G4q. A4e B4q | C5h A4q | A4q. G#4e A4q | B4h G#4q | E4h A4q |"
        "C5h D5q | E5q. F5e E5q | D5h B4q | G4q. A4e B4q | C5q. B4e A4q | G#4q. F#4e G#4q | A4h. |"
        "G5h. | G5q. F#5e E5q | D5h B4q | G4q. A4e B4q | C5h A4q | A4q. G#4e A4q | B4h G#4q | E4h. |"
        "G5h. | G5q. F#5e E5q | D5h B4q | G4q. A4e B4q | C5q. B4e A4q | G#4q. F#4e G#4q | A4h. | A4h.";
    const char* chords =
        "Am Am C G Em Am E E Am Am C G Em Am E Am C C G Em Am E E E C C G Em Am E Am Am";
    Instruments in{73, 74, 46, 49, 42, Accompaniment::Arpeggio, false};
    return arrangeTune("", 3, 96, in, tune, chords, 2, 0, 57, seed);
}

Score minuetInG(uint32_t seed) {
    const char* tune =
        "D5q G4e A4e B4e C5e | D5q G4q G4q | E5q C5e D5e E5e F#5e | G5q G4q G4q |"
        "C5q D5e C5e B4e A4e | B4q C5e B4e A4e G4e | F#4q G4e A4e B4e G4e | A4h. |"
        "D5q G4e A4e B4e C5e | D5q G4q G4q | E5q C5e D5e E5e F#5e | G5q G4q G4q |"
        "C5q D5e C5e B4e A4e | B4q C5e B4e A4e G4e | A4q B4e A4e G4e F#4e | G4h. |"
        "B5q G5e A5e B5e G5e | A5q D5e E5e F#5e D5e | G5q E5e F#5e G5e D5e | C#5q B4e C#5e A4q |"
        "A4e B4e C#5e D5e E5e F#5e | G5q F#5q E5q | F#5q A4q C#5q | D5h. |"
        "D5q G4e F#4e G4q | E5q G4e F#4e G4q | D5q C5q B4q | A4e G4e F#4e G4e A4q |"
        "D4e E4e F#4e G4e A4e B4e | C5q B4q A4q | B4e D5e G4q F#4q | G4h.";
    const char* chords =
        "G G C G C G D D G G C G C G D G G D Em A A Em A D G C G D D Am G/D G";
    Instruments in{6, 40, 6, 48, 42, Accompaniment::Waltz, false};
    return arrangeTune("", 3, 116, in, tune, chords, 2, 0, 55, seed);
}

Score scarboroughFair(uint32_t seed) {
    const char* tune =
        "D4h D4q | A4h A4q | E4q. F4e E4q | D4h. | rq A4q C5q | D5h C5q | A4q B4q G4q | A4h. |"
        "rh D5q | D5h D5q | C5h A4q | A4q G4q F4q | E4q C4h | D4h A4q | G4h F4q | E4q D4q C4q | D4h.";
    const char* chords = "Dm Dm C Dm F C G Am Dm Dm Am F C Dm G C Dm";
    Instruments in{73, 75, 24, 49, 32, Accompaniment::Arpeggio, false};
    return arrangeTune("", 3, 84, in, tune, chords, 3, 0, 62, seed);
}

// ---- the SMF writer ---------------------------------------------------------

void varLen(std::vector<uint8_t>& b, uint32_t v) {
    uint8_t tmp[5];
    int n = 0;
    tmp[n++] = uint8_t(v & 0x7F);
    while (v >>= 7) tmp[n++] = uint8_t(0x80 | (v & 0x7F));
    while (n--) b.push_back(tmp[n]);
}

void chunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    const uint32_t n = uint32_t(body.size());
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(n >> s));
    out.insert(out.end(), body.begin(), body.end());
}

struct RawEvent {
    int tick;
    int order;  // at one tick: meta and controls, then note-offs, then note-ons
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> trackBytes(std::vector<RawEvent> events, int endTick) {
    std::stable_sort(events.begin(), events.end(),
                     [](const RawEvent& a, const RawEvent& b) { return a.tick != b.tick ? a.tick < b.tick : a.order < b.order; });
    std::vector<uint8_t> b;
    int last = 0;
    for (const RawEvent& e : events) {
        varLen(b, uint32_t(e.tick - last));
        last = e.tick;
        b.insert(b.end(), e.bytes.begin(), e.bytes.end());
    }
    varLen(b, uint32_t(std::max(0, endTick - last)));
    b.insert(b.end(), {0xFF, 0x2F, 0x00});
    return b;
}

std::vector<uint8_t> meta(uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b = {0xFF, type};
    varLen(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

std::vector<uint8_t> text(std::string_view s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> smf(const Score& s) {
    std::vector<uint8_t> out;
    const uint16_t tracks = uint16_t(1 + s.parts.size());
    chunk(out, "MThd", {0, 1, uint8_t(tracks >> 8), uint8_t(tracks), uint8_t(kDivision >> 8), uint8_t(kDivision & 0xFF)});
    std::vector<RawEvent> conductor;
    conductor.push_back({0, 0, meta(0x03, text(s.title))});
    conductor.push_back({0, 0, meta(0x58, {uint8_t(s.beatsPerBar), 2, 24, 8})});
    for (const TempoChange& t : s.tempo) {
        const uint32_t us = uint32_t(std::lround(60000000.0 / t.bpm));
        conductor.push_back({t.tick, 0, meta(0x51, {uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)})});
    }
    chunk(out, "MTrk", trackBytes(conductor, s.endTick));
    for (const Part& p : s.parts) {
        std::vector<RawEvent> ev;
        const uint8_t ch = uint8_t(p.channel);
        ev.push_back({0, 0, meta(0x03, text(p.name))});
        if (ch != 9) ev.push_back({0, 0, {uint8_t(0xC0 | ch), uint8_t(p.program)}});
        ev.push_back({0, 0, {uint8_t(0xB0 | ch), 7, uint8_t(p.volume)}});
        ev.push_back({0, 0, {uint8_t(0xB0 | ch), 10, uint8_t(p.pan)}});
        ev.push_back({0, 0, {uint8_t(0xB0 | ch), 91, uint8_t(p.reverb)}});
        for (const NoteEvent& n : p.notes) {
            ev.push_back({n.start, 2, {uint8_t(0x90 | ch), uint8_t(n.pitch), uint8_t(n.velocity)}});
            ev.push_back({n.start + n.length, 1, {uint8_t(0x80 | ch), uint8_t(n.pitch), 64}});
        }
        chunk(out, "MTrk", trackBytes(std::move(ev), s.endTick));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    using A = Accompaniment;
    // Originals: key, mode, meter, tempo, the two sections' progressions,
    // the instruments (melody, second melody, accompaniment, pad, bass).
    auto original = [](int tonic, bool minor, const std::array<int, 7>* mode, int beats, double bpm,
                       std::vector<int> pa, std::vector<int> pb, Instruments in, uint32_t seed) {
        return Composition{tonic, minor, mode, beats, bpm, std::move(pa), std::move(pb), in, seed};
    };
    const std::vector<int> majorA1 = {1, 6, 4, 5, 1, 6, 5, 1}, majorA2 = {1, 4, 1, 5, 1, 4, 5, 1},
                           majorA3 = {1, 3, 4, 5, 6, 4, 5, 1}, majorA4 = {1, 5, 6, 4, 1, 5, 4, 1};
    const std::vector<int> majorB1 = {4, 5, 3, 6, 2, 5, 1, 5}, majorB2 = {6, 4, 1, 5, 6, 2, 4, 5},
                           majorB3 = {4, 1, 4, 5, 2, 6, 2, 5};
    const std::vector<int> minorA1 = {1, 4, 7, 3, 6, 4, 5, 1}, minorA2 = {1, 6, 3, 7, 1, 4, 5, 1};
    const std::vector<int> minorB1 = {3, 7, 1, 6, 4, 1, 4, 5}, minorB2 = {6, 7, 3, 6, 4, 6, 4, 5};

    std::vector<Score> songs;
    songs.push_back(compose("", original(67, false, &kMajor, 4, 96, majorA1, majorB1, {73, 71, 24, 48, 32, A::Arpeggio, false}, 101)));
    songs.push_back(odeToJoy(102));
    songs.push_back(compose("", original(65, false, &kMajor, 3, 138, majorA2, majorB2, {11, 73, 0, 48, 32, A::Waltz, false}, 103)));
    songs.push_back(compose("", original(62, false, &kMajor, 4, 76, majorA3, majorB3, {4, 11, 4, 89, 35, A::Arpeggio, false}, 104)));
    songs.push_back(greensleeves(105));
    songs.push_back(compose("", original(60, false, &kMajor, 4, 104, majorA4, majorB1, {68, 73, 46, 48, 42, A::Arpeggio, false}, 106)));
    songs.push_back(compose("", original(65, false, &kMajor, 4, 92, majorA1, majorB2, {0, 0, 0, 48, 32, A::Alberti, true}, 107)));
    songs.push_back(minuetInG(108));
    songs.push_back(compose("", original(63, false, &kMajor, 4, 72, majorA2, majorB3, {8, 11, 88, 89, 35, A::Block, false}, 109)));
    songs.push_back(compose("", original(60, false, &kMajor, 4, 112, majorA3, majorB1, {10, 13, 12, 48, 45, A::Arpeggio, true}, 110)));
    songs.push_back(scarboroughFair(111));
    songs.push_back(compose("", original(70, false, &kMajor, 4, 88, majorA4, majorB2, {11, 4, 4, 89, 33, A::Broken, true}, 112)));
    songs.push_back(compose("", original(69, true, &kMinor, 3, 108, minorA1, minorB1, {71, 42, 46, 49, 32, A::Arpeggio, false}, 113)));
    songs.push_back(compose("", original(62, false, &kMajor, 4, 100, majorA1, majorB3, {75, 73, 25, 48, 32, A::Arpeggio, false}, 114)));
    songs.push_back(compose("", original(64, true, &kMinor, 4, 84, minorA2, minorB2, {60, 71, 0, 49, 42, A::Arpeggio, false}, 115)));
    songs.push_back(compose("", original(60, false, &kMajor, 3, 112, majorA2, majorB1, {8, 10, 46, 88, 32, A::Waltz, false}, 116)));
    songs.push_back(compose("", original(67, false, &kMajor, 4, 120, majorA4, majorB2, {21, 73, 0, 48, 32, A::Broken, true}, 117)));
    songs.push_back(compose("", original(65, false, &kMajor, 4, 100, majorA3, majorB3, {79, 71, 24, 49, 32, A::Arpeggio, false}, 118)));
    songs.push_back(compose("", original(62, true, &kDorian, 3, 96, minorA1, minorB2, {108, 46, 46, 89, 32, A::Arpeggio, false}, 119)));
    songs.push_back(compose("", original(60, false, &kMajor, 4, 90, majorA1, majorB2, {0, 40, 0, 48, 42, A::Broken, false}, 120)));

    if (songs.size() != size_t(pavalo::kBuiltInSongCount)) {
        std::fprintf(stderr, "pavalo-gen-songs: %zu songs made\n", songs.size());
        return 1;
    }
    for (size_t i = 0; i < songs.size(); ++i) {
        Score& s = songs[i];
        s.title = std::string(pavalo::kBuiltInSongTitles[i]);
        const double seconds = s.seconds();
        if (seconds < 60 || seconds > 180) {
            std::fprintf(stderr, "pavalo-gen-songs: %s lasts %.0f s, outside one to three minutes\n", s.title.c_str(), seconds);
            return 1;
        }
        const std::vector<uint8_t> bytes = smf(s);
        const std::string path = dir + "/midi_" + std::to_string(pavalo::kFirstSongResource + int(i)) + ".mid";
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "pavalo-gen-songs: cannot write %s\n", path.c_str());
            return 1;
        }
        if (std::getenv("PAVALO_SONG_REPORT")) std::printf("%d %-20s %5.1f s\n", pavalo::kFirstSongResource + int(i), s.title.c_str(), seconds);
    }
    return 0;
}
