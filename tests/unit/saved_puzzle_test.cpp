// Tests of the settings record and saved puzzle files: layout, round trips,
// and refusal of damaged files without touching the puzzle in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "common/file_io.h"
#include "puzzle/cutter.h"
#include "puzzle/saved_puzzle.h"

using namespace pavalo;

namespace {

struct Fixture {
    SettingsRecord record;
    PuzzleModel model;
    std::vector<int32_t> order;
};

Fixture cutSample(uint32_t seed = 77, int cols = 6, int rows = 4) {
    Fixture f;
    Random rng(seed);
    std::string error;
    EXPECT_TRUE(runCutSequence({360, 240, cols, rows, 1280, 1024, true}, rng, f.model, f.order, error)) << error;
    resetForNewPuzzle(f.record, 3, "/pictures/harbour.jpg", 1280, 360, 240);
    f.record.pictureKind = kPictureJpeg;
    f.record.rotationOption = 1;
    return f;
}

// Positions relative to the picture, masks, group structure and flags.
void expectSamePuzzle(const PuzzleModel& a, const PuzzleModel& b) {
    ASSERT_EQ(a.pieceCount(), b.pieceCount());
    for (int i = 0; i < a.pieceCount(); ++i) {
        const Piece& p = a.piece(i);
        const Piece& q = b.piece(i);
        EXPECT_EQ(a.toPictureX(p.x), b.toPictureX(q.x)) << i;
        EXPECT_EQ(a.toPictureY(p.y), b.toPictureY(q.y)) << i;
        EXPECT_EQ(p.rotation, q.rotation);
        EXPECT_EQ(p.homeX, q.homeX);
        EXPECT_EQ(p.width, q.width);
        EXPECT_EQ(p.mask, q.mask);
        EXPECT_EQ(p.outline, q.outline);
        EXPECT_EQ(a.member(i).selected, b.member(i).selected);
    }
    for (int l = 0; l < 6; ++l) {
        std::vector<std::pair<int32_t, std::vector<int32_t>>> ga, gb;
        auto collect = [](const PuzzleModel& m, ListId list, auto& out) {
            m.forEachGroup(list, [&](int32_t g) {
                std::vector<int32_t> members;
                m.forEachMember(g, [&](int32_t p) { members.push_back(p); });
                out.push_back({m.groupNode(g).groupNumber, members});
            });
        };
        collect(a, ListId(l), ga);
        collect(b, ListId(l), gb);
        EXPECT_EQ(ga, gb) << listName(ListId(l));
    }
}

std::vector<uint8_t> encoded(const Fixture& f) { return encodeSavedPuzzle(f.record, f.model); }

OpenResult decodeInto(const std::vector<uint8_t>& bytes, Fixture& into, int32_t w = 1280, int32_t h = 1024) {
    Random rng(5);
    return decodeSavedPuzzle(bytes, w, h, rng, into.record, into.model, into.order);
}

}  // namespace

