// Initialisation files ("[section]" headers and "key=value" lines) with the private-profile
// semantics: case-insensitive names, defaults for what is missing, in-place replacement.
#pragma once

#include <string>
#include <string_view>

// One initialisation file held in memory as its text (no per-line structures, so a file of
// millions of blank lines costs about its own size). Reads answer the first matching section
// and key; writes change the first match in place, or append what is missing, and keep every
// other line and its order. A leading UTF-8 byte-order mark is skipped on reading and kept on
// writing. Save replaces the file atomically.
class ProfileFile {
public:
    // Reads the file; a missing or unreadable file, or one that is not a regular file (a
    // folder, a pipe, a device: never waited on), gives an empty profile.
    void Load(const std::string& path);
    void Parse(std::string_view text);

    // Finds the value (blanks around it removed, then one pair of enclosing quotes, '…' or
    // "…"); false when the section or key is missing.
    bool Get(std::string_view section, std::string_view key, std::string& value) const;
    // The value as a read into a buffer of `bufferSize` bytes answers it: the default (blanks
    // around it removed) when missing, then cut to at most bufferSize - 1 bytes at a character
    // boundary.
    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          size_t bufferSize) const;
    // Writes the value as it is; a line break ends it (the rest would become lines of its own).
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;
    // Writes the whole text to a sibling file and renames it over `path`, so the file is
    // always either the old or the new text. A `path` that is a symbolic link is written
    // through: the file it leads to is replaced and the link stays. Answers false when any
    // step fails.
    bool Save(const std::string& path) const;

private:
    struct LineRef {
        size_t begin = 0;  // first byte of the line
        size_t end = 0;    // one past its last byte, line ending excluded
        size_t next = 0;   // first byte of the following line
        bool hasEnding = false;
    };
    LineRef LineAt(size_t start) const;
    // The header line of the first section named `section`; false when there is none.
    bool FindSection(std::string_view section, LineRef& header) const;
    // Where the section whose header ends before `from` stops: the start of the next header.
    size_t SectionEnd(size_t from) const;
    bool FindKey(const LineRef& header, std::string_view key, LineRef& line) const;

    std::string m_Text;  // without the byte-order mark
    bool m_ByteOrderMark = false;
    std::string m_Ending = "\n";
};

// Reads one value into a buffer of `size` bytes (the value keeps at most size - 1 bytes, cut at
// a character boundary). Answers the number of bytes copied, as the Win32 call does.
unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                                  unsigned size, const char* path);
// Writes one value, creating file, section and key when missing. Answers false on failure.
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* path);
