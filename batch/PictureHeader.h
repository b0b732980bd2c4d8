// Picture dimensions read from the first bytes of a file, without decoding it.
#pragma once

#include <cstdint>
#include <string>

// The width and height a PNG, JPEG, GIF, BMP or TIFF file declares, recognised by content.
// False for other formats, for files that are not regular files and for unreadable headers.
bool PeekPictureSize(const std::string& path, uint64_t& width, uint64_t& height);
