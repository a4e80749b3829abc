// Typed texts into code page 949 and key fields out of it, through the
// platform's converter (glibc's iconv here): a text that does not fit or has
// no code page 949 form is refused whole, never cut; any bytes of a field
// show as valid UTF-8; text is typed in the locale's character set, and the
// converter keeps no copy of it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "output.h"
#include "platform.h"

namespace {

struct EncodeCase {
    const char* name;
    std::string typed;  // UTF-8
    TypedText outcome;
    std::string bytes;  // code page 949, when taken
};

class EncodeTypedTextTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTypedTextTest, TakesWholeTextsOrNone) {
    const EncodeCase& c = GetParam();
    TextField text;
    text.fill('X');  // whatever a field held before
    EXPECT_EQ(c.outcome, EncodeTypedText(c.typed, text));
    TextField expected{};
    std::memcpy(expected.data(), c.bytes.data(), c.bytes.size());
    EXPECT_EQ(expected, text) << "the bytes, and zeros after them (all zeros unless taken)";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeTypedTextTest,
    ::testing::Values(
        EncodeCase{"Empty", "", TypedText::Taken, ""},
        EncodeCase{"Ascii", "demo-pass1", TypedText::Taken, "demo-pass1"},
        EncodeCase{"ElevenBytes", "abcdefghijk", TypedText::Taken, "abcdefghijk"},
        EncodeCase{"TwelveBytes", "abcdefghijkl", TypedText::TooLong, ""},
        EncodeCase{"FiveHangulTakeTen", "가나다라마", TypedText::Taken,
                   "\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6"},
        EncodeCase{"SixHangulTakeTwelve", "가나다라마바", TypedText::TooLong, ""},
        EncodeCase{"HangulWouldSplitAtTheLimit", "a가나다라마바", TypedText::TooLong, ""},
        EncodeCase{"OneAndFiveHangulTakeEleven", "a가나다라마", TypedText::Taken,
                   "a\xB0\xA1\xB3\xAA\xB4\xD9\xB6\xF3\xB8\xB6"},
        EncodeCase{"UnifiedHangulBeyondKsX1001", "똠", TypedText::Taken, "\x8C\x63"},
        EncodeCase{"LatinWithoutCp949Form", "caf\xC3\xA9", TypedText::NotCp949, ""},
        EncodeCase{"EmojiWithoutCp949Form", "\xF0\x9F\x94\x91", TypedText::NotCp949, ""},
        EncodeCase{"NotUtf8", "ab\xFF", TypedText::NotCp949, ""},
        EncodeCase{"CutUtf8Sequence", "ab\xED\x95", TypedText::NotCp949, ""},
        EncodeCase{"ZeroByteWouldEndTheField", std::string("ab\0cd", 5), TypedText::NotCp949, ""}),
    [](const auto& info) { return info.param.name; });

struct DisplayCase {
    const char* name;
    std::string field;  // code page 949 bytes on the key, at most 12
    ControlCharacters controls;
    std::string shown;  // UTF-8
};

class DisplayFieldTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayFieldTest, ShowsEveryByteAsUtf8) {
    const DisplayCase& c = GetParam();
    TextField field{};
    std::memcpy(field.data(), c.field.data(), c.field.size());
    DisplayText text;
    text.fill('X');
    DisplayField(field, c.controls, text);
    EXPECT_EQ(c.shown, std::string(text.data()));
    EXPECT_EQ(0, text[c.shown.size()]);
}

const std::string kReplacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayFieldTest,
    ::testing::Values(
        DisplayCase{"Ascii", "demo-user", ControlCharacters::Replace, "demo-user"},
        DisplayCase{"Hangul", "\xC7\xD1\xB1\xDB", ControlCharacters::Replace, "한글"},
        DisplayCase{"TwelveBytesWithoutZero", "abcdefghijkl", ControlCharacters::Replace,
                    "abcdefghijkl"},
        DisplayCase{"LeadByteWithoutTrailAtTheEnd", "ab\xB0", ControlCharacters::Replace,
                    "ab" + kReplacement},
        DisplayCase{"ByteNoCharacterStartsWith",
                    "a\xFF"
                    "b",
                    ControlCharacters::Replace, "a" + kReplacement + "b"},
        DisplayCase{"UnifiedHangulWithAnAsciiTrail",
                    "\xB0"
                    "A",
                    ControlCharacters::Keep, "캚"},
        DisplayCase{"LeadByteBeforeASpace", "\xB0 x", ControlCharacters::Keep, kReplacement + " x"},
        DisplayCase{"TwelveBytesOfFF", std::string(12, '\xFF'), ControlCharacters::Keep,
                    [] {
                        std::string all;
                        for (int i = 0; i < 12; ++i) all += kReplacement;
                        return all;
                    }()},
        DisplayCase{"FactoryMarkForATerminal", "\r", ControlCharacters::Replace, kReplacement},
        DisplayCase{"FactoryMarkForJson", "\r", ControlCharacters::Keep, "\r"},
        DisplayCase{"EscapeForATerminal", "a\x1B[2Jb", ControlCharacters::Replace,
                    "a" + kReplacement + "[2Jb"}),
    [](const auto& info) { return info.param.name; });

