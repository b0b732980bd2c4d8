// Benchmark (not a test): the main window's preview with a 12-megapixel JPEG source. Prints
// the time of a full erase (what a set-up command's or an Apply's repaint costs: folder search,
// two decodes, scaling, the off-screen frame and its copy) against the 300 ms target, and of an
// expose, which repaints nothing: the back end shows the kept surface again, so the window gets
// no erase or paint message and decodes nothing; its cost is the copy of the kept surface.
// Usage: bench_preview [ROUNDS]
#include "app/MainDlg.h"
#include "image/Picture.h"
#include "platform/WindowSystem.h"
#include "platform/headless/HeadlessBackend.h"
#include "res/ProgramResources.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr double kTargetMs = 300.0;

// A photograph-like 4000 x 3000 JPEG: smooth ramps with some structure.
bool WriteSource(const fs::path& path)
{
    CPicture picture(kWidth, kHeight, 24, PICTURE_FORMAT_JPG);
    if (!picture.IsValid())
        return false;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            RGBQUAD colour;
            colour.rgbRed = static_cast<BYTE>(x * 255 / kWidth);
            colour.rgbGreen = static_cast<BYTE>(y * 255 / kHeight);
            colour.rgbBlue = static_cast<BYTE>(((x / 40) ^ (y / 40)) & 1 ? 200 : 60);
            colour.rgbReserved = 0;
            picture.SetPixelColor(x, y, colour);
        }
    return picture.Save(path.string().c_str(), PICTURE_FORMAT_JPG);
}

class CountingMainDlg : public CMainDlg {
public:
    int erases = 0;
    int paints = 0;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        erases += message == WM_ERASEBKGND;
        paints += message == WM_PAINT;
        return CMainDlg::OnWndMsg(message, wParam, lParam, result);
    }
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    fs::path folder = fs::temp_directory_path() / ("tessmark-bench-preview-" + std::to_string(getpid()));
    fs::create_directories(folder / "photos");
    if (!WriteSource(folder / "photos" / "photo.jpg")) {
        fprintf(stderr, "bench_preview: cannot write the source picture\n");
        return 1;
    }

    auto owned = std::make_unique<HeadlessBackend>();
    HeadlessBackend& backend = *owned;
    WindowSystem system(std::move(owned));
    AddProgramResources(system.Resources());
    CountingMainDlg dialog;
    system.SetMainWindow(&dialog);
    std::vector<double> eraseMs;
    std::vector<double> exposeMs;
    int exposeMessages = 0;
    backend.Then([&] {
        dialog.m_Settings.SrcFileType = 0;
        dialog.m_Settings.SrcFolderSite = (folder / "photos").string();
        dialog.m_Settings.WaterMarkFileSite = TESSMARK_SOURCE_DIR "/res/job/mark.png";
        for (int round = 0; round < rounds; ++round) {
            // An Apply: new corner, whole window invalidated, repainted at once.
            dialog.m_Settings.PosType = round % 4;
            auto started = std::chrono::steady_clock::now();
            dialog.Invalidate(TRUE);
            dialog.UpdateWindow();
            eraseMs.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());

            // An expose: the kept surface is shown again as it is.
            int before = dialog.erases + dialog.paints;
            started = std::chrono::steady_clock::now();
            const Surface* surface = system.TopLevelSurface(dialog.m_hWnd);
            std::vector<uint32_t> shown(static_cast<size_t>(surface->Width()) * surface->Height());
            for (int y = 0; y < surface->Height(); ++y)
                std::memcpy(&shown[static_cast<size_t>(y) * surface->Width()], surface->Row(y),
                            static_cast<size_t>(surface->Width()) * 4);
            exposeMs.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
            system.RunUntilIdle();
            exposeMessages += dialog.erases + dialog.paints - before;
        }
        dialog.EndDialog(IDOK);
    });
    dialog.DoModal();
    system.SetMainWindow(nullptr);
    fs::remove_all(folder);

    double erase = Median(eraseMs);
    printf("full erase (%d x %d JPEG source, %d rounds): %.1f ms median, %.2f of the %.0f ms target\n", kWidth, kHeight,
           rounds, erase, erase / kTargetMs, kTargetMs);
    printf("expose: %.3f ms median, %d erase or paint messages, no decode\n", Median(exposeMs), exposeMessages);
    return erase <= kTargetMs ? 0 : 2;
}
