// Test pictures, an independent bitmap writer and the hand-computed composition.
#include "tests/batch/ComposeFixtures.h"

#include "image/Picture.h"
#include "tests/TestData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <png.h>

namespace {

void PutLE16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLE32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

TestImage SolidImage(int width, int height, uint8_t red, uint8_t green, uint8_t blue)
{
    TestImage image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < image.rgb.size(); i += 3) {
        image.rgb[i] = red;
        image.rgb[i + 1] = green;
        image.rgb[i + 2] = blue;
    }
    return image;
}

TestImage GradientImage(int width, int height, int seed)
{
    TestImage image = SolidImage(width, height, 0, 0, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = static_cast<uint8_t>((x * 255) / std::max(1, width - 1));
            p[1] = static_cast<uint8_t>((y * 255) / std::max(1, height - 1));
            p[2] = static_cast<uint8_t>(128 + 100 * std::sin((x + y + seed * 7) * 0.05));
        }
    }
    return image;
}

TestImage SoftMark(int width, int height)
{
    TestImage image = SolidImage(width, height, 30, 60, 200);
    image.alpha.resize(static_cast<size_t>(width) * height);
    double cx = (width - 1) / 2.0;
    double cy = (height - 1) / 2.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Elliptic falloff: opaque inside, soft ring, transparent outside.
            double d = std::hypot((x - cx) / (cx + 0.5), (y - cy) / (cy + 0.5));
            double a = std::clamp((1.0 - d) * 3.0, 0.0, 1.0);
            image.alpha[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::lround(a * 255));
            image.At(x, y)[0] = static_cast<uint8_t>(200 + x % 50);
        }
    }
    return image;
}

std::vector<uint8_t> EncodeBmp24(const TestImage& image)
{
    uint32_t rowBytes = ((24u * static_cast<uint32_t>(image.width) + 31) / 32) * 4;
    uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(image.height);
    std::vector<uint8_t> out;
    PutLE16(out, 0x4D42);
    PutLE32(out, 54 + pixelBytes);
    PutLE16(out, 0);
    PutLE16(out, 0);
    PutLE32(out, 54);
    PutLE32(out, 40);
    PutLE32(out, static_cast<uint32_t>(image.width));
    PutLE32(out, static_cast<uint32_t>(image.height));
    PutLE16(out, 1);
    PutLE16(out, 24);
    PutLE32(out, 0);           // compression
    PutLE32(out, pixelBytes);  // image size
    PutLE32(out, 0);           // resolution
    PutLE32(out, 0);
    PutLE32(out, 0);  // colours used
    PutLE32(out, 0);
    for (int row = image.height - 1; row >= 0; --row) {
        size_t start = out.size();
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, row);
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

void WriteBmp24(const std::filesystem::path& path, const TestImage& image)
{
    WriteFileBytes(path, EncodeBmp24(image));
}

TestImage ExpectedComposite(const TestImage& source, const TestImage& mark, int posType, int posX, int posY)
{
    TestImage canvas = SolidImage(source.width, source.height, 255, 255, 255);
    auto blend = [](uint8_t* back, const uint8_t* colour, int a) {
        if (a == 0)
            return;
        for (int c = 0; c < 3; ++c)
            back[c] = a == 255 ? colour[c] : static_cast<uint8_t>((back[c] * (255 - a) + a * colour[c]) >> 8);
    };
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x)
            blend(canvas.At(x, y), source.At(x, y),
                  source.alpha.empty() ? 255 : source.alpha[static_cast<size_t>(y) * source.width + x]);
    }
    int left = (posType == 0 || posType == 2) ? posX : source.width - mark.width - posX;
    int top = (posType == 0 || posType == 1) ? posY : source.height - mark.height - posY;
    for (int y = 0; y < mark.height; ++y) {
        for (int x = 0; x < mark.width; ++x) {
            int cx = left + x;
            int cy = top + y;
            if (cx < 0 || cy < 0 || cx >= canvas.width || cy >= canvas.height)
                continue;
            blend(canvas.At(cx, cy), mark.At(x, y),
                  mark.alpha.empty() ? 255 : mark.alpha[static_cast<size_t>(y) * mark.width + x]);
        }
    }
    return canvas;
}

bool EncodeWithEngine(const std::filesystem::path& path, const TestImage& image, unsigned formatId)
{
    CPicture picture(static_cast<DWORD>(image.width), static_cast<DWORD>(image.height), 24, formatId);
    if (!picture.IsValid())
        return false;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            RGBQUAD c;
            c.rgbRed = p[0];
            c.rgbGreen = p[1];
            c.rgbBlue = p[2];
            picture.SetPixelColor(x, image.height - 1 - y, c);
        }
    }
    if (!image.alpha.empty()) {
        picture.AlphaCreate();
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                picture.AlphaSet(x, image.height - 1 - y, image.alpha[static_cast<size_t>(y) * image.width + x]);
    }
    return picture.Save(path.string().c_str(), formatId);
}

bool DecodeWithEngine(const std::filesystem::path& path, TestImage& image)
{
    CPicture picture(path.string().c_str(), PICTURE_FORMAT_UNKNOWN);
    if (!picture.IsValid())
        return false;
    image = SolidImage(static_cast<int>(picture.GetWidth()), static_cast<int>(picture.GetHeight()), 0, 0, 0);
    image.alpha.clear();
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            // The picture's rows are bottom-up.
            RGBQUAD c = picture.GetPixelColor(x, image.height - 1 - y, false);
            uint8_t* p = image.At(x, y);
            p[0] = c.rgbRed;
            p[1] = c.rgbGreen;
            p[2] = c.rgbBlue;
        }
    }
    if (picture.AlphaIsValid()) {
        image.alpha.resize(static_cast<size_t>(image.width) * image.height);
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                image.alpha[static_cast<size_t>(y) * image.width + x] = picture.AlphaGet(x, image.height - 1 - y);
    }
    return true;
}

Difference Compare(const TestImage& a, const TestImage& b)
{
    Difference difference;
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) {
        difference.largest = 256;
        return difference;
    }
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) {
        int d = std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i]));
        difference.largest = std::max(difference.largest, d);
        sum += d;
    }
    difference.mean = sum / static_cast<double>(a.rgb.size());
    return difference;
}

void WriteBlankPng(const std::filesystem::path& path, uint32_t width, uint32_t height)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<size_t>(width) * 3, 0);
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_compression_level(png, 1);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_write_info(png, info);
        for (uint32_t y = 0; y < height; ++y)
            png_write_row(png, row.data());
        png_write_end(png, info);
    }
    png_destroy_write_struct(&png, &info);
    fclose(file);
}
