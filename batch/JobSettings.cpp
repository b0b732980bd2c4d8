// Loading and saving the job record in the "common" section of config.ini.
#include "batch/JobSettings.h"

#include "batch/PathHelper.h"
#include "platform/Profile.h"

#include <cstdio>
#include <limits>
#include <algorithm>

namespace {

// The whole value (file lists the choosers made can be long); a value beyond kIniValueLimit is
// refused as hostile and the default applies, as for a missing key.
std::string ReadValue(const ProfileFile& profile, const char* key, const char* defaultValue)
{
    std::string value;
    if (!profile.Get(kIniSection, key, value) || value.size() > kIniValueLimit)
        return defaultValue;
    return value;
}

std::string FormatInt(int32_t value)
{
    char text[16];
    snprintf(text, sizeof text, "%d", value);
    return text;
}

}  // namespace

int32_t IniToInt(const char* text)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\v' || *text == '\f')
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (*text >= '0' && *text <= '9') {
        value = std::min<int64_t>(value * 10 + (*text - '0'), kLimit);
        ++text;
    }
    if (negative)
        return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

void JobSettings::LoadFromIni()
{
    LoadFromIni(CPathHelper().ResolvePath("config.ini"));
}

void JobSettings::SaveToIni()
{
    SaveToIni(CPathHelper().ResolvePath("config.ini"));
}

void JobSettings::LoadFromIni(const std::string& iniPath)
{
    // One read of the file serves all eight keys, so a save racing with the load cannot mix
    // old and new values.
    ProfileFile profile;
    profile.Load(iniPath);
    SrcFileType = IniToInt(ReadValue(profile, "SrcFileType", "1").c_str());
    SrcFolderSite = ReadValue(profile, "SrcFolderSite", "");
    SrcFileSite = ReadValue(profile, "SrcFileSite", "");
    WaterMarkFileSite = ReadValue(profile, "WaterMarkFileSite", "");
    OutputFolderSite = ReadValue(profile, "OutputFolderSite", "output");
    PosType = IniToInt(ReadValue(profile, "PosType", "0").c_str());
    PosX = IniToInt(ReadValue(profile, "PosX", "20").c_str());
    PosY = IniToInt(ReadValue(profile, "PosY", "20").c_str());
}

bool JobSettings::SaveToIni(const std::string& iniPath) const
{
    // All eight keys change in one replacement of the file, so a reader (or a crash) never
    // sees a mixture of old and new values.
    ProfileFile profile;
    profile.Load(iniPath);
    profile.Set(kIniSection, "SrcFileType", FormatInt(SrcFileType));
    profile.Set(kIniSection, "SrcFileSite", SrcFileSite);
    profile.Set(kIniSection, "SrcFolderSite", SrcFolderSite);
    profile.Set(kIniSection, "WaterMarkFileSite", WaterMarkFileSite);
    profile.Set(kIniSection, "OutputFolderSite", OutputFolderSite);
    profile.Set(kIniSection, "PosType", FormatInt(PosType));
    profile.Set(kIniSection, "PosX", FormatInt(PosX));
    profile.Set(kIniSection, "PosY", FormatInt(PosY));
    return profile.Save(iniPath);
}
