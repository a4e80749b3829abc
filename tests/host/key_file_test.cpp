// The virtual key's memory file: what it keeps, what it refuses, and that a
// save never leaves a half-written file behind.
#include <gtest/gtest.h>

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

TEST_F(KeyFileTest, AFailedSaveLeavesTheOldFile) {
    std::string error;
    const std::string path = PathOf("key");
    ASSERT_TRUE(vkey::SaveKeyFile(path, Sample(), error)) << error;
    const std::string before = Read(path);

    // The place beside the file cannot be written: the save fails whole.
    fs::create_directory(path + ".new");
    fs::create_directory(path + ".new/blocker");
    vkey::KeyContents changed = Sample();
    changed.cells[40] = '9';
    EXPECT_FALSE(vkey::SaveKeyFile(path, changed, error));
    EXPECT_NE(std::string::npos, error.find(path));
    EXPECT_EQ(before, Read(path));

    EXPECT_FALSE(vkey::SaveKeyFile(PathOf("no-such-dir/key"), Sample(), error));
    EXPECT_NE(std::string::npos, error.find("no-such-dir/key"));
}

}  // namespace
