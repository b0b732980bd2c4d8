// Access to the shared corpus of real test pictures and small file helpers.
#include "tests/TestData.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

fs::path TestDataDir()
{
    if (const char* env = std::getenv("TESSMARK_TESTDATA"); env && *env)
        return fs::is_directory(env) ? fs::path(env) : fs::path();
    fs::path candidate = fs::path(TESSMARK_SOURCE_DIR).parent_path() / "shared" / "testdata";
    return fs::is_regular_file(candidate / "MANIFEST.tsv") ? candidate : fs::path();
}

std::vector<ManifestRow> ManifestRows(const std::string& folderPrefix)
{
    std::vector<ManifestRow> rows;
    fs::path dir = TestDataDir();
    if (dir.empty())
        return rows;
    std::ifstream in(dir / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream ss(line);
        std::string field;
        while (std::getline(ss, field, '\t'))
            fields.push_back(field);
        fields.resize(6);
        if (fields[0].rfind(folderPrefix, 0) != 0)
            continue;
        ManifestRow row;
        row.path = fields[0];
        row.format = fields[1];
        row.valid = fields[2];
        row.width = fields[3].empty() ? 0 : std::atoi(fields[3].c_str());
        row.height = fields[4].empty() ? 0 : std::atoi(fields[4].c_str());
        row.notes = fields[5];
        rows.push_back(row);
    }
    return rows;
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tessmark-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_Path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(m_Path, ignored);
}