TEST(SettingsRecord, FieldsSitAtTheirOffsets) {
    SettingsRecord r;
    r.pickerValue = 0x01020304;
    r.pictureKind = 4;
    SettingsRecord::setText(r.picturePath, "a.jpg");
    SettingsRecord::setText(r.movieDataPath, "b.dat");
    r.boxOpen[3] = 1;
    r.boxRect[1] = {-1, 2, 3, 4};
    r.previewRect = {5, 6, 7, 8};
    r.overviewRect = {9, 10, 11, 12};
    r.paletteRect = {-13, 14, 15, 16};
    r.snapTolerance = 22;
    r.assemblyOffsetX = -7;
    r.zoomShift = 3;
    r.puzzleState = 16;
    r.colourChoices[2] = 0xabcdef;
    r.currentTool = 9;
    r.colourChoice4 = 0x123;
    r.rotationOption = 1;
    r.networkGame = 2;
    r.assistAllowed[6] = 1;
    r.networkSeed = 0xfeedbeef;
    r.columns = 40;
    r.rows = 30;
    r.pictureWidth = 1024;
    r.pictureHeight = 768;
    r.field1256 = 1;
    r.spare1072[0] = 0x5a;  // unnamed bytes survive as held
    auto b = r.encode();
    auto u32 = [&](size_t off) { return loadU32(b.data() + off); };
    EXPECT_EQ(u32(4), 0x01020304u);
    EXPECT_EQ(u32(8), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 12)), "a.jpg");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 532)), "b.dat");
    EXPECT_EQ(u32(792 + 12), 1u);
    EXPECT_EQ(int32_t(u32(808 + 16)), -1);
    EXPECT_EQ(u32(808 + 28), 4u);
    EXPECT_EQ(u32(940), 5u);
    EXPECT_EQ(u32(952), 8u);
    EXPECT_EQ(u32(872), 9u);
    EXPECT_EQ(u32(884), 12u);
    EXPECT_EQ(int32_t(u32(888)), -13);
    EXPECT_EQ(u32(900), 16u);
    EXPECT_EQ(u32(960), 22u);
    EXPECT_EQ(int32_t(u32(964)), -7);
    EXPECT_EQ(u32(972), 3u);
    EXPECT_EQ(u32(976), 16u);
    EXPECT_EQ(u32(1008), 0xabcdefu);
    EXPECT_EQ(u32(1060), 9u);
    EXPECT_EQ(u32(1064), 0x123u);
    EXPECT_EQ(u32(1068), 1u);
    EXPECT_EQ(u32(1204), 2u);
    EXPECT_EQ(u32(1208 + 24), 1u);
    EXPECT_EQ(u32(1236), 0xfeedbeefu);
    EXPECT_EQ(u32(1240), 40u);
    EXPECT_EQ(u32(1244), 30u);
    EXPECT_EQ(u32(1248), 1024u);
    EXPECT_EQ(u32(1252), 768u);
    EXPECT_EQ(u32(1256), 1u);
    EXPECT_EQ(b[1072], 0x5a);
    EXPECT_EQ(SettingsRecord::decode(b), r);

    // Arbitrary bytes decode and encode back unchanged.
    std::array<uint8_t, kSettingsRecordSize> noise;
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 37 + 11);
    EXPECT_EQ(SettingsRecord::decode(noise).encode(), noise);
    // A path field without its zero is read up to the field's end only.
    SettingsRecord full = SettingsRecord::decode(noise);
    EXPECT_EQ(full.picture().size(), std::strlen(full.picture().c_str()));
    EXPECT_LE(full.picture().size(), 520u);
    EXPECT_FALSE(SettingsRecord::setText(r.movieDataPath, std::string(256, 'x')));
}

TEST(SettingsRecord, NewPuzzleDefaults) {
    SettingsRecord r;
    r.pictureKind = 4;
    SettingsRecord::setText(r.movieDataPath, "movie.dat");
    r.zoomShift = 2;
    r.networkGame = 1;
    resetForNewPuzzle(r, 7, "pic.avi", 1920, 640, 480);
    EXPECT_EQ(r.pictureKind, 4u);
    EXPECT_EQ(r.movieData(), "movie.dat");
    EXPECT_EQ(r.picture(), "pic.avi");
    EXPECT_EQ(r.pickerValue, 7u);
    EXPECT_EQ(r.zoomShift, 0);
    EXPECT_EQ(r.networkGame, 0u);
    EXPECT_EQ(r.puzzleState, kPuzzleStateNew);
    for (uint32_t a : r.assistAllowed) EXPECT_EQ(a, 1u);
    EXPECT_EQ(r.boxRect[0], (StoredRect{60, 60, 260, 260}));
    EXPECT_EQ(r.boxRect[3], (StoredRect{120, 120, 320, 320}));
    EXPECT_EQ(r.boxOpen[0], 0u);
    EXPECT_EQ(r.previewRect.right, 1915);
    EXPECT_EQ(r.previewRect.top, 5);
    EXPECT_EQ(r.previewRect.bottom - r.previewRect.top, (r.previewRect.right - r.previewRect.left) * 3 / 4);
    EXPECT_EQ(r.field1052, 5u);
    EXPECT_EQ(r.field936, 1u);
}

