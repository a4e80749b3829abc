// Korean literals are compiled into code page 949 bytes, as the ANSI window
// functions show them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

TEST(TextEncoding, KeyNotFoundTextIsCodePage949) {
    // "USB 인증키를 찾지 못했습니다" in code page 949.
    const unsigned char expected[] = {'U',  'S',  'B',  ' ',  0xC0, 0xCE, 0xC1, 0xF5, 0xC5, 0xB0,
                                      0xB8, 0xA6, ' ',  0xC3, 0xA3, 0xC1, 0xF6, ' ',  0xB8, 0xF8,
                                      0xC7, 0xDF, 0xBD, 0xC0, 0xB4, 0xCF, 0xB4, 0xD9, 0};
    const char* text = "USB 인증키를 찾지 못했습니다";
    ASSERT_EQ(std::strlen(text) + 1, sizeof expected);
    EXPECT_EQ(0, std::memcmp(text, expected, sizeof expected));
}

TEST(TextEncoding, WineRunsWithTheKoreanCodePage) {
    EXPECT_EQ(949u, GetACP());
}
