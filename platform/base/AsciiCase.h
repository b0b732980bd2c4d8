// ASCII case folding: only A-Z and a-z change, so UTF-8 sequences pass through untouched.
#pragma once

#include <string>
#include <string_view>

constexpr char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with A-Z lowered.
std::string AsciiLowered(std::string_view text);

// Whether two texts are equal when the case of A-Z is ignored.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
