// Test pictures built in memory, an independent bitmap writer, and the expected result of a
// composition computed without the composer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// An RGB picture with an optional alpha plane, rows top-down.
struct TestImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;    // red, green, blue per pixel
    std::vector<uint8_t> alpha;  // empty, or one byte per pixel

    uint8_t* At(int x, int y) { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
    const uint8_t* At(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

TestImage SolidImage(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
// Smooth colour ramps with a little structure, good for lossy round trips.
TestImage GradientImage(int width, int height, int seed);
// A watermark with a solid core, soft alpha edges and fully transparent corners.
TestImage SoftMark(int width, int height);

// A 24-bit bottom-up BMP file, written field by field.
std::vector<uint8_t> EncodeBmp24(const TestImage& image);
void WriteBmp24(const std::filesystem::path& path, const TestImage& image);

// The composition done by hand: a white canvas, the source at (0, 0), the watermark at its
// corner, alpha blended as the picture drawing does: a = alpha; 0 keeps, 255 copies, otherwise
// (back * (255 - a) + a * colour) >> 8.
TestImage ExpectedComposite(const TestImage& source, const TestImage& mark, int posType, int posX, int posY);

// A valid all-black 8-bit RGB PNG of any size, written a row at a time (so a picture far
// beyond what fits in memory costs only its compressed size).
void WriteBlankPng(const std::filesystem::path& path, uint32_t width, uint32_t height);

// Writes a picture file through the image engine's encoder (alpha plane included).
bool EncodeWithEngine(const std::filesystem::path& path, const TestImage& image, unsigned formatId);
// Reads a picture file through the image engine into a TestImage (alpha plane included).
bool DecodeWithEngine(const std::filesystem::path& path, TestImage& image);

// Largest and mean absolute channel difference of two pictures of the same size.
struct Difference {
    int largest = 0;
    double mean = 0;
};
Difference Compare(const TestImage& a, const TestImage& b);
