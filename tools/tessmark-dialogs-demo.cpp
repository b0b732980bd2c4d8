// Runs one of the program's dialogs on the GTK back end for the X test and for screenshots:
//     tessmark-dialogs-demo DIALOG [--probe] [--shot FILE] [NAME=VALUE ...]
// DIALOG is notice, about, source, markfile, output or position; the NAME=VALUE pairs fill the
// dialog's members before it runs (message, mode, folder, files, mark, output, corner, x, y).
// With --probe the program answers SIGUSR2 by printing what the screen shows of the dialog
// (its place, whether the background matches its bitmap outside the controls, the fields'
// texts) and, with --shot, by writing the dialog's screen area to FILE as a PNG. A hidden main
// window receives the position dialog's Apply and prints each record. At the end the result
// and the members are printed.
#include "dialogs/AboutDlg.h"
#include "dialogs/MarkFileDlg.h"
#include "dialogs/NoticeDlg.h"
#include "dialogs/OutputDlg.h"
#include "dialogs/PositionDlg.h"
#include "dialogs/SourceDlg.h"
#include "platform/WindowSystem.h"
#include "platform/gtk/GtkBackend.h"
#include "res/ProgramResources.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"

#include <cairo.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Values = std::map<std::string, std::string>;

std::string Value(const Values& values, const char* name)
{
    auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
}

int IntValue(const Values& values, const char* name, int fallback)
{
    std::string text = Value(values, name);
    return text.empty() ? fallback : std::atoi(text.c_str());
}

// What the driver knows of the dialog being run: its background and the edits to report.
struct Shown {
    CSkinDlg* dialog = nullptr;
    int backgroundId = 0;
    std::vector<int> edits;
};

// The hidden main window: takes the position dialog's applied records.
class ApplyReceiver final : public CWnd {
protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message != WM_APPLY_POSITION)
            return CWnd::OnWndMsg(message, wParam, lParam, result);
        *result = 0;
        if (wParam != 1)
            return true;
        std::unique_ptr<PositionApply> record = TakePositionApply(lParam);
        printf("applied=%d,%d,%d\n", record->PosType, record->PosX, record->PosY);
        fflush(stdout);
        *result = TRUE;
        return true;
    }
};

