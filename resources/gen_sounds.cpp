// Build tool: synthesises the game's sound effects as 16-bit mono WAVE files
// (22050 Hz), one per "WAVE" resource id: the 25 event sounds and the about
// box's two. Usage: pavalo-gen-sounds OUTDIR. Every sound is made here from
// oscillators, filtered noise and envelopes with a fixed random seed, so the
// build always produces the same bytes.
//
// One-shot sounds start and end at silence (short fades at both ends). The
// two looped sounds (the cutting rustle 281, played back to back up to 128
// times, and the about box's music-box loop 227) are rendered on a circle:
// whatever rings past the end wraps round to the start, so the loop point is
// seamless.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Wave = std::vector<double>;

int samples(double seconds) { return int(std::lround(seconds * kRate)); }

// Deterministic noise source (xorshift32), uniform in [-1, 1).
struct Noise {
    uint32_t s;
    explicit Noise(uint32_t seed) : s(seed ? seed : 1) {}
    double next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return double(s) / 2147483648.0 - 1.0;
    }
};

double midiHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Adds src into dst starting at `at`; with wrap the tail continues at the
// start of dst (for loops).
void mixInto(Wave& dst, const Wave& src, int at, double gain = 1.0, bool wrap = false) {
    const int n = int(dst.size());
    for (size_t i = 0; i < src.size(); ++i) {
        int k = at + int(i);
        if (wrap) k %= n;
        if (k >= 0 && k < n) dst[size_t(k)] += src[i] * gain;
    }
}

// A struck tone: partials (ratio, level, decay seconds) with an attack of a
// few milliseconds. Bells, plucks and wood all come from this.
struct Partial {
    double ratio, level, decay;
};
Wave strike(double hz, double seconds, const std::vector<Partial>& partials, double attack = 0.002) {
    Wave w(size_t(samples(seconds)));
    for (const Partial& p : partials) {
        const double f = hz * p.ratio;
        if (f >= kRate / 2.0 * 0.95) continue;  // above the band: would alias
        for (size_t i = 0; i < w.size(); ++i) {
            const double t = double(i) / kRate;
            const double env = std::min(1.0, t / attack) * std::exp(-t / p.decay);
            w[i] += p.level * env * std::sin(2 * kPi * f * t);
        }
    }
    // A few milliseconds of release, so a tone cut short never clicks.
    const size_t tail = std::min(w.size(), size_t(samples(0.006)));
    for (size_t i = 0; i < tail; ++i) w[w.size() - 1 - i] *= double(i) / double(tail);
    return w;
}

const std::vector<Partial> kBell = {{1.0, 1.0, 0.32}, {2.0, 0.35, 0.22}, {2.76, 0.30, 0.22},
                                    {5.40, 0.12, 0.10}, {8.93, 0.05, 0.05}};
const std::vector<Partial> kPluck = {{1.0, 1.0, 0.35}, {2.0, 0.45, 0.20}, {3.0, 0.22, 0.12},
                                     {4.0, 0.10, 0.08}, {5.0, 0.05, 0.05}};
const std::vector<Partial> kMusicBox = {{1.0, 1.0, 0.70}, {3.0, 0.18, 0.20}, {5.93, 0.06, 0.08}};

// A sustained brass-like voice: harmonics falling off, a soft attack, a
// little vibrato after the onset, released at the end.
Wave brass(double hz, double seconds, double attack = 0.03, double release = 0.12, double fade = 2.5) {
    Wave w(size_t(samples(seconds)));
    double phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kRate;
        const double vib = 1.0 + 0.004 * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t / 0.25);
        phase += 2 * kPi * hz * vib / kRate;
        // Brighter at the onset, mellower as it sustains.
        const double bright = 0.55 + 0.45 * std::exp(-t / 0.15);
        double v = 0;
        for (int h = 1; h <= 10; ++h) {
            if (hz * h > kRate * 0.45) break;
            v += std::pow(bright, h - 1) / h * std::sin(phase * h);
        }
        // Held notes die away slowly, as a player's breath does.
        const double env = std::min(1.0, t / attack) * std::min(1.0, (seconds - t) / release) * std::exp(-t / fade);
        w[i] = v * std::max(0.0, env);
    }
    return w;
}

