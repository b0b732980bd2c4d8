// The executable's folder and path resolution against it.
#include "batch/PathHelper.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(PathHelper, ExeFolderIsTheRunningBinarysFolderWithATrailingSlash)
{
    std::string folder = CPathHelper().GetExeFolder();
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(folder, exe.parent_path().string() + "/");
}

TEST(PathHelper, OnlyPathsStartingWithSlashAreAbsolute)
{
    CPathHelper helper;
    std::string exeFolder = helper.GetExeFolder();
    struct Case {
        const char* path;
        std::string expected;
    };
    const Case cases[] = {
        {"/srv/pics", "/srv/pics"},
        {"output", exeFolder + "output"},
        {"config.ini", exeFolder + "config.ini"},
        {"C:\\pics", exeFolder + "C:\\pics"},  // a drive letter means nothing here
        {"", exeFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(helper.ResolvePath(c.path), c.expected);
    }
}
