// ASCII case folding: only A-Z and a-z change; other bytes, UTF-8 included, are compared as they are.
#include "platform/base/AsciiCase.h"

#include <gtest/gtest.h>

TEST(AsciiCase, FoldsOnlyLetters)
{
    EXPECT_EQ(AsciiUpper('a'), 'A');
    EXPECT_EQ(AsciiUpper('_'), '_');
    EXPECT_EQ(AsciiLower('Z'), 'z');
    EXPECT_EQ(AsciiLower('@'), '@');
    EXPECT_EQ(AsciiLowered("Photo.JPG 处理"), "photo.jpg 处理");
}

TEST(AsciiCase, EqualityIgnoresOnlyTheCaseOfLetters)
{
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Button", "BUTTON"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase("处理a", "处理A"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("Button", "Buttons"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));                // 0x5B and 0x7B differ by the case bit
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\xA9", "\xC3\x89"));  // é and É stay different
}
