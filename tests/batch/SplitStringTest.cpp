// Splitting a list at ';' into a fixed array.
#include "batch/SplitString.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

TEST(SplitString, PiecesEndAtEachSeparatorAndTheTailIsDropped)
{
    struct Case {
        const char* text;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a;;b;", {"a", "", "b"}},
        {"/p/1.jpg;/q/2.png;", {"/p/1.jpg", "/q/2.png"}},
        {"/p/1.jpg;/q/2.png", {"/p/1.jpg"}},
        {"no separator", {}},
        {"", {}},
        {";", {""}},
        {"照片/一.jpg;照片/二.jpg;", {"照片/一.jpg", "照片/二.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::array<std::string, 100> array;
        int count = -1;
        int total = SplitString(c.text, array, count, ';');
        ASSERT_EQ(count, static_cast<int>(c.pieces.size()));
        EXPECT_EQ(total, count);
        for (size_t i = 0; i < c.pieces.size(); ++i)
            EXPECT_EQ(array[i], c.pieces[i]);
    }
}

TEST(SplitString, NeverWritesPastTheArrayAndReportsTheTotal)
{
    std::vector<std::string> storage(4, "untouched");
    int count = 0;
    int total = SplitString("a;b;c;d;e;", std::span<std::string>(storage.data(), 3), count, ';');
    EXPECT_EQ(count, 3);
    EXPECT_EQ(total, 5);
    EXPECT_EQ(storage[0], "a");
    EXPECT_EQ(storage[2], "c");
    EXPECT_EQ(storage[3], "untouched");
}
