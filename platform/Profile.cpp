// Initialisation-file reading and writing with case-insensitive section and key names.
#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/Utf8.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "[name]" (blanks allowed around it) gives name; anything else is not a header.
bool SectionName(std::string_view line, std::string_view& name)
{
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

// "key=value"; comment lines (starting with ';') and lines without '=' hold no key.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value)
{
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return false;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return true;
}

}  // namespace

void ProfileFile::Load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Parse({});
        return;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Parse(text);
}

void ProfileFile::Parse(std::string_view text)
{
    m_Lines.clear();
    m_Ending = "\n";
    bool endingKnown = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t newline = text.find('\n', start);
        Line line;
        if (newline == std::string_view::npos) {
            line.text = std::string(text.substr(start));
            line.hasEnding = false;
            start = text.size();
        } else {
            line.text = std::string(text.substr(start, newline - start));
            start = newline + 1;
        }
        bool crlf = !line.text.empty() && line.text.back() == '\r';
        if (crlf && line.hasEnding)
            line.text.pop_back();
        if (!endingKnown && line.hasEnding) {
            m_Ending = crlf ? "\r\n" : "\n";
            endingKnown = true;
        }
        m_Lines.push_back(std::move(line));
    }
}

int ProfileFile::FindSection(std::string_view section) const
{
    for (size_t i = 0; i < m_Lines.size(); ++i) {
        std::string_view name;
        if (SectionName(m_Lines[i].text, name) && EqualsIgnoringAsciiCase(name, Trim(section)))
            return static_cast<int>(i);
    }
    return -1;
}

int ProfileFile::SectionEnd(int header) const
{
    size_t i = static_cast<size_t>(header) + 1;
    std::string_view name;
    while (i < m_Lines.size() && !SectionName(m_Lines[i].text, name))
        ++i;
    return static_cast<int>(i);
}

int ProfileFile::FindKey(int header, std::string_view key) const
{
    int end = SectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        std::string_view lineKey, value;
        if (KeyValue(m_Lines[static_cast<size_t>(i)].text, lineKey, value) &&
            EqualsIgnoringAsciiCase(lineKey, Trim(key)))
            return i;
    }
    return -1;
}

bool ProfileFile::Get(std::string_view section, std::string_view key, std::string& value) const
{
    int header = FindSection(section);
    if (header < 0)
        return false;
    int line = FindKey(header, key);
    if (line < 0)
        return false;
    std::string_view lineKey, lineValue;
    KeyValue(m_Lines[static_cast<size_t>(line)].text, lineKey, lineValue);
    value.assign(lineValue);
    return true;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                   size_t bufferSize) const
{
    std::string value;
    if (!Get(section, key, value))
        value = std::string(Trim(defaultValue));
    if (bufferSize == 0)
        return {};
    value.resize(CutAtCharacter(value, bufferSize - 1));
    return value;
}

void ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value)
{
    // Line breaks inside a value would split it into lines of their own.
    std::string cleanValue(value.substr(0, value.find_first_of("\r\n")));
    int header = FindSection(section);
    if (header < 0) {
        if (!m_Lines.empty())
            m_Lines.back().hasEnding = true;
        m_Lines.push_back({"[" + std::string(Trim(section)) + "]", true});
        m_Lines.push_back({std::string(Trim(key)) + "=" + cleanValue, true});
        return;
    }
    int line = FindKey(header, key);
    if (line >= 0) {
        std::string& text = m_Lines[static_cast<size_t>(line)].text;
        text = text.substr(0, text.find('=') + 1) + cleanValue;
        return;
    }
    // A new key goes after the section's last non-blank line.
    int insertAt = SectionEnd(header);
    while (insertAt > header + 1 && Trim(m_Lines[static_cast<size_t>(insertAt - 1)].text).empty())
        --insertAt;
    m_Lines[static_cast<size_t>(insertAt - 1)].hasEnding = true;
    m_Lines.insert(m_Lines.begin() + insertAt, Line{std::string(Trim(key)) + "=" + cleanValue, true});
}

std::string ProfileFile::Text() const
{
    std::string text;
    for (const Line& line : m_Lines) {
        text += line.text;
        if (line.hasEnding)
            text += m_Ending;
    }
    return text;
}

bool ProfileFile::Save(const std::string& path) const
{
    std::string text = Text();
    return WriteFileAtomically(path, text.data(), text.size());
}

unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                                  unsigned size, const char* path)
{
    if (buffer == nullptr || size == 0)
        return 0;
    ProfileFile profile;
    profile.Load(path ? path : "");
    std::string value =
        profile.GetString(section ? section : "", key ? key : "", defaultValue ? defaultValue : "", size);
    std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    return static_cast<unsigned>(value.size());
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path)
{
    if (section == nullptr || key == nullptr || value == nullptr || path == nullptr)
        return false;
    ProfileFile profile;
    profile.Load(path);
    profile.Set(section, key, value);
    return profile.Save(path);
}
