// Buffering movies from removable media: which movies are copied, the
// not-enough-space question and its answers, the folder picker, the copy
// and its progress, a failed copy's question, and the removable-media check
// on a made-up /sys.
#include "shell/movie_buffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "platform/scripted_platform.h"
#include "shell/document.h"

using namespace pavalo;
namespace fs = std::filesystem;

namespace {

struct ProgressFrontEnd : DocumentFrontEnd {
    std::optional<std::string> choosePicture() override { return std::nullopt; }
    std::optional<PieceCountChoice> askPieceCount(const PieceCountRules&, bool) override { return std::nullopt; }
    void progressOpen(const std::string& caption) override { opened.push_back(caption); }
    void progressSet(int percent, const std::string&) override { percents.push_back(percent); }
    void progressClose() override { ++closed; }
    std::vector<std::string> opened;
    std::vector<int> percents;
    int closed = 0;
};

class MovieBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("pavalo-buffer-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "disc");
        fs::create_directories(root / "data");
        fs::create_directories(root / "roomy");
        movie = (root / "disc" / "clip.mpg").string();
        std::ofstream out(movie, std::ios::binary);
        for (int i = 0; i < kSize; ++i) out.put(char(i * 7 + i / 4096));
        out.close();
        // As files on a disc are.
        fs::permissions(movie, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        storage.folder = (root / "data").string();
        storage.isRemovable = [this](const std::string& path) {
            ++removableAsked;
            return path.find("/disc/") != std::string::npos;
        };
        storage.freeBytes = [this](const std::string& folder) {
            freeAsked.push_back(folder);
            return folder.find("roomy") != std::string::npos ? uint64_t(1) << 40 : freeInData;
        };
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    MovieBufferResult run() { return bufferMovie(movie, storage, platform, front); }
    bool sameBytes(const std::string& a, const std::string& b) {
        std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(x), {}) == std::string(std::istreambuf_iterator<char>(y), {});
    }

    static constexpr int kSize = 3 * 4096 + 123;  // a part block at the end
    fs::path root;
    std::string movie;
    MovieStorage storage;
    uint64_t freeInData = uint64_t(1) << 30;
    int removableAsked = 0;
    std::vector<std::string> freeAsked;
    ScriptedPlatform platform;
    ProgressFrontEnd front;
};

TEST_F(MovieBufferTest, AMovieOnAHardDiskIsNeverCopied) {
    const std::string onDisk = (root / "data" / "hd.mpg").string();
    fs::copy_file(movie, onDisk);
    const MovieBufferResult r = bufferMovie(onDisk, storage, platform, front);
    EXPECT_EQ(r.outcome, MovieBufferOutcome::PlayOriginal);
    EXPECT_TRUE(freeAsked.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(front.opened.empty());
    EXPECT_FALSE(fs::exists(root / "data" / "tempmovie.avi"));
}

TEST_F(MovieBufferTest, ExactlyEnoughSpacePlaysUnbufferedWithoutAQuestion) {
    freeInData = kSize;
    EXPECT_EQ(run().outcome, MovieBufferOutcome::PlayOriginal);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(fs::exists(root / "data" / "tempmovie.avi"));
    // One byte more and it is copied.
    freeInData = kSize + 1;
    EXPECT_EQ(run().outcome, MovieBufferOutcome::PlayCopy);
}

TEST_F(MovieBufferTest, TheCopyGoesIntoTheFolderWritableWithItsProgressShown) {
    storage.folder += "/";  // a folder that ends with a separator gets no second one
    const MovieBufferResult r = run();
    ASSERT_EQ(r.outcome, MovieBufferOutcome::PlayCopy);
    EXPECT_EQ(r.copyPath, (root / "data").string() + "/tempmovie.avi");
    EXPECT_TRUE(sameBytes(movie, r.copyPath));
    EXPECT_TRUE((fs::status(r.copyPath).permissions() & fs::perms::owner_write) != fs::perms::none);
    EXPECT_EQ(front.opened, std::vector<std::string>{"Buffering the movie to your hard drive"});
    EXPECT_EQ(front.closed, 1);
    ASSERT_FALSE(front.percents.empty());
    EXPECT_EQ(front.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(front.percents.begin(), front.percents.end()));
    EXPECT_EQ(movieCopyPath("/a/b"), "/a/b/tempmovie.avi");
}

TEST_F(MovieBufferTest, NotEnoughSpaceAsksAndEachAnswerDoesItsPart) {
    freeInData = 100;
    const std::string question =
        "There is not enough free space on " + storage.folder +
        " to make a temporary copy of the movie.  There are 100 bytes available, but " + std::to_string(kSize) +
        " bytes are required.  Select a new directory?  (Press Yes to select a new directory, No to play the "
        "movie without buffering, or cancel to choose a new image)";

    platform.messageAnswers = {MessageResult::Cancel};
    EXPECT_EQ(run().outcome, MovieBufferOutcome::Cancelled);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, question);
    EXPECT_EQ(platform.messages[0].caption, "Not enough free space");
    EXPECT_EQ(platform.messages[0].buttons, MessageButtons::YesNoCancel);

    platform.messageAnswers = {MessageResult::No};
    EXPECT_EQ(run().outcome, MovieBufferOutcome::PlayOriginal);
    EXPECT_TRUE(platform.folderTitles.empty());

    // Yes, and the picker cancelled.
    platform.messageAnswers = {MessageResult::Yes};
    EXPECT_EQ(run().outcome, MovieBufferOutcome::Cancelled);
    EXPECT_EQ(platform.folderTitles, std::vector<std::string>{"Temporary File Location"});

    // Yes with a folder as full, asked again; then Yes with a roomy one.
    fs::create_directories(root / "full");
    platform.messageAnswers = {MessageResult::Yes, MessageResult::Yes};
    platform.folderAnswers = {(root / "full").string(), (root / "roomy").string()};
    platform.messages.clear();
    freeAsked.clear();
    const MovieBufferResult r = run();
    ASSERT_EQ(r.outcome, MovieBufferOutcome::PlayCopy);
    EXPECT_EQ(r.copyPath, (root / "roomy" / "tempmovie.avi").string());
    EXPECT_TRUE(sameBytes(movie, r.copyPath));
    EXPECT_EQ(platform.messages.size(), 2u);
    EXPECT_NE(platform.messages[1].text.find((root / "full").string()), std::string::npos);
    EXPECT_EQ(freeAsked.size(), 3u);
    EXPECT_FALSE(fs::exists(root / "data" / "tempmovie.avi"));
}

TEST_F(MovieBufferTest, AFailedCopyAsksWhetherToPlayUnbuffered) {
    storage.folder = (root / "missing" / "folder").string();  // cannot be written
    platform.messageAnswers = {MessageResult::Yes};
    EXPECT_EQ(run().outcome, MovieBufferOutcome::PlayOriginal);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, "Unable to copy the movie to a temporary file.  Attempt to play unbuffered?");
    EXPECT_EQ(platform.messages[0].caption, "Unable to create temporary file");
    EXPECT_EQ(platform.messages[0].buttons, MessageButtons::YesNo);

