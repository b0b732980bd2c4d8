// UTF-8 helpers: encoding a code point, decoding one sequence, character boundaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Whether the byte continues a multi-byte sequence (10xxxxxx).
constexpr bool IsUtf8Continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Appends the code point's UTF-8 sequence (one to four bytes).
void AppendUtf8(std::string& text, uint32_t codePoint);

// Decodes the sequence at `offset` (which must be inside the text) and advances past it;
// malformed lead bytes decode as themselves, a sequence cut short by the end as far as it goes.
uint32_t NextCodePoint(std::string_view text, size_t& offset);

// The character boundary before `offset` (0 at the start).
size_t PreviousCharacterBoundary(std::string_view text, size_t offset);

// The character boundary after `offset` (the size at the end).
size_t NextCharacterBoundary(std::string_view text, size_t offset);

// The longest prefix of at most `limit` bytes that does not end inside a sequence.
size_t CutAtCharacter(std::string_view text, size_t limit);
