// Initialisation files ("[section]" headers and "key=value" lines) with the private-profile
// semantics: case-insensitive names, defaults for what is missing, in-place replacement.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One initialisation file held in memory as its lines. Reads answer the first matching
// section and key; writes change the first match in place, or append what is missing, and
// keep every other line and its order. Save replaces the file atomically.
class ProfileFile {
public:
    // Reads the file; a missing or unreadable file gives an empty profile.
    void Load(const std::string& path);
    void Parse(std::string_view text);

    // Finds the value (blanks around it removed); false when the section or key is missing.
    bool Get(std::string_view section, std::string_view key, std::string& value) const;
    // The value as a read into a buffer of `bufferSize` bytes answers it: the default (blanks
    // around it removed) when missing, then cut to at most bufferSize - 1 bytes at a character
    // boundary.
    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          size_t bufferSize) const;
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;
    // Writes the whole text to a sibling file and renames it over `path`, so the file is
    // always either the old or the new text. Answers false when any step fails.
    bool Save(const std::string& path) const;

private:
    struct Line {
        std::string text;  // without its line ending
        bool hasEnding = true;
    };
    // Index of the first section header named `section`, or -1.
    int FindSection(std::string_view section) const;
    // Index of the key's line inside the section starting after `header`, or -1.
    int FindKey(int header, std::string_view key) const;
    // Index one past the last line that belongs to the section starting after `header`.
    int SectionEnd(int header) const;

    std::vector<Line> m_Lines;
    std::string m_Ending = "\n";
};

// Reads one value into a buffer of `size` bytes (the value keeps at most size - 1 bytes, cut at
// a character boundary). Answers the number of bytes copied, as the Win32 call does.
unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                                  unsigned size, const char* path);
// Writes one value, creating file, section and key when missing. Answers false on failure.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path);
