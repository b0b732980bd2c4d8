// Access to the shared corpus of real test pictures (../shared/testdata) and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The corpus folder, or an empty path when it is not beside the repository.
// TESSMARK_TESTDATA overrides the location.
std::filesystem::path TestDataDir();

// Skips the current test when the corpus is absent.
#define REQUIRE_TESTDATA()                                                                                             \
    do {                                                                                                               \
        if (TestDataDir().empty())                                                                                     \
            GTEST_SKIP() << "../shared/testdata not found; corpus tests skipped";                                      \
    } while (0)

struct ManifestRow {
    std::string path;    // relative to TestDataDir()
    std::string format;  // bmp, png, jpeg, ..., cur, emf
    std::string valid;   // yes, no, questionable
    int width = 0;       // 0 when unknown
    int height = 0;
    std::string notes;
    bool IsReference() const { return notes.rfind("[ref]", 0) == 0; }
};

// Rows of MANIFEST.tsv whose path starts with the given folder prefix ("bmp/", "png/", ...).
std::vector<ManifestRow> ManifestRows(const std::string& folderPrefix);

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A fresh temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_Path; }
    std::filesystem::path operator/(const std::string& name) const { return m_Path / name; }

private:
    std::filesystem::path m_Path;
};
