// Tests of the shared helpers: random generator, byte access, safe writes
// and named mutexes.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "common/file_io.h"
#include "common/named_mutex.h"
#include "common/random.h"

using namespace pavalo;

TEST(Random, ReproducesTheKnownSequence) {
    Random r(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected) EXPECT_EQ(r.next(), e);
    // Reseeding restarts the sequence; results never exceed 15 bits.
    r.seed(1);
    EXPECT_EQ(r.next(), 41);
    r.seed(0xdeadbeef);
    for (int i = 0; i < 10000; ++i) {
        int v = r.next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

TEST(ByteReader, FailsPastTheEndAndStaysFailed) {
    const uint8_t data[] = {1, 2, 3, 4, 5, 6};
    ByteReader in(data);
    EXPECT_EQ(in.u32(), 0x04030201u);
    EXPECT_EQ(in.u32(), 0u);  // only two bytes left
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.u8(), 0u);  // still failed, even though bytes remain
    EXPECT_TRUE(in.bytes(1).empty());
}

TEST(ByteWriter, WritesLittleEndian) {
    ByteWriter out;
    out.u32(0x11223344);
    out.i32(-2);
    out.u16(0xabcd);
    std::vector<uint8_t> expected = {0x44, 0x33, 0x22, 0x11, 0xfe, 0xff, 0xff, 0xff, 0xcd, 0xab};
    EXPECT_EQ(out.buffer(), expected);
    ByteReader in(out.buffer());
    EXPECT_EQ(in.u32(), 0x11223344u);
    EXPECT_EQ(in.i32(), -2);
    EXPECT_EQ(in.u16(), 0xabcd);
    EXPECT_TRUE(in.ok());
}

TEST(FileIo, AtomicWriteReplacesAndLeavesNoTemporary) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("pavalo-io-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string path = (dir / "file.bin").string();
    std::string error;
    std::vector<uint8_t> first = {1, 2, 3}, second = {9};
    ASSERT_TRUE(writeFileAtomically(path, first, error)) << error;
    ASSERT_TRUE(writeFileAtomically(path, second, error)) << error;
    std::vector<uint8_t> back;
    ASSERT_TRUE(readWholeFile(path, back, error)) << error;
    EXPECT_EQ(back, second);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A write into a missing folder fails and says so.
    EXPECT_FALSE(writeFileAtomically((dir / "no" / "file.bin").string(), first, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(readWholeFile((dir / "missing").string(), back, error));
    // Files above the limit are refused.
    EXPECT_FALSE(readWholeFile(path, back, error, 0));
    fs::remove_all(dir);
}

// A replaced file keeps its permissions and owner; a new one gets 0644.
TEST(FileIo, AtomicWriteKeepsTheReplacedFilesModeAndOwner) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("pavalo-mode-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "library.gvl").string();
    std::string error;
    const std::vector<uint8_t> bytes = {4, 5, 6};
    struct stat st {};
    ASSERT_TRUE(writeFileAtomically(path, bytes, error)) << error;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0604), mode_t(0755)}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(writeFileAtomically(path, bytes, error)) << error;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
    if (::geteuid() == 0) {  // only a privileged writer can keep another owner
        ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
        ASSERT_TRUE(writeFileAtomically(path, bytes, error)) << error;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    fs::remove_all(dir);
}

TEST(NamedMutex, NamesAndRecursion) {
    NamedMutex id;
    ASSERT_TRUE(findNamedMutex("PIECEMutex", id));
    EXPECT_EQ(id, NamedMutex::PIECE);
    EXPECT_FALSE(findNamedMutex("pieceMutex", id));
    EXPECT_EQ(namedMutexName(NamedMutex::OUTMSG), "OUTMSGMutex");
    {
        NamedLock a(NamedMutex::PIECE);
        NamedLock b(NamedMutex::PIECE);  // re-entrant for its owner
        EXPECT_EQ(heldCount(NamedMutex::PIECE), 2);
        // Another thread must wait.
        bool acquired = true;
        std::thread t([&] { acquired = namedMutex(NamedMutex::PIECE).try_lock(); });
        t.join();
        EXPECT_FALSE(acquired);
    }
    EXPECT_EQ(heldCount(NamedMutex::PIECE), 0);
}

TEST(NamedMutex, LockOrder) {
    EXPECT_TRUE(lockOrderAllows(NamedMutex::UNDO, NamedMutex::PIECE));
    EXPECT_FALSE(lockOrderAllows(NamedMutex::PIECE, NamedMutex::UNDO));
    EXPECT_TRUE(lockOrderAllows(NamedMutex::OUTMSG, NamedMutex::DP));
    EXPECT_FALSE(lockOrderAllows(NamedMutex::DP, NamedMutex::OUTMSG));
    {
        NamedLock undo(NamedMutex::UNDO);
        NamedLock piece(NamedMutex::PIECE);
        NamedLock again(NamedMutex::UNDO);  // already held: no new ordering
    }
    EXPECT_DEATH(
        {
            NamedLock piece(NamedMutex::PIECE);
            NamedLock undo(NamedMutex::UNDO);
        },
        "lock order broken");
}
