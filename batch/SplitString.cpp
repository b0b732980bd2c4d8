// Splitting at a single-byte separator; in UTF-8 no byte of a multibyte character is ASCII,
// so a byte search never splits inside a character.
#include "batch/SplitString.h"

int SplitString(std::string_view text, std::span<std::string> array, int& count, char separator)
{
    count = 0;
    int total = 0;
    size_t start = 0;
    for (size_t end = text.find(separator); end != std::string_view::npos; end = text.find(separator, start)) {
        if (static_cast<size_t>(total) < array.size()) {
            array[static_cast<size_t>(total)].assign(text.substr(start, end - start));
            ++count;
        }
        ++total;
        start = end + 1;
    }
    return total;
}