// A soft pad: detuned sines with slow attack and release.
Wave pad(double hz, double seconds, double attack, double release) {
    Wave w(size_t(samples(seconds)));
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kRate;
        double v = std::sin(2 * kPi * hz * t) + 0.6 * std::sin(2 * kPi * hz * 1.003 * t) +
                   0.25 * std::sin(2 * kPi * hz * 2.001 * t) + 0.1 * std::sin(2 * kPi * hz * 3.0 * t);
        const double env = std::min(1.0, t / attack) * std::clamp((seconds - t) / release, 0.0, 1.0);
        w[i] = v * env;
    }
    return w;
}

// A tone gliding from hz0 to hz1 (exponentially) with the given envelope.
Wave glide(double hz0, double hz1, double seconds, double attack, double release, double squareness = 0.0) {
    Wave w(size_t(samples(seconds)));
    double phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kRate;
        const double hz = hz0 * std::pow(hz1 / hz0, t / seconds);
        phase += 2 * kPi * hz / kRate;
        double v = std::sin(phase) + squareness * (std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5);
        const double env = std::min(1.0, t / attack) * std::clamp((seconds - t) / release, 0.0, 1.0);
        w[i] = v * env;
    }
    return w;
}

// Band-passed noise whose centre moves from f0 to f1 (a two-pole band-pass
// with the given Q, recomputed as it moves), shaped by env(t).
Wave noiseSweep(double f0, double f1, double q, double seconds, uint32_t seed,
                const std::function<double(double)>& env) {
    Wave w(size_t(samples(seconds)));
    Noise n(seed);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kRate;
        const double fc = std::min(f0 * std::pow(f1 / f0, t / seconds), kRate * 0.45);
        const double omega = 2 * kPi * fc / kRate;
        const double alpha = std::sin(omega) / (2 * q);
        const double a0 = 1 + alpha;
        const double x = n.next();
        const double y = (alpha * x - alpha * x2 + 2 * std::cos(omega) * y1 - (1 - alpha) * y2) / a0;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        w[i] = y * env(t);
    }
    return w;
}

// A short click: a few milliseconds of bright noise.
Wave click(double seconds, uint32_t seed, double brightness = 0.7) {
    Wave w(size_t(samples(seconds)));
    Noise n(seed);
    double prev = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = double(i) / kRate;
        const double x = n.next();
        const double v = brightness * (x - prev) + (1 - brightness) * x;  // tilt towards highs
        prev = x;
        w[i] = v * std::exp(-t / (seconds / 5));
    }
    return w;
}

// One-pole low-pass, in place.
void lowPass(Wave& w, double hz) {
    const double a = 1 - std::exp(-2 * kPi * hz / kRate);
    double y = 0;
    for (double& s : w) s = y += a * (s - y);
}

// Removes any constant offset so the loop/edges sit on zero.
void removeDc(Wave& w) {
    double y = 0, x1 = 0;
    const double r = 0.995;
    for (double& s : w) {
        const double x = s;
        y = x - x1 + r * y;
        x1 = x;
        s = y;
    }
}

// Scales the wave so its peak is `peak` of full scale.
void normalise(Wave& w, double peak) {
    double m = 0;
    for (double s : w) m = std::max(m, std::abs(s));
    if (m > 0)
        for (double& s : w) s *= peak / m;
}

// Short raised-cosine fades so a one-shot sound starts and ends at silence.
void fadeEdges(Wave& w, double inSeconds = 0.002, double outSeconds = 0.010) {
    const size_t fi = std::min(w.size(), size_t(samples(inSeconds)));
    const size_t fo = std::min(w.size(), size_t(samples(outSeconds)));
    for (size_t i = 0; i < fi; ++i) w[i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / double(fi));
    for (size_t i = 0; i < fo; ++i) w[w.size() - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * double(i) / double(fo));
    if (!w.empty()) w.front() = w.back() = 0;
}