bool Inside(const RECT& rect, int x, int y)
{
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

bool WritePng(const std::vector<uint32_t>& pixels, int width, int height, const std::string& path)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
        std::memcpy(data + static_cast<size_t>(y) * stride, pixels.data() + static_cast<size_t>(y) * width,
                    static_cast<size_t>(width) * 4);
    cairo_surface_mark_dirty(surface);
    bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

// Prints the dialog's place, the background pixels that differ from the bitmap outside every
// child window and the close button, the cut pixels that show the window, and the fields.
// Writes the whole screen as a PNG.
void ShootScreen(GtkBackend& backend, const std::string& path)
{
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::vector<uint32_t> screen;
    bool written = backend.ScreenPixels(area, screen) && WritePng(screen, area.right, area.bottom, path);
    printf("screen-shot=%s\n", written ? "written" : "failed");
    fflush(stdout);
}

void Probe(GtkBackend& backend, const Shown& shown, const std::string& shotPath)
{
    HWND dialog = shown.dialog->m_hWnd;
    RECT window;
    GetWindowRect(dialog, &window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    std::vector<uint32_t> screen;
    if (!backend.ScreenPixels(window, screen)) {
        printf("probe=failed\n");
        fflush(stdout);
        return;
    }
    std::vector<RECT> children = {shown.dialog->GetCloseButtonRect()};
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        RECT rect;
        GetWindowRect(child, &rect);
        OffsetRect(&rect, -window.left, -window.top);
        children.push_back(rect);
    }
    const SkinBitmap* background = FindSkinBitmap(shown.backgroundId);
    long mismatches = 0;
    long cutDrawn = 0;
    for (int y = 0; y < background->height && y < height; ++y) {
        for (int x = 0; x < background->width && x < width; ++x) {
            uint32_t want = background->pixels[static_cast<size_t>(y) * background->width + x];
            uint32_t seen = screen[static_cast<size_t>(y) * width + x];
            if (want == 0xFF00FF) {
                cutDrawn += seen == 0xFF00FF;
                continue;
            }
            bool onChild = false;
            for (const RECT& rect : children)
                onChild = onChild || Inside(rect, x, y);
            mismatches += !onChild && seen != want;
        }
    }
    printf("window=%ld,%ld background-mismatches=%ld cut-pixels-drawn=%ld", static_cast<long>(window.left),
           static_cast<long>(window.top), mismatches, cutDrawn);
    for (int id : shown.edits)
        printf(" f%d=[%s]", id, GetWindowTextString(GetDlgItem(dialog, id)).c_str());
    HWND focus = GetFocus();
    printf(" focus=%d", focus && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0);
    if (!shotPath.empty())
        printf(" shot=%s", WritePng(screen, width, height, shotPath) ? "written" : "failed");
    printf("\n");
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: tessmark-dialogs-demo notice|about|source|markfile|output|position "
                        "[--probe] [--shot FILE] [NAME=VALUE ...]\n");
        return 2;
    }
    std::string which = argv[1];
    bool probe = false;
    std::string shotPath;
    std::string screenPath;
    Values values;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--probe") == 0) {
            probe = true;
        } else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) {
            shotPath = argv[++i];
        } else if (std::strcmp(argv[i], "--screen-shot") == 0 && i + 1 < argc) {
            screenPath = argv[++i];
        } else if (const char* equals = std::strchr(argv[i], '=')) {
            values[std::string(argv[i], static_cast<size_t>(equals - argv[i]))] = equals + 1;
        }
    }
    std::unique_ptr<GtkBackend> owned = GtkBackend::Create();
    if (!owned) {
        fprintf(stderr, "tessmark-dialogs-demo: cannot open a display (is DISPLAY set?)\n");
        return 1;
    }
    GtkBackend& backend = *owned;
    WindowSystem system(std::move(owned));
    AddProgramResources(system.Resources());
    ApplyReceiver main;
    main.CreateEx(0, nullptr, "Tessmark", WS_POPUP, {0, 0, 1, 1}, nullptr, 0);
    system.SetMainWindow(&main);

    CNoticeDlg notice;
    CAboutDlg about;
    CSourceDlg source;
    CMarkFileDlg markFile;
    COutputDlg output;
    CPositionDlg position;
    Shown shown;
    if (which == "notice") {
        notice.m_strMessage = values.count("message") ? Value(values, "message") : "处理完毕";
        shown = {&notice, IDB_NOTICE_BACKGROUND, {}};
    } else if (which == "about") {
        shown = {&about, IDB_ABOUT_BACKGROUND, {}};
    } else if (which == "source") {
        source.m_nSrcFileType = IntValue(values, "mode", 0);
        source.m_strSrcFolderSite = Value(values, "folder");
        source.m_strSrcFileSite = Value(values, "files");
        shown = {&source, IDB_SOURCE_BACKGROUND, {IDC_SRC_FOLDER_EDIT, IDC_SRC_FILES_EDIT}};
    } else if (which == "markfile") {
        markFile.m_strWaterMarkFileSite = Value(values, "mark");
        shown = {&markFile, IDB_MARKFILE_BACKGROUND, {IDC_MARK_EDIT}};
    } else if (which == "output") {
        output.m_strOutputFolderSite = Value(values, "output");
        shown = {&output, IDB_OUTPUT_BACKGROUND, {IDC_OUTPUT_EDIT}};
    } else if (which == "position") {
        position.m_nPosType = IntValue(values, "corner", 0);
        position.m_nPosX = IntValue(values, "x", 0);
        position.m_nPosY = IntValue(values, "y", 0);
        shown = {&position,
                 IDB_POSITION_BACKGROUND,
                 {IDC_POS_X_TOPLEFT, IDC_POS_Y_TOPLEFT, IDC_POS_X_TOPRIGHT, IDC_POS_Y_TOPRIGHT, IDC_POS_X_BOTTOMLEFT,
                  IDC_POS_Y_BOTTOMLEFT, IDC_POS_X_BOTTOMRIGHT, IDC_POS_Y_BOTTOMRIGHT}};
    } else {
        fprintf(stderr, "tessmark-dialogs-demo: no dialog named %s\n", which.c_str());
        return 2;
    }
    if (probe) {
        backend.WatchSignal(SIGUSR2, [&backend, &shown, &shotPath] {
            if (IsWindow(shown.dialog->m_hWnd))
                Probe(backend, shown, shotPath);
        });
        if (!screenPath.empty())
            backend.WatchSignal(SIGHUP, [&backend, &screenPath] { ShootScreen(backend, screenPath); });
        printf("ready\n");
        fflush(stdout);
    }
    intptr_t result = shown.dialog->DoModal();
    printf("result=%s\n", result == IDOK ? "ok" : result == IDCANCEL ? "cancel" : "failed");
    if (which == "source")
        printf("mode=%d folder=[%s] files=[%s]\n", source.m_nSrcFileType, source.m_strSrcFolderSite.c_str(),
               source.m_strSrcFileSite.c_str());
    if (which == "markfile")
        printf("mark=[%s]\n", markFile.m_strWaterMarkFileSite.c_str());
    if (which == "output")
        printf("output=[%s]\n", output.m_strOutputFolderSite.c_str());
    if (which == "position")
        printf("position=%d,%d,%d\n", position.m_nPosType, position.m_nPosX, position.m_nPosY);
    fflush(stdout);
    main.DestroyWindow();
    return result == IDOK || result == IDCANCEL ? 0 : 1;
}
