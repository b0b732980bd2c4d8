// UTF-8 encoding, decoding and character boundaries.
#include "platform/base/Utf8.h"

namespace {

bool ContinuesAt(std::string_view text, size_t offset)
{
    return IsUtf8Continuation(static_cast<unsigned char>(text[offset]));
}

}  // namespace

void AppendUtf8(std::string& text, uint32_t codePoint)
{
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

uint32_t NextCodePoint(std::string_view text, size_t& offset)
{
    auto byte = static_cast<unsigned char>(text[offset++]);
    int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    uint32_t codePoint = extra == 0 ? byte : byte & (0x3F >> extra);
    for (int i = 0; i < extra && offset < text.size(); ++i)
        codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[offset++]) & 0x3F);
    return codePoint;
}

size_t PreviousCharacterBoundary(std::string_view text, size_t offset)
{
    if (offset == 0)
        return 0;
    --offset;
    while (offset > 0 && ContinuesAt(text, offset))
        --offset;
    return offset;
}

size_t NextCharacterBoundary(std::string_view text, size_t offset)
{
    if (offset >= text.size())
        return text.size();
    ++offset;
    while (offset < text.size() && ContinuesAt(text, offset))
        ++offset;
    return offset;
}

size_t CutAtCharacter(std::string_view text, size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    size_t cut = limit;
    while (cut > 0 && ContinuesAt(text, cut))
        --cut;
    return cut;
}