// Finishing touches for one-shot sounds.
Wave finish(Wave w, double peak, double fadeOut = 0.010) {
    removeDc(w);
    normalise(w, peak);
    fadeEdges(w, 0.002, fadeOut);
    return w;
}

// ---- the sounds ------------------------------------------------------------

// Pickup: a light wooden click, two body resonances under a noise tick.
Wave pickupPiece() {
    Wave w(size_t(samples(0.09)));
    mixInto(w, click(0.006, 11, 0.5), 0, 0.6);
    mixInto(w, strike(1250, 0.09, {{1.0, 1.0, 0.018}, {2.31, 0.5, 0.010}, {3.9, 0.2, 0.006}}, 0.0005), 0, 0.9);
    mixInto(w, strike(620, 0.09, {{1.0, 1.0, 0.025}}, 0.0005), 0, 0.35);
    return finish(w, 0.50);
}

// Drop: a soft thud, a low body falling in pitch with a muffled knock.
Wave dropPiece() {
    Wave w = glide(150, 70, 0.16, 0.002, 0.03);
    for (size_t i = 0; i < w.size(); ++i) w[i] *= std::exp(-double(i) / kRate / 0.045);
    Wave knock = click(0.012, 23, 0.1);
    lowPass(knock, 900);
    mixInto(w, knock, 0, 2.5);
    return finish(w, 0.55);
}

// Join: a crisp snap, two quick clicks and a short bright resonance.
Wave joinPieces() {
    Wave w(size_t(samples(0.14)));
    mixInto(w, click(0.004, 31, 0.9), 0, 0.9);
    mixInto(w, strike(1800, 0.10, {{1.0, 1.0, 0.020}, {1.78, 0.6, 0.012}, {2.9, 0.3, 0.008}}, 0.0003), 0, 0.7);
    mixInto(w, click(0.003, 37, 0.9), samples(0.022), 0.55);
    mixInto(w, strike(2400, 0.08, {{1.0, 1.0, 0.015}, {1.5, 0.4, 0.010}}, 0.0003), samples(0.022), 0.45);
    mixInto(w, strike(210, 0.12, {{1.0, 1.0, 0.035}}, 0.001), 0, 0.45);
    return finish(w, 0.65);
}

// Lock Piece: a two-note bell chime (C6 then G6).
Wave lockPiece() {
    Wave w(size_t(samples(1.0)));
    mixInto(w, strike(midiHz(84), 0.95, kBell), 0, 0.8);
    mixInto(w, strike(midiHz(91), 0.85, kBell), samples(0.09), 0.6);
    return finish(w, 0.60, 0.08);
}

// A chord played as a fanfare: each (time, note, length) is a brass voice.
struct Note {
    double at, note, length, level;
};
Wave fanfare(const std::vector<Note>& notes, double seconds, double peak) {
    Wave w(size_t(samples(seconds)));
    for (const Note& n : notes) mixInto(w, brass(midiHz(n.note), n.length), samples(n.at), n.level);
    return finish(w, peak, 0.15);
}

// Timpani-like roll under a fanfare's last chord.
Wave timpani(double hz, double seconds) {
    Wave w = strike(hz, seconds, {{1.0, 1.0, 0.45}, {1.5, 0.4, 0.25}, {1.98, 0.2, 0.15}}, 0.003);
    Wave thump = click(0.02, 71, 0.0);
    lowPass(thump, 400);
    mixInto(w, thump, 0, 3.0);
    return w;
}

// Puzzle finished (the usual one): C-E-G rising to a held C major chord.
Wave puzzleFinished() {
    std::vector<Note> n = {{0.00, 60, 0.22, 0.8}, {0.20, 64, 0.22, 0.8}, {0.40, 67, 0.22, 0.8},
                           {0.60, 72, 1.6, 0.9},  {0.60, 64, 1.6, 0.55}, {0.60, 67, 1.6, 0.55},
                           {0.60, 48, 1.6, 0.5}};
    Wave w(size_t(samples(2.4)));
    mixInto(w, fanfare(n, 2.4, 1.0), 0);
    mixInto(w, timpani(65.4, 1.4), samples(0.60), 0.5);
    return finish(w, 0.70, 0.2);
}