TEST(SavedPuzzle, FileLayoutAfterACut) {
    Fixture f = cutSample();
    std::vector<uint8_t> bytes = encoded(f);
    ASSERT_GT(bytes.size(), 50u + 8 + 1264 + 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), kSavedPuzzleMagic);
    for (size_t i = 34; i < 50; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(loadU32(&bytes[50]), 108u);
    EXPECT_EQ(loadU32(&bytes[54]), 1264u);
    const uint8_t* record = &bytes[58];
    EXPECT_EQ(loadU32(record + 1240), 6u);
    EXPECT_EQ(loadU32(record + 1244), 4u);
    EXPECT_EQ(loadU32(record + 1248), 360u);
    EXPECT_EQ(loadU32(record + 960), uint32_t(f.model.geometry().snapTolerance));
    const uint8_t* section = record + 1264;
    EXPECT_EQ(loadU32(section), 24u);
    EXPECT_EQ(loadU32(section + 4), 4u);
    EXPECT_EQ(loadU32(section + 8), 6u);
    // First piece: picture-relative position, then its buffer words zero.
    const Piece& p0 = f.model.piece(0);
    EXPECT_EQ(int32_t(loadU32(section + 12)), f.model.toPictureX(p0.x));
    EXPECT_EQ(loadU32(section + 12 + 28), p0.mask.size());
    EXPECT_EQ(loadU32(section + 12 + 32), 0u);
    // The list blocks: 24 single-piece groups in Main, then five empty lists.
    size_t at = 12;
    for (const Piece& p : f.model.pieces()) at += 48 + p.mask.size() + p.outline.size();
    EXPECT_EQ(loadU32(section + at), 24u);
    size_t end = at + 4 + 24 * 16;
    for (int l = 1; l < 6; ++l) EXPECT_EQ(loadU32(section + end + 4 * (l - 1)), 0u);
    EXPECT_EQ(section + end + 20, bytes.data() + bytes.size());
}

TEST(SavedPuzzle, RoundTripKeepsGroupsListsAndPositions) {
    Fixture f = cutSample();
    PuzzleModel& m = f.model;
    m.geometry().offsetX = 13;
    m.geometry().offsetY = -4;
    // Join a few groups (leaving emptied nodes), fill boxes, solve, select.
    m.mergeGroups(ListId::Main, m.groupNode(m.member(0).group).groupNumber, m.groupNode(m.member(1).group).groupNumber);
    m.mergeGroups(ListId::Main, m.groupNode(m.member(0).group).groupNumber, m.groupNode(m.member(6).group).groupNumber);
    m.movePieceToList(ListId::Box2, ListId::Main, 10);
    m.movePieceToList(ListId::Box4, ListId::Main, 11);
    m.solvePiece(ListId::Main, 12, 13, -4);
    m.setGroupSelected(ListId::Main, 0, true);
    f.record.boxOpen[1] = 1;

    Fixture back;
    OpenResult r = decodeInto(encoded(f), back);
    ASSERT_TRUE(r.ok()) << r.message;
    expectSamePuzzle(m, back.model);
    EXPECT_EQ(back.model.countListGroups(ListId::Main), 24 - 2 - 1);  // emptied nodes stay
    EXPECT_EQ(back.record.boxOpen[1], 1u);
    EXPECT_EQ(back.record.picture(), "/pictures/harbour.jpg");
    EXPECT_EQ(back.model.geometry().offsetX, 13);
    EXPECT_EQ(back.model.geometry().snapTolerance, m.geometry().snapTolerance);
    EXPECT_TRUE(back.model.checkInvariants());
    ASSERT_EQ(back.order.size(), 24u);  // a fresh order table
    EXPECT_EQ(std::set<int32_t>(back.order.begin(), back.order.end()).size(), 24u);

    // On a smaller play area pieces keep their place relative to the picture.
    Fixture small;
    ASSERT_TRUE(decodeInto(encoded(f), small, 800, 600).ok());
    expectSamePuzzle(m, small.model);
    EXPECT_EQ(small.model.piece(12).x, 800 / 2 - 180 + 13 + small.model.piece(12).homeX);

    // Saving the reopened puzzle gives the same bytes.
    EXPECT_EQ(encoded(back), encoded(f));
}

