// The virtual key's memory file: what it keeps, what it refuses, that a
// save never leaves a half-written file behind, says why it failed, and
// makes the file its owner's only.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "key_file.h"

namespace {

namespace fs = std::filesystem;
using vkey::KeyFileError;

vkey::KeyContents Sample() {
    vkey::KeyContents contents =
        vkey::ProvisionedContents({0x0A, 0x00, 0xFF, 0x81}, "1234", "keyadmin", "pass'word");
    contents.cells[0] = 0xFE;
    contents.cells[58] = 0x7F;
    return contents;
}

class KeyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("keyfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(PathOf(name), std::ios::binary) << text;
        return PathOf(name);
    }
    std::string Read(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(KeyFileTest, SavedMemoryLoadsBackWhole) {
    std::string error;
    const std::string path = PathOf("key");
    ASSERT_TRUE(vkey::SaveKeyFile(path, Sample(), error)) << error;
    vkey::KeyContents loaded;
    ASSERT_TRUE(vkey::LoadKeyFile(path, loaded, error)) << error;
    EXPECT_EQ(Sample().cells, loaded.cells);
    EXPECT_EQ(Sample().serial, loaded.serial);
    EXPECT_EQ(std::vector<fs::path>{path},
              (std::vector<fs::path>{fs::directory_iterator(dir_), fs::directory_iterator()}))
        << "nothing is left beside the file";
}

TEST_F(KeyFileTest, EveryCutShortFileIsRefusedAndNamed) {
    const std::string whole = vkey::FormatKeyFile(Sample());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        vkey::KeyContents contents = vkey::FactoryInitialContents({1, 2, 3, 4});
        const KeyFileError error = vkey::ParseKeyFile(whole.substr(0, length), contents);
        EXPECT_TRUE(error == KeyFileError::Truncated || error == KeyFileError::Empty)
            << "cut at " << length << " gave " << static_cast<int>(error);
        EXPECT_EQ(vkey::FactoryInitialContents({1, 2, 3, 4}).cells, contents.cells)
            << "a refused file changes nothing";
    }
    std::string message;
    vkey::KeyContents contents;
    const std::string path = Write("cut", whole.substr(0, whole.size() / 2));
    EXPECT_FALSE(vkey::LoadKeyFile(path, contents, message));
    EXPECT_NE(std::string::npos, message.find(path));
    EXPECT_NE(std::string::npos, message.find("truncated"));
}

TEST_F(KeyFileTest, AnyChangedCharacterIsCaught) {
    const std::string whole = vkey::FormatKeyFile(Sample());
    const std::size_t body = whole.find('\n') + 1;  // changes to the header make it foreign
    for (std::size_t i = body; i < whole.size(); ++i) {
        for (const char replacement : {'0', 'f', 'x', '\n', ' '}) {
            if (whole[i] == replacement) continue;
            std::string changed = whole;
            changed[i] = replacement;
            vkey::KeyContents contents;
            EXPECT_NE(KeyFileError::None, vkey::ParseKeyFile(changed, contents))
                << "character " << i << " replaced by " << int(replacement);
        }
    }
    vkey::KeyContents contents;
    EXPECT_EQ(KeyFileError::Damaged, vkey::ParseKeyFile(whole + "cells 00\n", contents));
}

TEST_F(KeyFileTest, ForeignFilesAreRefusedAsSuch) {
    const std::string whole = vkey::FormatKeyFile(Sample());
    std::string otherFormat = whole;
    otherFormat[whole.find('\n') - 1] = '2';
    const struct {
        const char* name;
        std::string text;
        KeyFileError expected;
    } cases[] = {
        {"png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), KeyFileError::Foreign},
        {"notes", "my passwords\nkey 1234\n", KeyFileError::Foreign},
        {"other format", otherFormat, KeyFileError::Foreign},
        {"empty", "", KeyFileError::Empty},
    };
    for (const auto& c : cases) {
        vkey::KeyContents contents;
        EXPECT_EQ(c.expected, vkey::ParseKeyFile(c.text, contents)) << c.name;
        std::string message;
        const std::string path = Write(c.name, c.text);
        EXPECT_FALSE(vkey::LoadKeyFile(path, contents, message)) << c.name;
        EXPECT_NE(std::string::npos, message.find(path)) << c.name;
        EXPECT_EQ(c.text, Read(path)) << "a refused file is left as it was";
    }
    std::string message;
    vkey::KeyContents contents;
    EXPECT_FALSE(vkey::LoadKeyFile(PathOf("missing"), contents, message));
    EXPECT_NE(std::string::npos, message.find("cannot be read"));
}

// A save that fails says which file and why, leaves the old file as it was
// and nothing beside it. (A folder made read-only would not do: root writes
// there anyway.)
TEST_F(KeyFileTest, AFailedSaveSaysWhyAndLeavesTheOldFile) {
    const struct {
        const char* name;
        const char* path;  // below the test's folder
        void (*fault)(const fs::path& dir);
        const char* reason;
    } cases[] = {
        {"the place beside the file is taken", "key",
         [](const fs::path& dir) { fs::create_directories(dir / "key.new" / "blocker"); },
         "cannot create"},
        {"the folder is gone", "gone/key",
         [](const fs::path& dir) { fs::remove_all(dir / "gone"); }, "No such file or directory"},
        {"the folder is a file", "plain/key",
         [](const fs::path& dir) {
             fs::remove_all(dir / "plain");
             std::ofstream(dir / "plain") << "not a folder";
         },
         "Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(c.path);
        fs::create_directories(fs::path(path).parent_path());
        std::string error;
        ASSERT_TRUE(vkey::SaveKeyFile(path, Sample(), error)) << error;
        const std::string before = Read(path);
        c.fault(dir_);

        vkey::KeyContents changed = Sample();
        changed.cells[40] = '9';
        EXPECT_FALSE(vkey::SaveKeyFile(path, changed, error));
        EXPECT_NE(std::string::npos, error.find("cannot write the virtual key file " + path))
            << error;
        EXPECT_NE(std::string::npos, error.find(c.reason)) << error;
        if (fs::is_regular_file(path)) {
            EXPECT_EQ(before, Read(path));
        }
        EXPECT_FALSE(fs::is_regular_file(path + ".new")) << "nothing left beside it";
    }
}

// The file holds passwords: it is made readable and writable by its owner
// only, whatever the umask, and so is every later save, even when a crash
// left a file beside it with another mode.
TEST_F(KeyFileTest, TheFileIsItsOwnersOnly) {
    const mode_t umaskBefore = umask(0);
    std::string error;
    const std::string path = PathOf("key");
    const bool saved = vkey::SaveKeyFile(path, Sample(), error);
    std::ofstream(path + ".new") << "left by a crash";
    fs::permissions(path + ".new", fs::perms::all);
    const bool savedAgain = vkey::SaveKeyFile(path, Sample(), error);
    umask(umaskBefore);
    ASSERT_TRUE(saved && savedAgain) << error;
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write,
              fs::status(path).permissions() & fs::perms::all);
}

// A full disk: a tiny tmpfs, filled up. Needs the right to mount (root).
class FullDiskTest : public KeyFileTest {
protected:
    void SetUp() override {
        KeyFileTest::SetUp();
        full_ = dir_ / "full";
        fs::create_directory(full_);
        if (mount("keyfile-test", full_.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) umount2(full_.c_str(), MNT_DETACH);
        KeyFileTest::TearDown();
    }
    fs::path full_;
    bool mounted_ = false;
};

TEST_F(FullDiskTest, ASaveOnAFullDiskFailsAndLeavesTheOldFile) {
    std::string error;
    const std::string path = (full_ / "key").string();
    ASSERT_TRUE(vkey::SaveKeyFile(path, Sample(), error)) << error;
    const std::string before = Read(path);
    {
        std::ofstream filler(full_ / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        for (int i = 0; i < 64 && filler.write(block.data(), block.size()).flush(); ++i) {
        }
    }
    vkey::KeyContents changed = Sample();
    changed.cells[40] = '9';
    EXPECT_FALSE(vkey::SaveKeyFile(path, changed, error));
    EXPECT_NE(std::string::npos, error.find(path)) << error;
    EXPECT_NE(std::string::npos, error.find("No space left on device")) << error;
    EXPECT_EQ(before, Read(path));
    EXPECT_FALSE(fs::exists(path + ".new"));
}

}  // namespace