// The short completion sound: a quick "ta-da", two chords.
Wave finishedShort() {
    std::vector<Note> n = {{0.00, 67, 0.16, 0.8}, {0.00, 71, 0.16, 0.6}, {0.00, 62, 0.16, 0.6},
                           {0.18, 72, 0.95, 0.9}, {0.18, 76, 0.95, 0.6}, {0.18, 67, 0.95, 0.6},
                           {0.18, 48, 0.95, 0.5}};
    return fanfare(n, 1.2, 0.70);
}

// The long completion sound: a little tune over a bass, then a held chord.
Wave finishedLong() {
    std::vector<Note> n = {
        {0.00, 67, 0.18, 0.8}, {0.20, 72, 0.18, 0.8}, {0.40, 76, 0.18, 0.8}, {0.60, 79, 0.38, 0.85},
        {1.00, 76, 0.18, 0.8}, {1.20, 79, 0.55, 0.85}, {1.80, 84, 2.1, 0.9}, {1.80, 76, 2.1, 0.55},
        {1.80, 79, 2.1, 0.55}, {0.00, 48, 0.55, 0.5}, {0.60, 55, 0.55, 0.5}, {1.20, 53, 0.55, 0.5},
        {1.80, 48, 2.1, 0.55}};
    Wave w(size_t(samples(4.0)));
    mixInto(w, fanfare(n, 4.0, 1.0), 0);
    mixInto(w, timpani(65.4, 1.8), samples(1.80), 0.5);
    return finish(w, 0.70, 0.25);
}

// Cutting: a paper rustle with two scissor snips, rendered as a seamless
// loop. The rustle is a stream of tiny crackles of random strength whose
// density swells twice a loop, band-limited to the papery middle.
Wave cuttingLoop() {
    const double seconds = 0.64;
    const int n = samples(seconds);
    Wave w(size_t(n), 0.0);
    Noise rnd(41);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double swell = 0.25 + 0.75 * std::pow(std::sin(kPi * t / (seconds / 2)), 2);
        const double u = (rnd.next() + 1) / 2;
        if (u < 0.06 * swell) {
            const double level = 0.3 + 0.7 * (rnd.next() + 1) / 2;
            // A crackle: a tiny decaying burst, placed round the circle.
            Wave c = noiseSweep(2200, 2200, 0.8, 0.004, uint32_t(i) + 7, [](double tt) { return std::exp(-tt / 0.0012); });
            mixInto(w, c, i, level * swell, true);
        }
    }
    lowPass(w, 5000);
    // Two snips: a click and a short metallic ring.
    for (double at : {0.05, 0.37}) {
        mixInto(w, click(0.005, uint32_t(at * 1000) + 3, 0.9), samples(at), 0.5, true);
        mixInto(w, strike(3100, 0.06, {{1.0, 1.0, 0.012}, {1.63, 0.5, 0.008}}, 0.0003), samples(at), 0.35, true);
    }
    normalise(w, 0.45);
    return w;
}

// Arrange: a shuffle of five quick swishes, rising.
Wave arrange() {
    Wave w(size_t(samples(0.55)));
    for (int k = 0; k < 5; ++k) {
        const double f = 900.0 * std::pow(1.25, k);
        mixInto(w, noiseSweep(f, f * 1.6, 2.0, 0.09, 50 + k, [](double t) { return std::sin(kPi * t / 0.09); }),
                samples(0.08 * k), 1.0);
    }
    return finish(w, 0.50);
}

// Center: a soft "whoop", a swoosh with a gliding tone under it.
Wave center() {
    Wave w = noiseSweep(500, 2500, 3.0, 0.32, 61, [](double t) { return std::sin(kPi * t / 0.32); });
    mixInto(w, glide(300, 600, 0.32, 0.05, 0.12), 0, 0.15);
    return finish(w, 0.45);
}

// Exit: three descending bell notes, G5 E5 C5.
Wave exitSound() {
    Wave w(size_t(samples(1.3)));
    const double notes[] = {79, 76, 72};
    for (int k = 0; k < 3; ++k) mixInto(w, strike(midiHz(notes[k]), 0.9, kBell), samples(0.16 * k), 0.7);
    return finish(w, 0.60, 0.1);
}