TEST(SavedPuzzle, MagicAndVersionMessages) {
    Fixture f = cutSample();
    std::vector<uint8_t> bytes = encoded(f);
    Fixture target = cutSample(99);
    std::vector<uint8_t> before = encoded(target);

    std::vector<uint8_t> tail = bytes;  // bytes after the magic's zero do not matter
    for (size_t i = 35; i < 50; ++i) tail[i] = 0xee;
    EXPECT_TRUE(decodeInto(tail, target).ok());
    target = cutSample(99);

    std::vector<uint8_t> wrong = bytes;
    wrong[0] = 't';
    OpenResult r = decodeInto(wrong, target);
    EXPECT_EQ(r.status, OpenStatus::NotSavedPuzzle);
    EXPECT_EQ(r.message, "This is not a Pavalo saved puzzle");
    std::vector<uint8_t> longer = bytes;  // the text must end where the magic's does
    longer[34] = 'X';
    EXPECT_EQ(decodeInto(longer, target).status, OpenStatus::NotSavedPuzzle);
    EXPECT_EQ(decodeInto({}, target).status, OpenStatus::NotSavedPuzzle);

    std::vector<uint8_t> old = bytes;
    storeU32(&old[50], 107);
    r = decodeInto(old, target);
    EXPECT_EQ(r.status, OpenStatus::OtherVersion);
    EXPECT_EQ(r.message, "This Puzzle was saved with an older version of Pavalo");
    EXPECT_EQ(encoded(target), before);
}

TEST(SavedPuzzle, DamagedFilesAreRefusedAndChangeNothing) {
    Fixture f = cutSample(41, 4, 3);
    const std::vector<uint8_t> good = encoded(f);
    Fixture target = cutSample(99);
    const std::vector<uint8_t> before = encoded(target);
    const size_t section = 58 + 1264;
    size_t listsAt = section + 12;
    for (const Piece& p : f.model.pieces()) listsAt += 48 + p.mask.size() + p.outline.size();

    auto refused = [&](std::vector<uint8_t> bytes, const char* what) {
        OpenResult r = decodeInto(bytes, target);
        EXPECT_EQ(r.status, OpenStatus::Damaged) << what;
        EXPECT_FALSE(r.message.empty()) << what;
        EXPECT_EQ(encoded(target), before) << what;
    };
    // Every truncation of the file.
    for (size_t len = 50; len < good.size(); len += (len < section + 200 ? 1 : 7))
        refused(std::vector<uint8_t>(good.begin(), good.begin() + ptrdiff_t(len)), "truncated");

    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> b = good;
        storeU32(&b[at], value);
        return b;
    };
    refused(patched(54, 1263), "record size");
    refused(patched(58 + 1240, 5), "columns differ from the pieces section");
    refused(patched(58 + 1240, 0), "no columns");
    refused(patched(58 + 1248, 0), "no picture width");
    refused(patched(section, 13), "piece count");
    refused(patched(section + 12 + 8, 4), "rotation");
    refused(patched(section + 12 + 20, 5000), "width beyond the picture");
    refused(patched(section + 12 + 28, uint32_t(f.model.piece(0).mask.size() + 1)), "mask size");
    refused(patched(section + 12, 0x7fffffff), "position far away");
    {
        std::vector<uint8_t> b = good;  // a mask run that overshoots the width
        b[section + 12 + 48] ^= 0x01;
        refused(b, "mask runs");
    }
    // Main list: 12 groups of one member each, starting at listsAt.
    refused(patched(listsAt, 13), "more groups than pieces");
    refused(patched(listsAt + 4 + 8, 12), "piece number out of range");
    refused(patched(listsAt + 4 + 16 + 8, loadU32(&good[listsAt + 4 + 8])), "piece in two groups");
    refused(patched(listsAt + 4, 12), "group number out of range");
    {
        // Drop the last group: the lists then hold 11 of 12 pieces.
        std::vector<uint8_t> b = good;
        storeU32(&b[listsAt], 11);
        b.erase(b.begin() + ptrdiff_t(listsAt + 4 + 11 * 16), b.begin() + ptrdiff_t(listsAt + 4 + 12 * 16));
        refused(b, "pieces missing from the lists");
    }
    {
        // A member count that claims more members than follow.
        std::vector<uint8_t> b = patched(listsAt + 4 + 4, 2);
        refused(b, "group count");
    }
}

