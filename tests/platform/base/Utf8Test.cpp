// UTF-8 helpers: encoding round trips, lenient decoding, boundaries and cuts.
#include "platform/base/Utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, EncodesAndDecodesEveryLength)
{
    struct Case {
        uint32_t codePoint;
        const char* bytes;
    } cases[] = {{0x41, "A"}, {0xE9, "\xC3\xA9"}, {0x5904, "处"}, {0x1F600, "\xF0\x9F\x98\x80"}};
    for (const Case& c : cases) {
        std::string text;
        AppendUtf8(text, c.codePoint);
        EXPECT_EQ(text, c.bytes) << c.codePoint;
        size_t offset = 0;
        EXPECT_EQ(NextCodePoint(text, offset), c.codePoint);
        EXPECT_EQ(offset, text.size());
    }
}

TEST(Utf8, MalformedBytesDecodeAsThemselvesWithinTheText)
{
    std::string stray = "\x80z";
    size_t offset = 0;
    EXPECT_EQ(NextCodePoint(stray, offset), 0x80u);
    EXPECT_EQ(offset, 1u);
    std::string cut = "\xE5\xA4";  // a three-byte lead with one continuation byte
    offset = 0;
    NextCodePoint(cut, offset);
    EXPECT_EQ(offset, cut.size());
}

TEST(Utf8, BoundariesAndCutsStayOutsideSequences)
{
    std::string text = "a处b";  // 'a', three bytes, 'b'
    EXPECT_EQ(NextCharacterBoundary(text, 0), 1u);
    EXPECT_EQ(NextCharacterBoundary(text, 1), 4u);
    EXPECT_EQ(NextCharacterBoundary(text, 5), 5u);
    EXPECT_EQ(PreviousCharacterBoundary(text, 4), 1u);
    EXPECT_EQ(PreviousCharacterBoundary(text, 1), 0u);
    EXPECT_EQ(PreviousCharacterBoundary(text, 0), 0u);
    EXPECT_EQ(CutAtCharacter(text, 3), 1u);
    EXPECT_EQ(CutAtCharacter(text, 4), 4u);
    EXPECT_EQ(CutAtCharacter(text, 9), 5u);
}