// New Game: a plucked arpeggio up C5 E5 G5 C6.
Wave newGame() {
    Wave w(size_t(samples(0.9)));
    const double notes[] = {72, 76, 79, 84};
    for (int k = 0; k < 4; ++k) mixInto(w, strike(midiHz(notes[k]), 0.6, kPluck), samples(0.08 * k), 0.7);
    return finish(w, 0.60, 0.08);
}

// Startup: a warm major-seventh chord swelling in and fading.
Wave startup() {
    Wave w(size_t(samples(1.8)));
    const double notes[] = {60, 64, 67, 71, 48};
    for (double n : notes) mixInto(w, pad(midiHz(n), 1.8, 0.35, 0.9), 0, n == 48 ? 0.6 : 0.4);
    mixInto(w, strike(midiHz(84), 1.2, kBell), samples(0.30), 0.25);
    return finish(w, 0.55, 0.2);
}

// Rotate: a ratchet, three quick ticks rising.
Wave rotatePiece() {
    Wave w(size_t(samples(0.13)));
    for (int k = 0; k < 3; ++k) {
        mixInto(w, click(0.004, 80 + k, 0.8), samples(0.035 * k), 0.6);
        mixInto(w, strike(1500 + 250 * k, 0.04, {{1.0, 1.0, 0.008}}, 0.0003), samples(0.035 * k), 0.5);
    }
    return finish(w, 0.50);
}

// Select: a light blip with its octave.
Wave selectPieces() {
    Wave w = strike(1320, 0.09, {{1.0, 1.0, 0.030}, {2.0, 0.3, 0.015}}, 0.002);
    return finish(w, 0.45);
}

// Solve: a sparkle, a fast rising run of bell tones with a shimmer.
Wave solvePieces() {
    Wave w(size_t(samples(1.2)));
    const double notes[] = {72, 74, 76, 79, 81, 84, 86, 88};
    for (int k = 0; k < 8; ++k)
        mixInto(w, strike(midiHz(notes[k]), 0.7, kBell), samples(0.045 * k), 0.45 + 0.04 * k);
    mixInto(w, noiseSweep(6000, 8000, 4.0, 0.7, 91, [](double t) { return std::sin(kPi * t / 0.7) * 0.4; }),
            samples(0.1), 0.25);
    return finish(w, 0.55, 0.1);
}

// Close and open window: short swooshes, downwards and upwards.
Wave windowSwoosh(bool opening) {
    const double f0 = opening ? 700 : 3000, f1 = opening ? 3000 : 700;
    Wave w = noiseSweep(f0, f1, 2.5, 0.16, opening ? 101 : 103, [](double t) { return std::sin(kPi * t / 0.16); });
    mixInto(w, glide(opening ? 400 : 800, opening ? 800 : 400, 0.16, 0.02, 0.06), 0, 0.12);
    return finish(w, 0.40);
}

// Zoom in and out: a rounded tone gliding up or down an octave.
Wave zoom(bool in) {
    Wave w = glide(in ? 440 : 880, in ? 880 : 440, 0.18, 0.01, 0.06, 0.4);
    return finish(w, 0.22);
}

// Undo: a quick "rewind", two short falling chirps.
Wave undoSound() {
    Wave w(size_t(samples(0.2)));
    mixInto(w, glide(1400, 900, 0.07, 0.004, 0.02), 0, 0.8);
    mixInto(w, glide(1100, 650, 0.08, 0.004, 0.03), samples(0.09), 0.8);
    return finish(w, 0.28);
}

// Refused (and nothing to undo): a soft low "bonk" twice.
Wave refused() {
    Wave w(size_t(samples(0.26)));
    for (int k = 0; k < 2; ++k)
        mixInto(w, strike(196, 0.12, {{1.0, 1.0, 0.05}, {2.0, 0.4, 0.03}, {3.0, 0.2, 0.02}}, 0.003),
                samples(0.12 * k), 0.8);
    return finish(w, 0.45);
}

