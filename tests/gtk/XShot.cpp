// A screenshot tool for the desktop tests: grabs part of the X screen into a PNG file, counts
// pixels of one colour in a PNG and counts the pixels where two PNGs differ.
//   xshot grab FILE X Y W H
//   xshot count FILE X Y W H RRGGBB
//   xshot differ FILE1 FILE2 X Y W H
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB

    uint32_t At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0xFFFFFFFFu;
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

bool Grab(int x, int y, int width, int height, Picture& picture)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) {
        XCloseDisplay(display);
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            picture.pixels[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)] =
                static_cast<uint32_t>(XGetPixel(image, column, row)) & 0xFFFFFF;
    XDestroyImage(image);
    XCloseDisplay(display);
    return true;
}

bool Save(const std::string& path, const Picture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb;
    rgb.reserve(picture.pixels.size() * 3);
    for (uint32_t pixel : picture.pixels) {
        rgb.push_back(static_cast<uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<uint8_t>(pixel));
    }
    return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

bool Load(const std::string& path, Picture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return false;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2];
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: xshot grab FILE X Y W H | count FILE X Y W H RRGGBB | differ FILE1 FILE2 X Y W H\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    std::string command = argv[1];
    auto number = [&](int index) { return std::atoi(argv[index]); };
    if (command == "grab" && argc == 7) {
        Picture picture;
        if (!Grab(number(3), number(4), number(5), number(6), picture) || !Save(argv[2], picture)) {
            std::fprintf(stderr, "xshot: cannot grab the screen into %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (command == "count" && argc == 8) {
        Picture picture;
        if (!Load(argv[2], picture))
            return 1;
        uint32_t colour = static_cast<uint32_t>(std::strtoul(argv[7], nullptr, 16));
        long count = 0;
        for (int y = number(4); y < number(4) + number(6); ++y)
            for (int x = number(3); x < number(3) + number(5); ++x)
                count += picture.At(x, y) == colour;
        std::printf("%ld\n", count);
        return 0;
    }
    if (command == "differ" && argc == 8) {
        Picture first;
        Picture second;
        if (!Load(argv[2], first) || !Load(argv[3], second))
            return 1;
        long count = 0;
        for (int y = number(5); y < number(5) + number(7); ++y)
            for (int x = number(4); x < number(4) + number(6); ++x)
                count += first.At(x, y) != second.At(x, y);
        std::printf("%ld\n", count);
        return 0;
    }
    return Usage();
}
