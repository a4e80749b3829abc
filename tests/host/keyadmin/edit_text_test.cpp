// Typed text cut to 11 bytes of whole code page 949 characters.
#include <cstring>

#include "admin_fixture.h"
#include "edit_text.h"
#include "expected_texts.h"

namespace {

using EditTextTest = AdminTest;
using namespace expected;

// What is kept of `bytes`; the rest of the buffer must be zero.
std::string Kept(const std::string& bytes) {
    TextField text{};
    text.fill('X');
    std::copy_n(bytes.begin(), std::min(bytes.size(), text.size()), text.begin());
    if (bytes.size() < text.size()) text[bytes.size()] = 0;
    KeepWholeCharacters(text);
    const std::size_t length = std::strlen(text.data());
    EXPECT_EQ(std::string(16 - length, '\0'), std::string(text.begin() + length, text.end()));
    return text.data();
}

TEST(WholeCharacters, ALeadByteWithoutItsTrailIsDropped) {
    const std::string ga = "\xB0\xA1", ma = "\xB8\xB6", ttom = "\x8C\x63";
    EXPECT_EQ(kGaNaDaRaMa, Kept(kGaNaDaRaMa));  // 10 bytes, whole
    // An edit cut byte-wise at 11 bytes leaves the lead byte of the sixth.
    EXPECT_EQ(kGaNaDaRaMa, Kept(std::string(kGaNaDaRaMaBa, 11)));
    // 11 bytes ending in a trail byte that looks like a lead byte.
    EXPECT_EQ(kAGaNaDaRaMa, Kept(kAGaNaDaRaMa));
    // Trail bytes may look like ASCII: the byte after 8C is 'c'.
    EXPECT_EQ(kTtomTimes5, Kept(std::string(kTtomTimes6, 11)));
    EXPECT_EQ("x" + std::string(kTtomTimes5), Kept("x" + std::string(kTtomTimes5)));
    EXPECT_EQ(ttom + "abcdefghi", Kept(ttom + "abcdefghi"));
    EXPECT_EQ("abcdefghij", Kept("abcdefghij" + ga));  // the character would end at byte 12
    EXPECT_EQ("abcdefghi" + ga, Kept("abcdefghi" + ga + "x"));  // ends at byte 11
    EXPECT_EQ("abcdefgh" + ma + "x", Kept("abcdefgh" + ma + "xy"));
    EXPECT_EQ("abcdefghijk", Kept("abcdefghijkl"));
    EXPECT_EQ("", Kept("\xB0"));
    EXPECT_EQ("ab", Kept("ab\xB0"));  // a lead byte before the terminator
    EXPECT_EQ("", Kept(""));
}

TEST_F(EditTextTest, HangulCutAtTheLimitInEveryEdit) {
    // The 12-byte texts come out of the edit as 11 bytes ending in a lead byte.
    vkey::VirtualKey& key = Provisioned(kGaNaDaRaMa, "login");
    fakewin::ViewForm(kGaNaDaRaMaBa);
    ShowLoginPassword(kOwner);
    EXPECT_EQ(Shown("login"), OnlyBox().text);

    fakewin::KeyChangeForm(kGaNaDaRaMaBa, kTtomTimes6, kTtomTimes6);
    ChangePassword(kOwner);
    EXPECT_EQ(Padded(kTtomTimes5), Field(key, 40));
    EXPECT_EQ(kKeyChanged, OnlyBox().text);

    fakewin::LoginChangeForm(kTtomTimes6, kAGaNaDaRaMaBa);
    ChangePassword(kOwner);
    EXPECT_EQ(Padded(kAGaNaDaRaMa), Field(key, 28));
    EXPECT_EQ(kLoginChanged, OnlyBox().text);
}

TEST(ExpectedTexts, AreCodePage949Bytes) {
    // Both the program's texts and these are code page 949; one of them
    // spelt out ("인증키 암호 변경").
    EXPECT_EQ(std::string("\xC0\xCE\xC1\xF5\xC5\xB0\x20\xBE\xCF\xC8\xA3\x20\xBA\xAF\xB0\xE6"),
              kKeyCaption);
    EXPECT_EQ(std::string("\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6"), kGaNaDaRaMa);
    EXPECT_EQ(std::string("\x8C\x63\x8C\x63\x8C\x63\x8C\x63\x8C\x63\x8C\x63"), kTtomTimes6);
}

}  // namespace
