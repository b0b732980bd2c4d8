// Reads what an X display shows, for the desktop program's X test and its screenshots.
//   tessmark-screen shot X Y W H OUT.png     writes that screen area as a PNG file
//   tessmark-screen preview X Y CONFIG       compares the preview of the main window whose
//       client origin is (X, Y) with the composition the job of CONFIG gives (absolute paths)
//       and prints "preview-mismatches=N source=L,T,R,B mark=L,T,R,B"
#include "batch/JobSettings.h"
#include "batch/MarkComposer.h"
#include "batch/SplitString.h"
#include "image/Picture.h"
#include "platform/FolderListing.h"
#include "platform/WindowSystem.h"
#include "platform/gtk/GtkBackend.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr RECT kPreviewRect = {28, 41, 667, 502};

bool WritePng(const std::vector<uint32_t>& pixels, int width, int height, const char* path)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride, &pixels[static_cast<size_t>(y) * width],
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    bool ok = cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

// The first source the main window's preview shows for these settings.
std::string FirstSource(const JobSettings& settings, const CMarkComposer& composer)
{
    if (settings.SrcFileType == 0) {
        for (const FolderEntry& entry : ListFolder(settings.SrcFolderSite)) {
            if (entry.name.empty() || entry.name.front() == '.' || entry.isDirectory)
                continue;
            std::string candidate = settings.SrcFolderSite + "/" + entry.name;
            if (composer.GetImageType(candidate) != 0)
                return candidate;
        }
        return {};
    }
    std::vector<std::string> pieces(1);
    int count = 0;
    SplitString(settings.SrcFileSite, pieces, count, ';');
    return count > 0 ? pieces[0] : std::string();
}

int ComparePreview(GtkBackend& backend, int originX, int originY, const char* configPath)
{
    JobSettings settings;
    settings.LoadFromIni(configPath);
    CMarkComposer composer;
    std::string source = FirstSource(settings, composer);
    if (source.empty()) {
        fprintf(stderr, "tessmark-screen: the job has no source picture\n");
        return 2;
    }
    CPicture sourcePicture(source.c_str(), static_cast<DWORD>(composer.GetImageType(source)));
    CPicture markPicture(settings.WaterMarkFileSite.c_str(),
                         static_cast<DWORD>(composer.GetImageType(settings.WaterMarkFileSite)));
    PreviewGeometry geometry = ComputePreviewGeometry(
        kPreviewRect, static_cast<long>(sourcePicture.GetWidth()), static_cast<long>(sourcePicture.GetHeight()),
        static_cast<long>(markPicture.GetWidth()), static_cast<long>(markPicture.GetHeight()), settings.PosType,
        settings.PosX, settings.PosY);

    // The expected picture: the preview painted over white on a true-colour canvas.
    int width = kPreviewRect.right;
    int height = kPreviewRect.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, canvas);
    std::memset(bits, 0xFF, static_cast<size_t>(width) * height * 4);
    composer.DrawPreview(memory, kPreviewRect, source, settings.WaterMarkFileSite, settings.PosType, settings.PosX,
                         settings.PosY);
    const auto* expected = static_cast<const uint32_t*>(bits);

    RECT area = {originX, originY, originX + width, originY + height};
    std::vector<uint32_t> screen;
    if (!backend.ScreenPixels(area, screen)) {
        fprintf(stderr, "tessmark-screen: cannot read the screen\n");
        return 2;
    }
    // Only the source's rectangle is compared: outside it the frame shows.
    long mismatches = 0;
    const RECT& s = geometry.source;
    for (int y = s.top; y < s.bottom; ++y)
        for (int x = s.left; x < s.right; ++x) {
            uint32_t want = expected[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
            uint32_t shown = screen[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
            mismatches += want != shown;
        }
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    const RECT& m = geometry.mark;
    printf("preview-mismatches=%ld source=%ld,%ld,%ld,%ld mark=%ld,%ld,%ld,%ld\n", long{mismatches}, long{s.left},
           long{s.top}, long{s.right}, long{s.bottom}, long{m.left}, long{m.top}, long{m.right}, long{m.bottom});
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::unique_ptr<GtkBackend> backend = GtkBackend::Create();
    if (!backend) {
        fprintf(stderr, "tessmark-screen: cannot open a display (is DISPLAY set?)\n");
        return 1;
    }
    GtkBackend& gtk = *backend;
    WindowSystem system(std::move(backend));
    if (argc == 7 && std::strcmp(argv[1], "shot") == 0) {
        int x = std::atoi(argv[2]), y = std::atoi(argv[3]), w = std::atoi(argv[4]), h = std::atoi(argv[5]);
        std::vector<uint32_t> pixels;
        if (w <= 0 || h <= 0 || !gtk.ScreenPixels({x, y, x + w, y + h}, pixels) || !WritePng(pixels, w, h, argv[6])) {
            fprintf(stderr, "tessmark-screen: cannot write %s\n", argv[6]);
            return 2;
        }
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "preview") == 0)
        return ComparePreview(gtk, std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    fprintf(stderr, "usage: tessmark-screen shot X Y W H OUT.png | preview X Y CONFIG\n");
    return 2;
}
