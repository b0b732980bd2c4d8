// Whether a field's text is empty once white space at both ends is trimmed.
#pragma once

#include <string_view>

inline bool IsTrimmedEmpty(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}