// Group numbers are unique once a puzzle is open: a number the file repeats,
// within one list or across lists, goes to the lowest number no group of the
// file uses, and the first group carrying it keeps it.
TEST(SavedPuzzle, RepeatedGroupNumbersAreRenumberedOnReading) {
    Fixture f = cutSample(41, 4, 3);
    PuzzleModel& m = f.model;
    // An emptied node keeps its number; a group in box 2 for the cross-list case.
    m.mergeGroups(ListId::Main, m.groupNode(m.member(0).group).groupNumber, m.groupNode(m.member(1).group).groupNumber);
    m.movePieceToList(ListId::Box2, ListId::Main, 7);
    const std::vector<uint8_t> good = encoded(f);
    size_t listsAt = 58 + 1264 + 12;
    for (const Piece& p : m.pieces()) listsAt += 48 + p.mask.size() + p.outline.size();

    auto numbers = [](const PuzzleModel& pm) {  // in file order, checked unique
        std::vector<int32_t> inOrder;
        for (int l = 0; l < 6; ++l)
            pm.forEachGroup(ListId(l), [&](int32_t g) { inOrder.push_back(pm.groupNode(g).groupNumber); });
        EXPECT_EQ(std::set<int32_t>(inOrder.begin(), inOrder.end()).size(), inOrder.size());
        return inOrder;
    };
    Fixture plain;
    ASSERT_TRUE(decodeInto(good, plain).ok());
    const auto before = numbers(plain.model);

    // Main's first group (11 groups there) takes the second group's number.
    size_t secondAt = listsAt + 4 + 8 + 8 * loadU32(&good[listsAt + 4 + 4]);
    const int32_t firstNumber = int32_t(loadU32(&good[listsAt + 4]));
    const int32_t secondNumber = int32_t(loadU32(&good[secondAt]));
    {
        std::vector<uint8_t> b = good;
        storeU32(&b[secondAt], uint32_t(firstNumber));
        Fixture back;
        OpenResult r = decodeInto(b, back);
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_TRUE(back.model.checkInvariants());
        // The second group gets the one number now unused: its own.
        EXPECT_EQ(numbers(back.model), before);
    }
    {
        // Box 2's group (the list after Main, Finished, Box 1) repeats Main's
        // second number, which Main's first group also takes: the box's group
        // and Main's second group are both renumbered, to the two freed numbers
        // in file order.
        std::vector<uint8_t> b = good;
        size_t at = listsAt + 4;
        for (uint32_t k = 0; k < loadU32(&good[listsAt]); ++k) at += 8 + 8 * loadU32(&good[at + 4]);
        ASSERT_EQ(loadU32(&good[at]), 0u);      // Finished
        ASSERT_EQ(loadU32(&good[at + 4]), 0u);  // Box 1
        ASSERT_EQ(loadU32(&good[at + 8]), 1u);  // Box 2: one group
        const size_t boxNumberAt = at + 12;
        const int32_t boxNumber = int32_t(loadU32(&good[boxNumberAt]));
        storeU32(&b[listsAt + 4], uint32_t(secondNumber));
        storeU32(&b[boxNumberAt], uint32_t(secondNumber));
        Fixture back;
        OpenResult r = decodeInto(b, back);
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_TRUE(back.model.checkInvariants());
        auto after = numbers(back.model);
        ASSERT_EQ(after.size(), 12u);
        EXPECT_EQ(after[0], secondNumber);
        EXPECT_EQ(after[1], std::min(firstNumber, boxNumber));
        EXPECT_EQ(after[11], std::max(firstNumber, boxNumber));
    }
}

