// Typed texts into code page 949 and key fields out of it, through the
// platform's converter (glibc's iconv here): a text that does not fit or has
// no code page 949 form is refused whole, never cut; any bytes of a field
// show as valid UTF-8.
#include <gtest/gtest.h>

#include <cstring>
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

}  // namespace
