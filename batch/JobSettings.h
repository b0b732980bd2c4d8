// The job record (sources, watermark, output folder, corner and margins) and config.ini.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class JobSettings {
public:
    virtual ~JobSettings() = default;

    // Fill every field from config.ini beside the executable; missing keys give the defaults.
    void LoadFromIni();
    // Write every field to config.ini beside the executable; the file is replaced in one step.
    void SaveToIni();

    // The same on an explicit file (tests and the command-line runner's --config).
    void LoadFromIni(const std::string& iniPath);
    bool SaveToIni(const std::string& iniPath) const;

    int32_t SrcFileType = 0;  // 0: every file of SrcFolderSite; otherwise the list SrcFileSite
    std::string SrcFolderSite;
    std::string SrcFileSite;  // paths, each followed by ';'
    std::string WaterMarkFileSite;
    std::string OutputFolderSite;
    int32_t PosType = 0;  // 0 top-left, 1 top-right, 2 bottom-left, 3 (and others) bottom-right
    int32_t PosX = 0;
    int32_t PosY = 0;
};

// The section all keys live in, and the longest value read (values are read whole; a longer
// one is refused and the key's default applies).
constexpr char kIniSection[] = "common";
constexpr size_t kIniValueLimit = size_t{1} << 20;

// Decimal conversion as the C library's atoi: leading blanks, an optional sign, digits up to
// the first other character; no digits give 0. Values beyond 32 bits saturate.
int32_t IniToInt(const char* text);
