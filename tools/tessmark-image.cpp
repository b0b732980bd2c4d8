// Command-line access to the image engine: print a picture's properties, or convert a picture.
//   tessmark-image info FILE [--type ID]
//   tessmark-image convert IN OUT [--type ID]
#include "image/Picture.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: tessmark-image info FILE [--type ID]\n"
    "       tessmark-image convert IN OUT [--type ID]\n";

// The output format id of a file name's extension, as the composer chooses it.
// FIXME: use CMarkComposer::GetImageType once the batch library provides it.
DWORD ImageTypeForName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return PICTURE_FORMAT_UNKNOWN;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    for (const char* jpeg : {"jpg", "jpeg", "jpe", "jfif", "gif"}) {
        if (extension == jpeg)
            return PICTURE_FORMAT_JPG;
    }
    if (extension == "png")
        return PICTURE_FORMAT_PNG;
    for (const char* bitmap : {"bmp", "dib", "pcx", "wbmp", "wmf", "tif", "tiff", "tga"}) {
        if (extension == bitmap)
            return PICTURE_FORMAT_BMP;
    }
    return PICTURE_FORMAT_UNKNOWN;
}

// A failure that set no text (a file that cannot be opened or created) names the file instead.
int Failed(const CPicture& picture, const char* fallback, const char* file)
{
    if (*picture.GetLastError())
        std::printf("error=%s\n", picture.GetLastError());
    else
        std::printf("error=%s %s\n", fallback, file);
    return 1;
}

int Info(const char* file, DWORD type)
{
    CPicture picture(file, type);
    if (!picture.IsValid())
        return Failed(picture, "cannot open", file);
    std::printf("type=%u width=%u height=%u bpp=%u colors=%u transindex=%ld alpha=%s palettealpha=%s "
                "xdpi=%ld ydpi=%ld frames=%d\n",
                static_cast<unsigned>(picture.GetType()), static_cast<unsigned>(picture.GetWidth()),
                static_cast<unsigned>(picture.GetHeight()), static_cast<unsigned>(picture.GetBpp()),
                static_cast<unsigned>(picture.GetNumColors()), picture.GetTransIndex(),
                picture.AlphaIsValid() ? "yes" : "no", picture.info.bAlphaPaletteEnabled ? "yes" : "no",
                picture.GetXDPI(), picture.GetYDPI(), static_cast<int>(picture.info.nNumFrames));
    return 0;
}

int Convert(const char* input, const char* output, DWORD type)
{
    CPicture picture(input, type);
    if (!picture.IsValid())
        return Failed(picture, "cannot open", input);
    picture.Fail("");
    if (!picture.Save(output, ImageTypeForName(output)))
        return Failed(picture, "cannot write", output);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> positional;
    DWORD type = PICTURE_FORMAT_UNKNOWN;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--type") {
            if (i + 1 >= argc) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            char* end = nullptr;
            const unsigned long value = std::strtoul(argv[++i], &end, 10);
            if (!end || *end != '\0' || value > 0xFFFFFFFFul) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            type = static_cast<DWORD>(value);
        } else {
            positional.emplace_back(argument);
        }
    }

    if (positional.size() == 2 && positional[0] == "info")
        return Info(positional[1].c_str(), type);
    if (positional.size() == 3 && positional[0] == "convert")
        return Convert(positional[1].c_str(), positional[2].c_str(), type);
    std::fputs(kUsage, stderr);
    return 2;
}
