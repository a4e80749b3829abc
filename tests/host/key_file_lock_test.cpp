// The lock of a virtual key file on POSIX: one holder at a time, whether the
// other is this process or another, for as long as it holds it, whatever
// saves replace the key file meanwhile. (That a Windows server under Wine and
// this lock exclude each other is tested in the Windows tree,
// tests/windows/key_file_lock_across_wine_test.sh.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "key_file.h"
#include "key_file_lock.h"

namespace {

namespace fs = std::filesystem;

class KeyFileLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("keyfilelock-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "key").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Whether a fresh lock on the key file is refused, and the message.
    bool Refused(std::string& error) const {
        vkey::KeyFileLock other;
        return !other.Take(path_, error) && !other.held();
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(KeyFileLockTest, ASecondHolderIsRefusedByNameUntilTheFirstLetsGo) {
    std::string error;
    vkey::KeyFileLock first;
    ASSERT_TRUE(first.Take(path_, error)) << error;
    EXPECT_TRUE(first.held());

    ASSERT_TRUE(Refused(error));
    EXPECT_EQ("the virtual key file " + path_ +
                  " is in use: another virtual-key server holds its lock " + path_ + ".lock",
              error);

    // Saves replace the key file; the lock is on a file of its own.
    ASSERT_TRUE(vkey::SaveKeyFile(path_, vkey::FactoryInitialContents({1, 2, 3, 4}), error));
    EXPECT_TRUE(Refused(error));

    vkey::KeyFileLock moved = std::move(first);
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(Refused(error)) << "moving the lock keeps it";

    moved.Release();
    vkey::KeyFileLock second;
    EXPECT_TRUE(second.Take(path_, error)) << error;
}

TEST_F(KeyFileLockTest, ALockHeldByAnotherProcessRefusesOursUntilItEnds) {
    int toChild[2], fromChild[2];
    ASSERT_EQ(0, pipe(toChild));
    ASSERT_EQ(0, pipe(fromChild));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // takes the lock, says so, and holds it until told
        std::string error;
        vkey::KeyFileLock lock;
        const char taken = lock.Take(path_, error) ? 'y' : 'n';
        char go;
        if (write(fromChild[1], &taken, 1) == 1) (void)!read(toChild[0], &go, 1);
        _exit(0);
    }
    char taken = 0;
    ASSERT_EQ(1, read(fromChild[0], &taken, 1));
    ASSERT_EQ('y', taken);
    std::string error;
    EXPECT_TRUE(Refused(error));
    EXPECT_NE(std::string::npos, error.find(path_ + " is in use")) << error;

    ASSERT_EQ(1, write(toChild[1], "x", 1));
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
    vkey::KeyFileLock ours;
    EXPECT_TRUE(ours.Take(path_, error)) << "the lock ends with its process: " << error;
}

TEST_F(KeyFileLockTest, TheLockFileIsItsOwnersOnlyAndALockThatCannotBeMadeSaysWhy) {
    const mode_t umaskBefore = umask(0);
    std::string error;
    vkey::KeyFileLock lock;
    const bool taken = lock.Take(path_, error);
    umask(umaskBefore);
    ASSERT_TRUE(taken) << error;
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write,
              fs::status(path_ + ".lock").permissions() & fs::perms::all);

    vkey::KeyFileLock elsewhere;
    const std::string missing = (dir_ / "no-such-folder" / "key").string();
    EXPECT_FALSE(elsewhere.Take(missing, error));
    EXPECT_NE(std::string::npos, error.find("cannot lock the virtual key file " + missing))
        << error;
    EXPECT_NE(std::string::npos, error.find("No such file or directory")) << error;
}

}  // namespace