// Record values the game acts on are repaired on reading; sound ones stay.
TEST(SavedPuzzle, OpeningRepairsRecordValuesOutOfRange) {
    Fixture f = cutSample();  // 360 x 240 in 6 x 4: cells of 60, tolerance 10
    const int32_t cutTolerance = f.model.geometry().snapTolerance;
    ASSERT_EQ(cutTolerance, 10);
    auto reopened = [&](auto&& change) {
        Fixture changed = cutSample();
        change(changed.record, changed.model);
        Fixture back;
        OpenResult r = decodeInto(encodeSavedPuzzle(changed.record, changed.model), back);
        EXPECT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(back.model.geometry().snapTolerance, back.record.snapTolerance);
        return back.record;
    };
    for (const int32_t t : {0, -3, 6, 51, 0x7fffffff, int32_t(0x80000000)})
        EXPECT_EQ(reopened([&](SettingsRecord&, PuzzleModel& m) { m.geometry().snapTolerance = t; }).snapTolerance,
                  cutTolerance) << t;
    for (const int32_t t : {7, 26, 50})
        EXPECT_EQ(reopened([&](SettingsRecord&, PuzzleModel& m) { m.geometry().snapTolerance = t; }).snapTolerance, t);

    // A file is opened as a single-player game.
    SettingsRecord single = reopened([](SettingsRecord& r, PuzzleModel&) {
        r.networkGame = 1;
        r.assistAllowed = {0, 1, 0, 0, 1, 0, 0};
    });
    EXPECT_EQ(single.networkGame, 0u);
    for (uint32_t allowed : single.assistAllowed) EXPECT_EQ(allowed, 1u);

    // Rectangles on a 1280 x 1024 play area.
    const StoredRect sound{-100, 900, 200, 1100};  // partly off the screen: the windows' rules handle it
    const StoredRect huge{int32_t(0x80000000), -5, 0x7fffffff, 0x7fffffff};
    const StoredRect inverted{300, 300, 200, 400};
    const StoredRect farAway{50000000, -70000000, 50000200, -69999800};
    SettingsRecord rects = reopened([&](SettingsRecord& r, PuzzleModel&) {
        r.boxRect = {sound, huge, inverted, farAway};
        r.previewRect = huge;
        r.overviewRect = {};
        r.paletteRect = farAway;
    });
    EXPECT_EQ(rects.boxRect[0], sound);
    EXPECT_EQ(rects.boxRect[2], StoredRect{});  // not placed: the window's default place
    EXPECT_EQ(rects.overviewRect, StoredRect{});
    for (const StoredRect& r : {rects.boxRect[1], rects.boxRect[3], rects.previewRect, rects.paletteRect}) {
        const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
        EXPECT_GT(w, 0);
        EXPECT_LE(w, 1280);
        EXPECT_GT(h, 0);
        EXPECT_LE(h, 1024);
        EXPECT_GE(r.right, -1280);  // within a screen's size of the screen
        EXPECT_LE(r.left, 2 * 1280);
        EXPECT_GE(r.bottom, -1024);
        EXPECT_LE(r.top, 2 * 1024);
    }
    EXPECT_EQ(rects.boxRect[3].right - rects.boxRect[3].left, 200);  // the size is kept when it fits
}

TEST(SavedPuzzle, FilesAreWrittenWholeAndReadBack) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("pavalo-save-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Fixture f = cutSample();
    std::string path = (dir / "puzzle.gvp").string(), error;
    ASSERT_TRUE(savePuzzleFile(path, f.record, f.model, error)) << error;
    ASSERT_TRUE(savePuzzleFile(path, f.record, f.model, error)) << error;  // replaces
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    Fixture back;
    Random rng(1);
    OpenResult r = openPuzzleFile(path, 1280, 1024, rng, back.record, back.model, back.order);
    ASSERT_TRUE(r.ok()) << r.message;
    expectSamePuzzle(f.model, back.model);
    r = openPuzzleFile((dir / "missing.gvp").string(), 1280, 1024, rng, back.record, back.model, back.order);
    EXPECT_EQ(r.status, OpenStatus::Unreadable);
    EXPECT_FALSE(savePuzzleFile((dir / "none" / "x.gvp").string(), f.record, f.model, error));
    fs::remove_all(dir);
}
