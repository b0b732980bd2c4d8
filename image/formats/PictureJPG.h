// JPEG decoder and encoder over libjpeg, with source and destination managers on CStream.
#pragma once

#include "image/Picture.h"
#include "image/formats/ExifReader.h"

// Codec option bits (info.dwCodecOption).
constexpr DWORD JPG_OPTION_FORCE_BASELINE = 0x001;
constexpr DWORD JPG_OPTION_ENCODE_GRAYSCALE = 0x004;
constexpr DWORD JPG_OPTION_SMOOTHING = 0x040;
constexpr DWORD JPG_OPTION_DECODE_GRAYSCALE = 0x080;
constexpr DWORD JPG_OPTION_QUANTIZE = 0x100;
constexpr DWORD JPG_OPTION_DITHER = 0x200;
constexpr DWORD JPG_OPTION_ONE_PASS_QUANTIZE = 0x400;
constexpr DWORD JPG_OPTION_NO_FANCY_UPSAMPLING = 0x800;

class CPictureJPG : public CPicture {
public:
    CPictureJPG();
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);
    // Reads the marker sections into m_exifinfo and puts the stream back; answers IsExif.
    bool DecodeExif(CStream* hFile);

    EXIFINFO m_exifinfo;
    int32_t m_nSmoothing = 0;  // smoothing factor, encode option 0x040
    int32_t m_nDither = 0;     // dither mode, decode option 0x200
};
