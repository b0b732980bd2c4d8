// The desktop back end: shows the window system's top-level surfaces in undecorated GTK 3
// windows and feeds GTK's input back; native choosers, message box, edits and web view.
#pragma once

#include "platform/Backend.h"

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

class GtkBackend final : public Backend {
public:
    // Initialises GTK; answers null when no display can be opened.
    static std::unique_ptr<GtkBackend> Create();
    ~GtkBackend() override;
    GtkBackend(const GtkBackend&) = delete;
    GtkBackend& operator=(const GtkBackend&) = delete;

    void Attach(WindowSystem& system) override;
    uint64_t Now() override;
    WaitResult WaitForEvents(uint64_t deadline) override;
    void Wake() override;

    void TopLevelCreated(HWND window, const Surface& surface) override;
    void TopLevelChanged(HWND window, TopLevelChange change) override;
    void SurfaceUpdated(HWND window, const RECT& dirty) override;
    void TopLevelDestroyed(HWND window) override;

    void NativeChildChanged(HWND child, NativeChildKind kind) override;
    void NativeChildDestroyed(HWND child) override;
    void WebNavigate(HWND webView, const std::string& url) override;

    void CaptureChanged(HWND window) override;
    void SetCursorShape(CursorShape shape) override;
    bool BeginMoveDrag(HWND window, POINT screenPoint) override;
    RECT WorkArea() override;

    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    std::optional<std::vector<std::string>> ChooseFiles(const FileChooserRequest& request) override;
    std::optional<std::string> ChooseFolder(const FolderChooserRequest& request) override;
    UINT TrackPopupMenu(HMENU menu, POINT screenPoint, HWND owner) override;
    bool OpenAddress(const std::string& address) override;

    // For tests and tools: the GTK window showing a top-level window (a GtkWidget*), or null.
    void* NativeWindow(HWND window) const;
    // For tests and tools: what the screen shows in `area` (screen pixels), as top-down
    // 0x00RRGGBB rows, read back from the display server; false when it cannot be read.
    bool ScreenPixels(const RECT& area, std::vector<uint32_t>& pixels) const;
    // For tests and tools: runs `handler` on the user-interface thread whenever the process
    // receives the POSIX signal `signalNumber` (SIGHUP, SIGINT, SIGTERM, SIGUSR1 or SIGUSR2).
    void WatchSignal(int signalNumber, std::function<void()> handler);

    // The window system this back end is attached to (its signal handlers reach it here).
    WindowSystem& System() const { return *m_System; }

    struct TopLevel;
    struct NativeChild;

private:
    GtkBackend();

    TopLevel* FindTopLevel(HWND window) const;
    void* ParentWidget(HWND window) const;
    void ApplyGeometry(TopLevel& top);
    void ApplyShape(TopLevel& top);
    void ApplyIcon(TopLevel& top);
    void ApplyState(TopLevel& top);
    void ApplyCursor(TopLevel& top);
    void PlaceNativeChild(NativeChild& child);
    // Runs the window system's loop until `done` is set; native modal parts use it so that
    // timers and painting go on while they are open.
    void RunNestedLoop(const bool& done);

    WindowSystem* m_System = nullptr;
    std::map<HWND, std::unique_ptr<TopLevel>> m_TopLevels;
    std::map<HWND, std::unique_ptr<NativeChild>> m_NativeChildren;
    CursorShape m_Cursor = CursorShape::Arrow;
    void* m_EditStyle = nullptr;                        // GtkCssProvider for edit fields
    std::list<std::function<void()>> m_SignalHandlers;  // stable addresses for GLib
    std::vector<unsigned> m_SignalSources;
};
