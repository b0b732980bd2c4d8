// Folder listings in the fixed name order.
#include "platform/FolderListing.h"
#include "tests/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

TEST(FolderListing, OrdersByUpperCaseFoldedBytesThenByBytes)
{
    // Folding to upper case puts '_' (0x5F) after every letter, and "a" before "B".
    std::vector<std::string> names = {"b.jpg", "_x.jpg", "A.jpg", "a.jpg",    "B.JPG",
                                      "1.png", "ab",     "a",     "照片.jpg", "Z"};
    std::sort(names.begin(), names.end(), FolderNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"1.png", "a", "A.jpg", "a.jpg", "ab", "B.JPG", "b.jpg", "Z", "_x.jpg",
                                               "照片.jpg"}));
}

TEST(FolderListing, ListsEntriesWithTheirKindAndNothingForAMissingFolder)
{
    TempDir dir;
    WriteFileBytes(dir / "b.txt", {});
    WriteFileBytes(dir / ".hidden", {});
    std::filesystem::create_directory(dir / "A.png");
    std::filesystem::create_directory_symlink(dir / "A.png", dir / "link");

    std::vector<FolderEntry> entries = ListFolder(dir.Path().string());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, ".hidden");
    EXPECT_FALSE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "A.png");
    EXPECT_TRUE(entries[1].isDirectory);
    EXPECT_EQ(entries[2].name, "b.txt");
    EXPECT_EQ(entries[3].name, "link");
    EXPECT_TRUE(entries[3].isDirectory);

    EXPECT_TRUE(ListFolder((dir / "absent").string()).empty());
}
