// Splitting a text at a one-character separator into a caller's fixed array.
#pragma once

#include <span>
#include <string>
#include <string_view>

// Each piece is the text up to the next separator; the text after the last separator is
// dropped, so "a;;b;" gives "a", "" and "b", and a text without a separator gives nothing.
// At most array.size() pieces are stored and count is set to the number stored; pieces beyond
// the array are not stored. Answers the number of pieces the text holds, so a caller can tell
// that its array was too small.
int SplitString(std::string_view text, std::span<std::string> array, int& count, char separator);
