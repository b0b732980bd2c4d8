// Initialisation-file reading and writing with case-insensitive section and key names.
#include "platform/Profile.h"

#include "platform/AtomicFile.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// Links followed when a save writes through a symbolic link, as the kernel's own limit.
constexpr int kMaxLinkHops = 40;

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

// One pair of enclosing quotes, both single or both double, is dropped.
std::string_view Unquote(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
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

// The file a chain of symbolic links starting at `path` leads to (which need not exist yet);
// `path` itself when it is no link.
std::string FollowLinks(std::string path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::vector<char> target(static_cast<size_t>(std::max<off_t>(info.st_size, 255)) + 2);
        ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size())
            return path;
        std::string next(target.data(), static_cast<size_t>(length));
        if (next.front() != '/') {
            size_t slash = path.rfind('/');
            next = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + next;
        }
        path = std::move(next);
    }
    return path;
}

}  // namespace

void ProfileFile::Load(const std::string& path)
{
    Parse({});
    // Opened without blocking, so a pipe at the name is answered at once instead of waited on.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    std::string text;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.reserve(static_cast<size_t>(info.st_size));
        char chunk[65536];
        for (;;) {
            ssize_t got = read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            text.append(chunk, static_cast<size_t>(got));
        }
    }
    close(fd);
    Parse(text);
}

void ProfileFile::Parse(std::string_view text)
{
    m_ByteOrderMark = text.substr(0, 3) == kByteOrderMark;
    if (m_ByteOrderMark)
        text.remove_prefix(3);
    m_Text.assign(text);
    m_Ending = "\n";
    size_t newline = m_Text.find('\n');
    if (newline != std::string::npos && newline > 0 && m_Text[newline - 1] == '\r')
        m_Ending = "\r\n";
}

ProfileFile::LineRef ProfileFile::LineAt(size_t start) const
{
    LineRef line;
    line.begin = start;
    size_t newline = m_Text.find('\n', start);
    if (newline == std::string::npos) {
        line.end = m_Text.size();
        line.next = m_Text.size();
        return line;
    }
    line.hasEnding = true;
    line.next = newline + 1;
    line.end = newline > start && m_Text[newline - 1] == '\r' ? newline - 1 : newline;
    return line;
}

bool ProfileFile::FindSection(std::string_view section, LineRef& header) const
{
    for (size_t at = 0; at < m_Text.size();) {
        LineRef line = LineAt(at);
        std::string_view name;
        if (SectionName(std::string_view(m_Text).substr(line.begin, line.end - line.begin), name) &&
            EqualsIgnoringAsciiCase(name, Trim(section))) {
            header = line;
            return true;
        }
        at = line.next;
    }
    return false;
}

size_t ProfileFile::SectionEnd(size_t from) const
{
    for (size_t at = from; at < m_Text.size();) {
        LineRef line = LineAt(at);
        std::string_view name;
        if (SectionName(std::string_view(m_Text).substr(line.begin, line.end - line.begin), name))
            return line.begin;
        at = line.next;
    }
    return m_Text.size();
}

bool ProfileFile::FindKey(const LineRef& header, std::string_view key, LineRef& found) const
{
    size_t end = SectionEnd(header.next);
    for (size_t at = header.next; at < end;) {
        LineRef line = LineAt(at);
        std::string_view lineKey, value;
        if (KeyValue(std::string_view(m_Text).substr(line.begin, line.end - line.begin), lineKey, value) &&
            EqualsIgnoringAsciiCase(lineKey, Trim(key))) {
            found = line;
            return true;
        }
        at = line.next;
    }
    return false;
}

bool ProfileFile::Get(std::string_view section, std::string_view key, std::string& value) const
{
    LineRef header, line;
    if (!FindSection(section, header) || !FindKey(header, key, line))
        return false;
    std::string_view lineKey, lineValue;
    KeyValue(std::string_view(m_Text).substr(line.begin, line.end - line.begin), lineKey, lineValue);
    value.assign(Unquote(lineValue));
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
    std::string_view cleanValue = value.substr(0, value.find_first_of("\r\n"));
    LineRef header;
    if (!FindSection(section, header)) {
        if (!m_Text.empty() && m_Text.back() != '\n')
            m_Text += m_Ending;
        m_Text.append("[").append(Trim(section)).append("]").append(m_Ending);
        m_Text.append(Trim(key)).append("=").append(cleanValue).append(m_Ending);
        return;
    }
    LineRef line;
    if (FindKey(header, key, line)) {
        size_t valueStart = m_Text.find('=', line.begin) + 1;
        m_Text.replace(valueStart, line.end - valueStart, cleanValue);
        return;
    }
    // A new key goes after the section's last non-blank line.
    LineRef last = header;
    size_t end = SectionEnd(header.next);
    for (size_t at = header.next; at < end;) {
        LineRef current = LineAt(at);
        if (!Trim(std::string_view(m_Text).substr(current.begin, current.end - current.begin)).empty())
            last = current;
        at = current.next;
    }
    std::string inserted = last.hasEnding ? std::string() : m_Ending;
    inserted.append(Trim(key)).append("=").append(cleanValue).append(m_Ending);
    m_Text.insert(last.next, inserted);
}

std::string ProfileFile::Text() const
{
    return m_ByteOrderMark ? kByteOrderMark + m_Text : m_Text;
}

bool ProfileFile::Save(const std::string& path) const
{
    std::string text = Text();
    return WriteFileAtomically(FollowLinks(path), text.data(), text.size());
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
