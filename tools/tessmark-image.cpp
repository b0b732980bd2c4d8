// Command-line access to the image engine: print a picture's properties, or convert a picture.
//   tessmark-image info FILE [--type ID]
//   tessmark-image convert IN OUT [--type ID]
#include "batch/MarkComposer.h"
#include "image/Picture.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kUsage[] = "usage: tessmark-image info FILE [--type ID]\n"
                          "       tessmark-image convert IN OUT [--type ID]\n";

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
    if (!picture.Save(output, static_cast<DWORD>(CMarkComposer().GetImageType(output))))
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