// A locale's language, and the character set text is typed in.
struct LocaleCase {
    const char* locale;  // LC_ALL
    Language language;
    std::string typed;  // 한글, in the locale's character set
};

class LocaleTest : public ::testing::TestWithParam<LocaleCase> {
protected:
    void SetUp() override {
        if (const char* all = std::getenv("LC_ALL")) saved_ = all;
        setenv("LC_ALL", GetParam().locale, 1);
    }
    void TearDown() override { saved_ ? setenv("LC_ALL", saved_->c_str(), 1) : unsetenv("LC_ALL"); }

private:
    std::optional<std::string> saved_;
};

TEST_P(LocaleTest, LanguageAndTypedText) {
    EXPECT_EQ(GetParam().language, UserLanguage());
    TextField text;
    EXPECT_EQ(TypedText::Taken, EncodeTypedText(GetParam().typed, text));
    EXPECT_EQ("\xC7\xD1\xB1\xDB", std::string(text.data()));
}

INSTANTIATE_TEST_SUITE_P(Locales, LocaleTest,
                         ::testing::Values(LocaleCase{"ko_KR.UTF-8", Language::Korean, "한글"},
                                           LocaleCase{"kok_IN.UTF-8", Language::English, "한글"},
                                           LocaleCase{"ko_KR.EUC-KR", Language::English,
                                                      "\xC7\xD1\xB1\xDB"}),
                         [](const auto& info) {
                             std::string name = info.param.locale;
                             std::erase_if(name, [](char c) { return !std::isalnum(c); });
                             return name;
                         });

// Whether the heap holds `bytes`, in memory in use or freed. It allocates
// nothing, so that no freed block is taken and written over first.
bool HeapHolds(const void* bytes, std::size_t size) {
    std::array<char, 65536> maps{};
    const int file = open("/proc/self/maps", O_RDONLY);
    std::size_t length = 0;
    for (ssize_t got = 1; file >= 0 && got > 0 && length + 1 < maps.size(); length += got)
        got = std::max<ssize_t>(read(file, &maps[length], maps.size() - 1 - length), 0);
    if (file >= 0) close(file);
    const char* heap = std::strstr(maps.data(), "[heap]");
    if (!heap) return false;
    while (heap > maps.data() && heap[-1] != '\n') --heap;
    std::uintptr_t begin = 0, end = 0;
    if (std::sscanf(heap, "%" SCNxPTR "-%" SCNxPTR, &begin, &end) != 2) return false;
    return memmem(reinterpret_cast<const void*>(begin), end - begin, bytes, size) != nullptr;
}

// glibc converts through UCS-4 in a buffer of the converter's: no copy of a
// typed password, nor of a character of a field shown, is left there (nor
// where it was, once freed: the password's end, which the heap's own
// bookkeeping at the start of a freed block does not cover).
TEST(ConverterTest, LeavesNoCopyOfWhatItConverted) {
    static constexpr char kTyped[] = "Qz7#k9vW";  // not in the heap: only its conversions
    std::array<char32_t, 4> typedEndUcs4;
    std::copy(kTyped + 4, kTyped + 8, typedEndUcs4.begin());
    TextField text;
    ASSERT_EQ(TypedText::Taken, EncodeTypedText(std::string_view(kTyped, 8), text));
    EXPECT_FALSE(HeapHolds(typedEndUcs4.data(), sizeof typedEndUcs4));

    const TextField field{'\x94', '\xEE'};  // 뷁, U+BDC1
    DisplayText shown;
    DisplayField(field, ControlCharacters::Keep, shown);
    ASSERT_EQ("뷁", std::string(shown.data()));
    const char32_t shownUcs4 = U'뷁';
    EXPECT_FALSE(HeapHolds(&shownUcs4, sizeof shownUcs4));
}

}  // namespace