// Message notification: ding-dong, E6 then C6.
Wave message() {
    Wave w(size_t(samples(1.1)));
    mixInto(w, strike(midiHz(88), 0.6, kBell), 0, 0.8);
    mixInto(w, strike(midiHz(84), 0.8, kBell), samples(0.25), 0.8);
    return finish(w, 0.55, 0.1);
}

// Event 3: a soft pop.
Wave pop() {
    Wave w = glide(700, 300, 0.08, 0.002, 0.03);
    for (size_t i = 0; i < w.size(); ++i) w[i] *= std::exp(-double(i) / kRate / 0.02);
    return finish(w, 0.40);
}

// Event 10: a soft tick.
Wave tick() {
    Wave w = strike(2000, 0.04, {{1.0, 1.0, 0.006}, {1.5, 0.4, 0.004}}, 0.0003);
    mixInto(w, click(0.003, 111, 0.6), 0, 0.3);
    return finish(w, 0.35, 0.005);
}

// About box, first sound: a harp glissando up a pentatonic scale.
Wave aboutIntro() {
    Wave w(size_t(samples(1.9)));
    const double scale[] = {0, 2, 4, 7, 9};
    for (int k = 0; k < 12; ++k) {
        const double note = 60 + scale[k % 5] + 12 * (k / 5);
        mixInto(w, strike(midiHz(note), 1.0, kPluck), samples(0.055 * k), 0.55);
    }
    return finish(w, 0.55, 0.15);
}

// About box, looped sound: a music-box phrase over two bars, rendered on a
// circle so it repeats without a seam.
Wave aboutLoop() {
    const double beat = 0.25;  // eighth notes at 120 beats a minute
    const int n = samples(beat * 16);
    Wave w(size_t(n), 0.0);
    const double melody[] = {76, 79, 84, 79, 81, 79, 76, 72, 74, 76, 79, 76, 74, 71, 72, 67};
    const double bass[] = {48, 55, 53, 55};
    for (int k = 0; k < 16; ++k) mixInto(w, strike(midiHz(melody[k]), 1.2, kMusicBox), samples(beat * k), 0.5, true);
    for (int k = 0; k < 4; ++k) mixInto(w, strike(midiHz(bass[k] + 12), 1.6, kMusicBox), samples(beat * 4 * k), 0.35, true);
    normalise(w, 0.40);
    return w;
}

// ---- output ---------------------------------------------------------------

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

bool writeWave(const std::string& path, const Wave& w) {
    std::vector<uint8_t> b;
    const uint32_t dataBytes = uint32_t(w.size() * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put32(b, 36 + dataBytes);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(b, 16);
    put16(b, 1);  // PCM
    put16(b, 1);  // mono
    put32(b, kRate);
    put32(b, kRate * 2);
    put16(b, 2);
    put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put32(b, dataBytes);
    for (double s : w) put16(b, uint16_t(int16_t(std::lround(std::clamp(s, -1.0, 1.0) * 32767.0))));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    // Resource id and sound, in the order of the event table, then the about
    // box's two.
    const std::vector<std::pair<int, std::function<Wave()>>> sounds = {
        {196, lockPiece},
        {245, finishedShort},
        {277, arrange},
        {278, pop},
        {279, center},
        {293, puzzleFinished},
        {280, finishedLong},
        {281, cuttingLoop},
        {282, refused},
        {284, exitSound},
        {285, tick},
        {287, newGame},
        {289, startup},
        {290, dropPiece},
        {291, joinPieces},
        {292, pickupPiece},
        {294, rotatePiece},
        {295, selectPieces},
        {297, solvePieces},
        {299, [] { return windowSwoosh(false); }},
        {300, [] { return windowSwoosh(true); }},
        {301, [] { return zoom(true); }},
        {302, [] { return zoom(false); }},
        {338, undoSound},
        {354, message},
        {228, aboutIntro},
        {227, aboutLoop},
    };
    for (const auto& [id, make] : sounds) {
        const std::string path = dir + "/wave_" + std::to_string(id) + ".wav";
        if (!writeWave(path, make())) {
            std::fprintf(stderr, "pavalo-gen-sounds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