    platform.messageAnswers = {MessageResult::No};
    EXPECT_EQ(run().outcome, MovieBufferOutcome::Cancelled);
    EXPECT_FALSE(fs::exists(storage.folder));
}

TEST_F(MovieBufferTest, RemovableMediaAreFoundThroughTheDeviceOfTheFilesMount) {
    struct stat st {};
    ASSERT_EQ(::stat(movie.c_str(), &st), 0);
    const std::string dev = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    // A made-up /sys where that device is a partition of disk "sdz".
    const fs::path sys = root / "sys";
    const fs::path disk = sys / "devices" / "usb1" / "block" / "sdz";
    fs::create_directories(disk / "sdz1");
    std::ofstream(disk / "sdz1" / "partition") << "1\n";
    fs::create_directories(sys / "dev" / "block");
    fs::create_directory_symlink(disk / "sdz1", sys / "dev" / "block" / dev);
    std::ofstream(disk / "removable") << "0\n";
    EXPECT_FALSE(isOnRemovableMedia(movie, sys.string()));
    std::ofstream(disk / "removable") << "1\n";
    EXPECT_TRUE(isOnRemovableMedia(movie, sys.string()));
    // An optical drive counts whatever its flag.
    const fs::path optical = sys / "devices" / "ata2" / "block" / "sr0";
    fs::create_directories(optical);
    std::ofstream(optical / "removable") << "0\n";
    fs::remove(sys / "dev" / "block" / dev);
    fs::create_directory_symlink(optical, sys / "dev" / "block" / dev);
    EXPECT_TRUE(isOnRemovableMedia(movie, sys.string()));
    // A file system without a block device is not removable.
    fs::remove(sys / "dev" / "block" / dev);
    EXPECT_FALSE(isOnRemovableMedia(movie, sys.string()));
    EXPECT_FALSE(isOnRemovableMedia((root / "nothing-here").string(), sys.string()));
    EXPECT_GT(freeBytesIn(root.string()), 0u);
}

}  // namespace
