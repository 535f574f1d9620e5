// Tests of the data folder choice and the preferences file: defaults at their
// byte offsets, replacement of missing, foreign, old and cut-short files, the
// play list against hostile counts and lengths, the music fields, safe writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "common/file_io.h"
#include "shell/data_folder.h"
#include "shell/preferences.h"

using namespace pavalo;
namespace fs = std::filesystem;

namespace {

// Offsets in the file: the record starts after the header and version.
constexpr size_t kRec = 52;
constexpr size_t kDefaultFileSize = 1564;

class PreferencesFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pavalo-prefs-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = preferencesPath(dir_.string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::vector<uint8_t> fileBytes() const {
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(readWholeFile(path_, bytes, error)) << error;
        return bytes;
    }
    void writeBytes(const std::vector<uint8_t>& bytes) const {
        std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     std::streamsize(bytes.size()));
    }
    std::string dir() const { return dir_.string(); }

    fs::path dir_;
    std::string path_;
};

uint32_t u32At(const std::vector<uint8_t>& b, size_t offset) { return loadU32(b.data() + offset); }
std::string textAt(const std::vector<uint8_t>& b, size_t offset) {
    return std::string(reinterpret_cast<const char*>(b.data() + offset));
}

// A valid file with the default record, its play-list count set to `count`,
// followed by whatever raw play-list bytes the test supplies.
std::vector<uint8_t> fileWithCount(int32_t count, const std::vector<uint8_t>& tail = {}) {
    Preferences p;
    p.record = PreferencesRecord::defaults("/data");
    std::vector<uint8_t> bytes = encodePreferences(p);
    storeU32(bytes.data() + kRec + 924, uint32_t(count));
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

void appendEntry(std::vector<uint8_t>& out, uint32_t length, std::string_view text) {
    uint8_t b[4];
    storeU32(b, length);
    out.insert(out.end(), b, b + 4);
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

TEST(DataFolder, ChoosesTheFirstSourceThatIsSet) {
    DataFolderSources s{"", "", "", "/home/ann"};
    EXPECT_EQ(resolveDataFolder(s), "/home/ann/.local/share/tavorn");
    s.xdgDataHome = "relative/data";  // invalid by the base-directory rules
    EXPECT_EQ(resolveDataFolder(s), "/home/ann/.local/share/tavorn");
    s.xdgDataHome = "/xdg/";
    EXPECT_EQ(resolveDataFolder(s), "/xdg/tavorn");
    s.installDirectory = "/opt/tavorn/";
    EXPECT_EQ(resolveDataFolder(s), "/opt/tavorn");
    s.tavornHome = "/tmp/play//";
    EXPECT_EQ(resolveDataFolder(s), "/tmp/play");
    EXPECT_EQ(resolveDataFolder(DataFolderSources{"/", "", "", ""}), "/");
    EXPECT_EQ(preferencesPath("/tmp/play"), "/tmp/play/gthvale.prf");
    EXPECT_EQ(preferencesPath("/"), "/gthvale.prf");
}

TEST_F(PreferencesFile, MissingFileGivesDefaultsAtTheirOffsets) {
    Preferences prefs;
    MusicSettings music;
    PreferencesLoadResult r = loadPreferences(path_, prefs, music);
    EXPECT_EQ(r.read.status, PreferencesStatus::Missing);
    EXPECT_TRUE(r.defaultsWritten);
    EXPECT_EQ(PreferencesRecord::text(prefs.record.playerName), "Player");
    EXPECT_EQ(PreferencesRecord::text(prefs.record.restoreDirectory), dir());
    EXPECT_EQ(PreferencesRecord::text(prefs.record.pictureDirectory), dir());

    std::vector<uint8_t> b = fileBytes();
    ASSERT_EQ(b.size(), kDefaultFileSize);
    EXPECT_EQ(textAt(b, 0), "Tavorn Studio's Glenthorpevale preferences");
    for (size_t i = 42; i < 50; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(loadU16(b.data() + 50), 111);
    const uint8_t* rec = b.data() + kRec;
    auto field = [&](size_t offset) { return loadU32(rec + offset); };
    EXPECT_EQ(field(0), 0u);
    EXPECT_EQ(field(8), 1u);
    EXPECT_EQ(rec[12], 0);  // no last puzzle
    EXPECT_EQ(field(272), 1u);
    EXPECT_EQ(textAt(b, kRec + 276), dir());
    EXPECT_EQ(textAt(b, kRec + 536), dir());
    EXPECT_EQ(field(796), 1u);
    EXPECT_EQ(field(800), 1u);
    for (size_t i = 0; i < 26; ++i) EXPECT_EQ(field(816 + 4 * i), 1u) << i;
    EXPECT_EQ(field(928), 0u);
    EXPECT_EQ(textAt(b, kRec + 932), "Player");
    EXPECT_EQ(int32_t(field(996)), -3);
    EXPECT_EQ(field(1256), 0u);
    EXPECT_EQ(field(1260), 0u);
    EXPECT_EQ(field(1264), 0xFFFFFFFFu);
    EXPECT_EQ(field(1272), 0xFFFFFFFFu);
    for (size_t i = 0; i < 16; ++i) EXPECT_EQ(field(1276 + 4 * i), 0xFFFFFFu) << i;
    EXPECT_EQ(field(1340), 1u);
    for (size_t i = 1344; i < 1472; ++i) EXPECT_EQ(rec[i], 0) << i;
    EXPECT_EQ(field(1472), 16u);
    const uint32_t network[8] = {0, 0, 1, 0, 0, 0, 0, 0};
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(field(1476 + 4 * i), network[i]) << i;
    EXPECT_EQ(field(1508), 0u);
    // The music fields come from the music settings in memory.
    EXPECT_EQ(field(804), 1u);
    EXPECT_EQ(field(924), 0u);

    // The next start reads the file it wrote.
    Preferences again;
    EXPECT_TRUE(loadPreferences(path_, again, music).read.ok());
    EXPECT_EQ(again, prefs);
}

TEST_F(PreferencesFile, FieldsWrittenAtTheirOffsetsReadBack) {
    Preferences prefs;
    prefs.record = PreferencesRecord::defaults(dir());
    PreferencesRecord& r = prefs.record;
    PreferencesRecord::setText(r.lastPuzzlePath, "/home/ann/harbour.gvp");
    PreferencesRecord::setText(r.playerName, std::string(63, 'n'));
    PreferencesRecord::setText(r.lastLibrary, "boats");
    PreferencesRecord::setText(r.sessionName, "Friday");
    r.soundSwitches[25] = 0;
    r.soundMode = kSoundsUseSwitches;
    r.backgroundColour = 0x00332211;
    r.customColours[15] = 0x123456;
    r.maxPlayers = 4;
    r.toolsAllowed[5] = 1;
    r.reserved1508 = -7;
    MusicSettings music;
    ASSERT_TRUE(savePreferences(path_, prefs, music, true));
    std::vector<uint8_t> b = fileBytes();
    EXPECT_EQ(textAt(b, kRec + 12), "/home/ann/harbour.gvp");
    EXPECT_EQ(textAt(b, kRec + 932), std::string(63, 'n'));
    EXPECT_EQ(textAt(b, kRec + 1000), "boats");
    EXPECT_EQ(textAt(b, kRec + 1344), "Friday");
    EXPECT_EQ(u32At(b, kRec + 816 + 100), 0u);
    EXPECT_EQ(u32At(b, kRec + 928), 2u);
    EXPECT_EQ(u32At(b, kRec + 1260), 0x00332211u);
    EXPECT_EQ(u32At(b, kRec + 1276 + 60), 0x123456u);
    EXPECT_EQ(u32At(b, kRec + 1472), 4u);
    EXPECT_EQ(u32At(b, kRec + 1484 + 20), 1u);
    EXPECT_EQ(int32_t(u32At(b, kRec + 1508)), -7);

    Preferences back;
    ASSERT_TRUE(loadPreferences(path_, back, music).read.ok());
    EXPECT_EQ(back, prefs);
    // A text too long for its field is refused, leaving the field as it was.
    EXPECT_FALSE(PreferencesRecord::setText(r.playerName, std::string(64, 'x')));
    EXPECT_EQ(PreferencesRecord::text(r.playerName), std::string(63, 'n'));
    // A data folder too long for the directory fields leaves them empty.
    PreferencesRecord deep = PreferencesRecord::defaults(std::string(260, 'd'));
    EXPECT_EQ(PreferencesRecord::text(deep.pictureDirectory), "");
}

// Every field holds a value no other field holds, so two fields swapped,
// shifted or read from each other's offset show, in either direction. The
// offsets are the file format's, written out here on their own.
TEST(PreferencesRecordLayout, EveryFieldHasItsOwnOffsetInBothDirections) {
    std::array<uint8_t, kPreferencesRecordSize> want{};
    auto number = [](size_t offset) { return uint32_t(0x5A000000u + offset * 3 + 1); };
    auto text = [](size_t offset) { return "field at " + std::to_string(offset); };
    for (size_t o = 0; o < kPreferencesRecordSize; o += 4) storeU32(want.data() + o, number(o));
    // Texts fill their whole fields: the text, its NUL, then zeros.
    const std::pair<size_t, size_t> textFields[] = {{12, 260}, {276, 260}, {536, 260}, {932, 64}, {1000, 256}, {1344, 128}};
    for (const auto& [o, size] : textFields) {
        std::fill_n(want.data() + o, size, 0);
        const std::string t = text(o);
        std::copy(t.begin(), t.end(), want.data() + o);
    }

    const PreferencesRecord r = PreferencesRecord::decode(want);
    EXPECT_EQ(r.documentOption, int32_t(number(0)));
    EXPECT_EQ(r.reserved4, int32_t(number(4)));
    EXPECT_EQ(r.paletteWindowOption, int32_t(number(8)));
    EXPECT_EQ(PreferencesRecord::text(r.lastPuzzlePath), text(12));
    EXPECT_EQ(r.rotatedPieces, int32_t(number(272)));
    EXPECT_EQ(PreferencesRecord::text(r.restoreDirectory), text(276));
    EXPECT_EQ(PreferencesRecord::text(r.pictureDirectory), text(536));
    EXPECT_EQ(r.pieceOutlines, int32_t(number(796)));
    EXPECT_EQ(r.soundEffects, int32_t(number(800)));
    EXPECT_EQ(r.musicOn, int32_t(number(804)));
    EXPECT_EQ(r.autoAdvance, int32_t(number(808)));
    EXPECT_EQ(r.userPlayList, int32_t(number(812)));
    for (size_t k = 0; k < 26; ++k) EXPECT_EQ(r.soundSwitches[k], int32_t(number(816 + 4 * k))) << k;
    EXPECT_EQ(r.currentSong, int32_t(number(920)));
    EXPECT_EQ(r.playListCount, int32_t(number(924)));
    EXPECT_EQ(r.soundMode, int32_t(number(928)));
    EXPECT_EQ(PreferencesRecord::text(r.playerName), text(932));
    EXPECT_EQ(r.scoresDisplay, int32_t(number(996)));
    EXPECT_EQ(PreferencesRecord::text(r.lastLibrary), text(1000));
    EXPECT_EQ(r.sideWindowOption, int32_t(number(1256)));
    EXPECT_EQ(r.backgroundColour, number(1260));
    EXPECT_EQ(r.pieceOutlineColour, number(1264));
    EXPECT_EQ(r.puzzleOutlineColour, number(1268));
    EXPECT_EQ(r.selectionColour, number(1272));
    for (size_t k = 0; k < 16; ++k) EXPECT_EQ(r.customColours[k], number(1276 + 4 * k)) << k;
    EXPECT_EQ(r.hardwareStretch, int32_t(number(1340)));
    EXPECT_EQ(PreferencesRecord::text(r.sessionName), text(1344));
    EXPECT_EQ(r.maxPlayers, int32_t(number(1472)));
    EXPECT_EQ(r.gameType, int32_t(number(1476)));
    EXPECT_EQ(r.sortingBoxesAllowed, int32_t(number(1480)));
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(r.toolsAllowed[k], int32_t(number(1484 + 4 * k))) << k;
    EXPECT_EQ(r.reserved1508, int32_t(number(1508)));

    const auto written = r.encode();
    for (size_t o = 0; o < kPreferencesRecordSize; ++o) ASSERT_EQ(written[o], want[o]) << "byte " << o;
}

// The five music fields, each set alone, land in their own fields both ways.
TEST(PreferencesRecordLayout, MusicFieldsKeepTheirOwnPlaces) {
    const MusicSettings alone[] = {{true, false, false, 7, 3}, {false, true, false, 3, 7}, {false, false, true, 0, 9}};
    for (const MusicSettings& music : alone) {
        PreferencesRecord r;
        copyMusicToRecord(music, r);
        const auto bytes = r.encode();
        EXPECT_EQ(loadU32(bytes.data() + 804), music.musicOn ? 1u : 0u);
        EXPECT_EQ(loadU32(bytes.data() + 808), music.autoAdvance ? 1u : 0u);
        EXPECT_EQ(loadU32(bytes.data() + 812), music.userPlayList ? 1u : 0u);
        EXPECT_EQ(loadU32(bytes.data() + 920), uint32_t(music.currentSong));
        EXPECT_EQ(loadU32(bytes.data() + 924), uint32_t(music.playListCount));
        MusicSettings back{!music.musicOn, !music.autoAdvance, !music.userPlayList, -1, -1};
        copyMusicFromRecord(PreferencesRecord::decode(bytes), back);
        EXPECT_EQ(back, music);
    }
}

TEST_F(PreferencesFile, OldForeignAndCutShortFilesAreReplacedByDefaults) {
    // The count promises entries the empty list lacks: the file says 0, memory keeps 4.
    MusicSettings musicBefore{false, false, true, 3, 4};
    auto expectReplaced = [&](const std::vector<uint8_t>& bytes, PreferencesStatus status) {
        writeBytes(bytes);
        Preferences prefs;
        PreferencesRecord::setText(prefs.record.playerName, "Ann");
        MusicSettings music = musicBefore;
        PreferencesLoadResult r = loadPreferences(path_, prefs, music);
        EXPECT_EQ(r.read.status, status);
        EXPECT_TRUE(r.defaultsWritten);
        EXPECT_EQ(PreferencesRecord::text(prefs.record.playerName), "Player");
        // The music settings are left alone, and written into the new file.
        EXPECT_EQ(music, musicBefore);
        std::vector<uint8_t> written = fileBytes();
        EXPECT_EQ(written.size(), kDefaultFileSize);
        EXPECT_EQ(u32At(written, kRec + 804), 0u);
        EXPECT_EQ(u32At(written, kRec + 812), 1u);
        EXPECT_EQ(u32At(written, kRec + 920), 3u);
        return written;
    };

    std::vector<uint8_t> good = fileWithCount(0);
    std::vector<uint8_t> old = good;
    storeU16(old.data() + 50, 110);
    std::vector<uint8_t> written = expectReplaced(old, PreferencesStatus::OtherVersion);
    EXPECT_EQ(loadU16(written.data() + 50), 111);

    std::vector<uint8_t> foreign = good;
    foreign[7] = 's';
    expectReplaced(foreign, PreferencesStatus::Foreign);
    std::vector<uint8_t> longerHeader = good;
    longerHeader[42] = '!';  // the text must end where the header text ends
    expectReplaced(longerHeader, PreferencesStatus::Foreign);
    expectReplaced({}, PreferencesStatus::Foreign);
    expectReplaced(std::vector<uint8_t>(good.begin(), good.begin() + 49), PreferencesStatus::Foreign);
    expectReplaced(std::vector<uint8_t>(good.begin(), good.begin() + 51), PreferencesStatus::Truncated);
    expectReplaced(std::vector<uint8_t>(good.begin(), good.end() - 1), PreferencesStatus::Truncated);
    expectReplaced(std::vector<uint8_t>(kMaxPreferencesFileSize + 1, 0), PreferencesStatus::Unreadable);

    // Padding after the header's NUL does not matter.
    std::vector<uint8_t> padded = good;
    for (size_t i = 43; i < 50; ++i) padded[i] = 0xCC;
    writeBytes(padded);
    Preferences prefs;
    MusicSettings music;
    EXPECT_TRUE(loadPreferences(path_, prefs, music).read.ok());
}

TEST_F(PreferencesFile, PlayListRoundTripsWithLengthsIncludingTheNul) {
    Preferences prefs;
    prefs.playList = {"/music/a.mid", std::string(255, 'p'), "", "/music/c.mid"};
    MusicSettings music{true, false, true, 2, 4};
    ASSERT_TRUE(savePreferences(path_, prefs, music, false));
    std::vector<uint8_t> b = fileBytes();
    size_t at = kDefaultFileSize;
    EXPECT_EQ(u32At(b, at), 13u);
    EXPECT_EQ(textAt(b, at + 4), "/music/a.mid");
    at += 4 + 13;
    EXPECT_EQ(u32At(b, at), 256u);
    EXPECT_EQ(b[at + 4 + 255], 0);
    at += 4 + 256;
    EXPECT_EQ(u32At(b, at), 1u);
    at += 4 + 1;
    EXPECT_EQ(u32At(b, at), 13u);
    EXPECT_EQ(b.size(), at + 4 + 13);

    Preferences back;
    MusicSettings musicBack{false, true, false, 0, 0};
    PreferencesLoadResult r = loadPreferences(path_, back, musicBack);
    ASSERT_TRUE(r.read.ok());
    EXPECT_EQ(back.playList, prefs.playList);
    EXPECT_EQ(musicBack, music);
    EXPECT_EQ(r.read.entriesCut, 0u);
}

TEST_F(PreferencesFile, MusicFieldsAreCopiedBothWays) {
    Preferences prefs;
    prefs.playList = {"a.mid", "b.mid", "c.mid"};
    MusicSettings music{false, true, true, 2, 3};
    ASSERT_TRUE(savePreferences(path_, prefs, music, true));
    std::vector<uint8_t> b = fileBytes();
    EXPECT_EQ(u32At(b, kRec + 804), 0u);
    EXPECT_EQ(u32At(b, kRec + 808), 1u);
    EXPECT_EQ(u32At(b, kRec + 812), 1u);
    EXPECT_EQ(u32At(b, kRec + 920), 2u);
    EXPECT_EQ(u32At(b, kRec + 924), 3u);

    // Another writer's record values arrive in the music settings as stored.
    storeU32(b.data() + kRec + 804, 1);
    storeU32(b.data() + kRec + 808, 0);
    storeU32(b.data() + kRec + 920, 1);
    writeBytes(b);
    MusicSettings loaded;
    Preferences back;
    ASSERT_TRUE(loadPreferences(path_, back, loaded).read.ok());
    EXPECT_EQ(loaded, (MusicSettings{true, false, true, 1, 3}));

    // The count written never promises more entries than the list holds, and
    // the record in memory says what the file says.
    music.playListCount = 9;
    ASSERT_TRUE(savePreferences(path_, prefs, music, true));
    EXPECT_EQ(u32At(fileBytes(), kRec + 924), 3u);
    EXPECT_EQ(prefs.record.playListCount, 3);
    music.playListCount = 1;
    ASSERT_TRUE(savePreferences(path_, prefs, music, true));
    EXPECT_EQ(fileBytes().size(), kDefaultFileSize + 4 + 6);

    // A missing file: the music settings take the count that was written.
    fs::remove(path_);
    Preferences empty;
    MusicSettings promised{true, true, true, 5, 7};
    EXPECT_EQ(loadPreferences(path_, empty, promised).read.status, PreferencesStatus::Missing);
    EXPECT_EQ(promised, (MusicSettings{true, true, true, 5, 0}));
}

TEST_F(PreferencesFile, KeepDecidesWhetherTheRecordIsReset) {
    Preferences prefs;
    prefs.playList = {"x.mid"};
    PreferencesRecord::setText(prefs.record.playerName, "Ann");
    prefs.record.hardwareStretch = 0;
    MusicSettings music{true, true, true, 1, 1};
    ASSERT_TRUE(savePreferences(path_, prefs, music, true));
    EXPECT_EQ(textAt(fileBytes(), kRec + 932), "Ann");
    ASSERT_TRUE(savePreferences(path_, prefs, music, false));
    std::vector<uint8_t> b = fileBytes();
    EXPECT_EQ(textAt(b, kRec + 932), "Player");
    EXPECT_EQ(u32At(b, kRec + 1340), 1u);
    // The play list survives a reset.
    EXPECT_EQ(prefs.playList, std::vector<std::string>{"x.mid"});
    EXPECT_EQ(u32At(b, kRec + 924), 1u);
    EXPECT_EQ(b.size(), kDefaultFileSize + 4 + 6);
}

TEST(PreferencesPlayList, HostileCountsAndLengthsStayInsideTheFile) {
    Preferences p;

    // A huge count with two entries present: both read, the count follows.
    std::vector<uint8_t> two;
    appendEntry(two, 6, std::string_view("a.mid\0", 6));
    appendEntry(two, 6, std::string_view("b.mid\0", 6));
    PreferencesReadResult r = decodePreferences(fileWithCount(0x7FFFFFFF, two), p);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.storedCount, 0x7FFFFFFF);
    EXPECT_EQ(p.playList, (std::vector<std::string>{"a.mid", "b.mid"}));
    EXPECT_EQ(p.record.playListCount, 2);

    // A negative count reads nothing.
    ASSERT_TRUE(decodePreferences(fileWithCount(-5, two), p).ok());
    EXPECT_TRUE(p.playList.empty());
    EXPECT_EQ(p.record.playListCount, 0);

    // More than 255 entries present: only the first 255 are taken.
    std::vector<uint8_t> many;
    for (int i = 0; i < 300; ++i) appendEntry(many, 2, std::string_view("m\0", 2));
    r = decodePreferences(fileWithCount(300, many), p);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(p.playList.size(), 255u);
    EXPECT_EQ(p.record.playListCount, 255);

    // A length beyond the end, a cut length field: the entries before stay.
    std::vector<uint8_t> broken = two;
    appendEntry(broken, 0xFFFFFFF0u, "zz");
    r = decodePreferences(fileWithCount(3, broken), p);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entriesRead, 2u);
    EXPECT_EQ(p.playList.size(), 2u);
    std::vector<uint8_t> shortLength = two;
    shortLength.push_back(7);
    EXPECT_EQ(decodePreferences(fileWithCount(3, shortLength), p).entriesRead, 2u);

    // Missing NUL, text ending early, empty entry: all read without overrun.
    std::vector<uint8_t> odd;
    appendEntry(odd, 3, "abc");
    appendEntry(odd, 5, std::string_view("ab\0cd", 5));
    appendEntry(odd, 0, "");
    ASSERT_TRUE(decodePreferences(fileWithCount(3, odd), p).ok());
    EXPECT_EQ(p.playList, (std::vector<std::string>{"abc", "ab", ""}));
}

TEST(PreferencesPlayList, OverlongPathsAreCutAndKeepTheirPlace) {
    std::vector<uint8_t> tail;
    std::string longPath = "/" + std::string(299, 'q');
    appendEntry(tail, 301, longPath + std::string(1, '\0'));
    appendEntry(tail, 6, std::string_view("b.mid\0", 6));
    Preferences p;
    PreferencesReadResult r = decodePreferences(fileWithCount(2, tail), p);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.entriesCut, 1u);
    ASSERT_EQ(p.playList.size(), 2u);
    EXPECT_EQ(p.playList[0], longPath.substr(0, 255));
    EXPECT_EQ(p.playList[1], "b.mid");

    // Writing cuts the same way, so the file never holds a length above 256,
    // and text after an embedded NUL is not written.
    Preferences w;
    w.playList = {std::string(400, 'w'), std::string("x\0y", 3)};
    w.record.playListCount = 2;
    std::vector<uint8_t> b = encodePreferences(w);
    EXPECT_EQ(u32At(b, kDefaultFileSize), 256u);
    EXPECT_EQ(u32At(b, kDefaultFileSize + 4 + 256), 2u);
    EXPECT_EQ(b.size(), kDefaultFileSize + 4 + 256 + 4 + 2);
}

TEST_F(PreferencesFile, WritesAreAtomicAndFailuresSilent) {
    Preferences prefs;
    MusicSettings music;
    // The folder is made when missing.
    std::string nested = preferencesPath(dir() + "/new/folder");
    ASSERT_TRUE(savePreferences(nested, prefs, music, false));
    EXPECT_EQ(PreferencesRecord::text(prefs.record.pictureDirectory), dir() + "/new/folder");
    ASSERT_TRUE(savePreferences(path_, prefs, music, false));
    ASSERT_TRUE(savePreferences(path_, prefs, music, true));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"gthvale.prf", "new"}));

    // A folder that cannot be made: false, and nothing else happens.
    std::vector<uint8_t> before = fileBytes();
    std::string blocked = preferencesPath(path_ + "/inside");
    EXPECT_FALSE(savePreferences(blocked, prefs, music, false));
    Preferences other;
    MusicSettings otherMusic;
    PreferencesLoadResult r = loadPreferences(blocked, other, otherMusic);
    EXPECT_FALSE(r.defaultsWritten);
    EXPECT_EQ(PreferencesRecord::text(other.record.playerName), "Player");
    EXPECT_EQ(fileBytes(), before);
}
