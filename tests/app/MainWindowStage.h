// The main window on a headless desktop with the program's resources, run modally over a
// queued script, and helpers that read what its surface shows.
#pragma once

#include "tests/platform/HeadlessDesktop.h"

#include "app/MainDlg.h"
#include "batch/PathHelper.h"
#include "res/ProgramResources.h"
#include "res/SkinBitmaps.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

constexpr int kStillOpen = 99;

struct MainWindowStage {
    // `window`: a main window of a derived class, built by the test; by default a CMainDlg.
    explicit MainWindowStage(std::function<std::unique_ptr<CMainDlg>()> window = {})
    {
        // Every test starts from the default settings: no config.ini beside the test program.
        std::filesystem::remove(CPathHelper().ResolvePath("config.ini"));
        AddProgramResources(desktop.system->Resources());
        dialog = window ? window() : std::make_unique<CMainDlg>(nullptr);
        // The feed worker never leaves the machine: a refused loopback port, no waits.
        dialog->m_FeedPolicy.url = "http://127.0.0.1/";
        dialog->m_FeedPolicy.port = 1;
        dialog->m_FeedPolicy.sleep = [](std::chrono::milliseconds) {};
        desktop.system->SetMainWindow(dialog.get());
    }
    ~MainWindowStage()
    {
        dialog.reset();
        desktop.system->SetMainWindow(nullptr);
    }

    HeadlessBackend& Script() { return *desktop.backend; }
    HWND Window() const { return dialog->m_hWnd; }

    // Runs the main window over the queued script; a window still open at the end is ended
    // with kStillOpen.
    intptr_t Run()
    {
        Script().Then([this] {
            if (IsWindow(Window()))
                dialog->EndDialog(kStillOpen);
        });
        return dialog->DoModal();
    }

    // Repaints the whole window now (erase included), as an invalidation does.
    void Repaint()
    {
        dialog->Invalidate(TRUE);
        dialog->UpdateWindow();
    }

    uint32_t Pixel(int x, int y) const { return desktop.backend->Pixel(Window(), x, y); }

    // Screen point of a client point.
    POINT OnScreen(int x, int y) const
    {
        POINT point = {x, y};
        ClientToScreen(Window(), &point);
        return point;
    }
    // Queues a mouse move to a client point; the point is taken on the screen when the move
    // runs, so it may be queued before the window exists.
    HeadlessBackend& MoveTo(int x, int y)
    {
        return Script().Then([this, x, y] { desktop.system->MouseMove(OnScreen(x, y), 0); });
    }

    // A control's rectangle in the main window's client pixels.
    RECT ControlRect(int id) const
    {
        RECT rect;
        GetWindowRect(GetDlgItem(Window(), id), &rect);
        POINT topLeft = {rect.left, rect.top};
        POINT bottomRight = {rect.right, rect.bottom};
        ScreenToClient(Window(), &topLeft);
        ScreenToClient(Window(), &bottomRight);
        return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    }

    // How many pixels of bitmap `id` placed at (x, y) the surface does not show; key pixels
    // and the pixels inside `ignore` (bitmap coordinates) are not compared.
    int BitmapMismatches(int id, int x, int y, std::vector<RECT> ignore = {}) const
    {
        const SkinBitmap* bitmap = FindSkinBitmap(id);
        if (!bitmap)
            return -1;
        int mismatches = 0;
        for (int row = 0; row < bitmap->height; ++row)
            for (int column = 0; column < bitmap->width; ++column) {
                uint32_t want = bitmap->pixels[static_cast<size_t>(row) * bitmap->width + column] & 0xFFFFFF;
                POINT inside = {column, row};
                bool ignored = false;
                for (const RECT& rect : ignore)
                    ignored = ignored || PtInRect(&rect, inside);
                if (want == 0xFF00FF || ignored)
                    continue;
                mismatches += Pixel(x + column, y + row) != want;
            }
        return mismatches;
    }

    // The bounding box of the pixels of one colour inside an area.
    std::optional<RECT> Box(const RECT& area, uint32_t colour) const
    {
        std::optional<RECT> box;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                if (Pixel(x, y) != colour)
                    continue;
                if (!box)
                    box = RECT{x, y, x + 1, y + 1};
                box->left = std::min<LONG>(box->left, x);
                box->top = std::min<LONG>(box->top, y);
                box->right = std::max<LONG>(box->right, x + 1);
                box->bottom = std::max<LONG>(box->bottom, y + 1);
            }
        return box;
    }

    HeadlessDesktop desktop;
    std::unique_ptr<CMainDlg> dialog;
};
