// Engine benchmark: BMP encode and decode of a 4000 x 3000 24-bit picture, drawing it onto a
// display-compatible canvas, blending a 300 x 120 alpha watermark over it and capturing the
// canvas, each against a memcpy of the picture's bytes measured in the same run.
#include "image/MemStream.h"
#include "image/Picture.h"
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr DWORD kWidth = 4000;
constexpr DWORD kHeight = 3000;
constexpr DWORD kMarkWidth = 300;
constexpr DWORD kMarkHeight = 120;
constexpr int kRepeats = 5;

// The fastest of several runs, in milliseconds.
double BestOf(const std::function<void()>& step)
{
    double best = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        step();
        std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

void Report(const char* name, double milliseconds, double baseline)
{
    std::printf("%-42s %9.2f ms  %7.2f x memcpy\n", name, milliseconds, milliseconds / baseline);
}

}  // namespace

int main()
{
    CPicture source(kWidth, kHeight, 24);
    if (!source.IsValid()) {
        std::fprintf(stderr, "cannot allocate the %u x %u picture\n", kWidth, kHeight);
        return 1;
    }
    for (DWORD y = 0; y < kHeight; ++y) {
        BYTE* row = source.GetBits(y);
        for (DWORD x = 0; x < kWidth * 3; ++x)
            row[x] = static_cast<BYTE>(x * 7 + y * 13);
    }
    const size_t pixelBytes = static_cast<size_t>(source.GetEffWidth()) * kHeight;

    // Baseline: copying the picture's pixel bytes once.
    std::vector<uint8_t> copy(pixelBytes);
    double baseline = BestOf([&] { std::memcpy(copy.data(), source.GetBits(), pixelBytes); });
    std::printf("picture %u x %u, 24 bits, %zu pixel bytes; best of %d runs\n", kWidth, kHeight, pixelBytes, kRepeats);
    Report("memcpy of the pixel bytes (baseline)", baseline, baseline);

    std::vector<uint8_t> encoded;
    double encode = BestOf([&] {
        CMemStream stream;
        stream.Open();
        if (!source.Encode(&stream, PICTURE_FORMAT_BMP)) {
            std::fprintf(stderr, "encode failed: %s\n", source.GetLastError());
            std::exit(1);
        }
        encoded.assign(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size());
    });
    Report("BMP encode to memory", encode, baseline);

    double decode = BestOf([&] {
        CMemStream stream(encoded.data(), static_cast<uint32_t>(encoded.size()));
        CPicture decoded;
        if (!decoded.Decode(&stream, PICTURE_FORMAT_BMP) || decoded.GetWidth() != kWidth) {
            std::fprintf(stderr, "decode failed: %s\n", decoded.GetLastError());
            std::exit(1);
        }
    });
    Report("BMP decode from memory", decode, baseline);

    // The composition's canvas: a display-compatible bitmap in a memory DC.
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    HGDIOBJ previous = SelectObject(canvas, bitmap);

    double drawSource = BestOf([&] { source.Draw(canvas, 0, 0, kWidth, kHeight); });
    Report("Draw source 1:1 onto the canvas", drawSource, baseline);

    CPicture mark(kMarkWidth, kMarkHeight, 24);
    mark.AlphaCreate();
    for (DWORD y = 0; y < kMarkHeight; ++y)
        for (DWORD x = 0; x < kMarkWidth; ++x) {
            mark.SetPixelColor(static_cast<long>(x), static_cast<long>(y), RGBQUAD{0, 0, 255, 0});
            mark.AlphaSet(static_cast<long>(x), static_cast<long>(y), static_cast<BYTE>((x + y) % 256));
        }
    double blend = BestOf([&] { mark.Draw(canvas, kWidth - kMarkWidth - 20, kHeight - kMarkHeight - 20); });
    Report("Draw 300 x 120 alpha watermark (blend)", blend, baseline);

    SelectObject(canvas, previous);
    std::vector<uint8_t> captured(40 + pixelBytes);
    double capture = BestOf([&] {
        BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        GetDIBits(screen, bitmap, 0, kHeight, captured.data() + 40, &info, DIB_RGB_COLORS);
    });
    Report("GetDIBits capture at 24 bits", capture, baseline);

    DeleteObject(bitmap);
    DeleteDC(canvas);
    DeleteDC(screen);
    return 0;
}
