// The in-process window system: the windows, their messages, painting into top-level surfaces,
// input routing, timers and the message loop, over one back end.
//
// One WindowSystem is current per process (the Win32 calls of WinUser.h reach it through
// WindowSystem::Current()); it is created by the program or a test with its back end and must
// outlive every window. Everything runs on the thread that created it (the user-interface
// thread). Calls from other threads (Send, Post, Invalidate, the timers, InvokeOnUiThread and
// IsAlive) are marshalled to that thread before any window record is read; window records are
// never touched elsewhere. A handle names one window only: a destroyed window's record is
// retired, not freed, until the system ends, so a later window never gets its handle.
#pragma once

#include "platform/Backend.h"
#include "platform/ResourceTable.h"
#include "platform/WinUser.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Surface.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CWnd;

// The built-in window classes; their procedures are the "default processing".
enum class WindowClass { Generic, Dialog, Button, Static, Edit, WebView };

// The window system's record of one window. Only the window system changes it; back ends and
// the Win32 calls read it through the accessors, on the user-interface thread only.
class Window {
public:
    HWND Parent() const { return Checked(m_Parent); }
    HWND Owner() const { return Checked(m_Owner); }
    const std::vector<HWND>& Children() const { return Checked(m_Children); }
    CWnd* Object() const { return Checked(m_Object); }

    const RECT& Rect() const { return Checked(m_Rect); }
    const RECT& ClientInset() const { return Checked(m_ClientInset); }
    DWORD Style() const { return Checked(m_Style); }
    DWORD ExStyle() const { return Checked(m_ExStyle); }
    int Id() const { return Checked(m_Id); }
    const std::string& Text() const { return Checked(m_Text); }
    HICON SmallIcon() const { return Checked(m_SmallIcon); }
    HICON BigIcon() const { return Checked(m_BigIcon); }
    LONG_PTR UserData() const { return Checked(m_UserData); }

    const Region& UpdateRegion() const { return Checked(m_Update); }
    HRGN Shape() const { return Checked(m_Shape); }

    int SelectionStart() const { return Checked(m_SelectionStart); }
    int SelectionEnd() const { return Checked(m_SelectionEnd); }

    bool DialogEnded() const { return Checked(m_DialogEnded); }
    int DialogResult() const { return Checked(m_DialogResult); }

private:
    friend class WindowSystem;

    // Records belong to the user-interface thread; a read from elsewhere is a fault.
    template <typename T>
    static const T& Checked(const T& field)
    {
        AssertUiThread();
        return field;
    }
#ifdef NDEBUG
    static void AssertUiThread() {}
#else
    static void AssertUiThread();
#endif

    WindowClass m_Class = WindowClass::Generic;
    std::string m_ClassName;
    HWND m_Parent = nullptr;       // children only
    HWND m_Owner = nullptr;        // top-level windows only
    std::vector<HWND> m_Children;  // z-order, topmost first
    CWnd* m_Object = nullptr;      // the framework object handling the window's messages

    RECT m_Rect;         // screen pixels (top-level) or parent client pixels (child)
    RECT m_ClientInset;  // client rectangle inside the window rectangle (window pixels)
    DWORD m_Style = 0;
    DWORD m_ExStyle = 0;
    int m_Id = 0;
    std::string m_Text;
    HFONT m_Font = nullptr;
    HICON m_SmallIcon = nullptr;
    HICON m_BigIcon = nullptr;
    LONG_PTR m_UserData = 0;

    Region m_Update;  // client pixels
    bool m_EraseNeeded = false;

    HRGN m_Shape = nullptr;              // window region (window pixels), owned
    std::unique_ptr<Surface> m_Surface;  // top-level windows only
    RECT m_RestoreRect;
    HMENU m_SystemMenu = nullptr;

    // Control state of the built-in classes.
    bool m_Pushed = false;
    UINT m_Check = BST_UNCHECKED;
    int m_SelectionStart = 0;
    int m_SelectionEnd = 0;

    // Modal dialog state.
    bool m_DialogEnded = false;
    int m_DialogResult = 0;

    bool m_Destroying = false;
};

enum class MouseButton { Left, Right };

class WindowSystem {
public:
    explicit WindowSystem(std::unique_ptr<Backend> backend);
    ~WindowSystem();
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;

    static WindowSystem& Current();
    static WindowSystem* CurrentOrNull();

    Backend& GetBackend() { return *m_Backend; }
    ResourceTable& Resources() { return m_Resources; }

    // The application's main window: the owner of dialogs created without a parent.
    void SetMainWindow(CWnd* window) { m_MainWindow = window; }
    CWnd* GetMainWindow() const { return m_MainWindow; }

    // ---- Message loop ----
    // Does one piece of pending work (a cross-thread call, a posted message, a due timer, a
    // paint). With nothing pending it answers false, or with `wait` asks the back end to wait;
    // it answers false only when the back end stalled.
    bool PumpOne(bool wait);
    void RunUntilIdle();
    // Pumps until `done` answers true; false when the back end stalled first.
    bool RunModalLoop(const std::function<bool()>& done);
    uint64_t NextTimerDue() const;  // UINT64_MAX: none

    bool IsUiThread() const { return std::this_thread::get_id() == m_UiThread; }
    // Runs `call` on the user-interface thread and waits for it (directly when already there).
    void InvokeOnUiThread(const std::function<void()>& call);
    // Runs the cross-thread calls queued now, nothing else; on the user-interface thread. What an
    // owner waiting for a worker serves meanwhile (BatchRun::Stop), so the worker cannot block
    // on it.
    void ServeCrossThreadCalls();

    // ---- Input entries for back ends (screen pixels; modifiers are MK_SHIFT | MK_CONTROL) ----
    void MouseMove(POINT screenPoint, UINT modifiers);
    void MouseButtonEvent(MouseButton button, bool down, POINT screenPoint, UINT modifiers);
    void KeyEvent(int virtualKey, bool down);
    void CharEvent(uint32_t codePoint);
    void TopLevelMovedByUser(HWND window, POINT topLeft);
    void CloseRequested(HWND window);
    void NativeEditChanged(HWND edit, const std::string& text);

    // ---- Read access for back ends and tests ----
    std::vector<HWND> TopLevelWindows() const;  // z-order, topmost first
    const Surface* TopLevelSurface(HWND window) const;
    // The colour a screen pixel shows: the topmost visible window whose shape holds it, or
    // `desktop` where none does.
    uint32_t ScreenPixel(int x, int y, uint32_t desktop = 0) const;
    bool IsMoveLoopRunning() const { return m_Move.active; }
    // Client origin of a window inside its top-level surface.
    POINT SurfaceOrigin(HWND window) const;

    // ---- Used by the Win32 calls ----
    // From any thread; false for a destroyed window's handle for good.
    bool IsAlive(HWND window) const;
    // `object` handles the window's messages from its very first one.
    HWND Create(DWORD exStyle, const std::string& className, const std::string& text, DWORD style, RECT rect,
                HWND parent, int id, CWnd* object = nullptr);
    HBRUSH SysColorBrush(int index);
    void Destroy(HWND window);
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Invalidate(HWND window, const Region* clientRegion, bool erase, bool children);
    HDC BeginPaintFor(HWND window, PAINTSTRUCT* paint);
    void EndPaintFor(HWND window, const PAINTSTRUCT* paint);
    HDC ClientDC(HWND window);
    void ReleaseClientDC(HDC dc);
    void SetPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    void Show(HWND window, int command);
    void Enable(HWND window, bool enable);
    void SetText(HWND window, const std::string& text);
    void SetShape(HWND window, HRGN region, bool redraw);
    void SetStyle(HWND window, DWORD style);
    HWND HitWindow(POINT screenPoint) const;
    RECT ClientRectOnScreen(HWND window) const;
    RECT WindowRectOnScreen(HWND window) const;
    HWND TopLevelOf(HWND window) const;
    // Record changes the Win32 calls make; on the user-interface thread.
    void SetObject(HWND window, CWnd* object);
    void SetExStyle(HWND window, DWORD exStyle);
    void SetId(HWND window, int id);
    void SetUserData(HWND window, LONG_PTR value);
    // Takes `clientRect` out of what needs painting; null: the whole client area, and no erase.
    void Validate(HWND window, const RECT* clientRect);
    void EndDialogWith(HWND dialog, int result);

    POINT CursorPos() const { return m_Cursor; }
    void SetCursorPosition(POINT point) { m_Cursor = point; }
    bool IsKeyDown(int virtualKey) const;
    HWND Capture() const { return m_Capture; }
    HWND SetCaptureWindow(HWND window);
    HWND Focus() const { return m_Focus; }
    HWND SetFocusWindow(HWND window);
    HWND ActiveWindow() const { return m_Active; }
    bool TrackLeave(HWND window, bool cancel);
    HCURSOR SetCursorHandle(HCURSOR cursor);
    HCURSOR CursorHandle() const { return m_CursorHandle; }
    HCURSOR StockCursor(uintptr_t id);
    UINT_PTR SetTimerFor(HWND window, UINT_PTR id, UINT elapse);
    bool KillTimerFor(HWND window, UINT_PTR id);
    bool DragFullWindows() const { return m_DragFullWindows; }
    void SetDragFullWindows(bool value) { m_DragFullWindows = value; }
    HMENU SystemMenu(HWND window, bool revert);
    HINSTANCE Instance() const { return m_Instance.get(); }
    void RunMoveLoop(HWND window);

private:
    struct PostedMessage {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    struct Timer {
        HWND window;
        UINT_PTR id;
        UINT interval;
        uint64_t due;
        uint64_t order;
    };
    struct DcRecord {
        HWND topLevel;
        RECT bounds;  // surface pixels
    };
    struct MoveLoop {
        bool active = false;
        HWND window = nullptr;
        POINT startCursor;
        RECT startRect;
    };
    struct LastClick {
        HWND window = nullptr;
        MouseButton button = MouseButton::Left;
        uint64_t time = 0;
        POINT point;
        bool armed = false;
    };

    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintButton(HWND window, HDC dc);
    void PaintStatic(HWND window, HDC dc);
    void PaintEdit(HWND window, HDC dc);
    void PaintNonClient(HWND window);
    void ClickButton(HWND window);
    void NotifyNative(HWND window);

    bool RunCrossThreadCalls();
    bool FireDueTimer();
    HWND FindPaintTarget(HWND window) const;
    void RouteMouse(UINT clientMessage, POINT screenPoint);
    void EndMoveLoop(bool applyFinal);
    UINT MouseKeyFlags() const;
    Region VisibleClientRegion(HWND window) const;  // surface pixels
    HDC MakeDC(HWND window, const Region& clip);
    void RecomputeClient(HWND window);
    void SendSizeMessages(HWND window, bool moved, bool sized);
    std::vector<HWND>& SiblingList(HWND window);
    void ActivateTopLevel(HWND window);
    void TopLevelNotice(HWND window, TopLevelChange change);
    HWND DialogOf(HWND window) const;
    void DialogKey(HWND dialog, int virtualKey);

    std::unique_ptr<Backend> m_Backend;
    ResourceTable m_Resources;
    std::thread::id m_UiThread;
    CWnd* m_MainWindow = nullptr;

    std::set<HWND> m_Windows;                        // written on the user-interface thread under m_PostMutex
    std::vector<std::unique_ptr<Window>> m_Retired;  // destroyed windows' emptied records
    std::vector<HWND> m_TopLevels;                   // z-order, topmost first

    mutable std::mutex m_PostMutex;
    std::deque<PostedMessage> m_Posted;
    std::deque<std::function<void()>> m_CrossThreadCalls;

    std::vector<Timer> m_Timers;
    uint64_t m_TimerOrder = 0;

    std::map<HDC, DcRecord> m_Dcs;

    POINT m_Cursor;
    UINT m_Modifiers = 0;
    bool m_LeftDown = false;
    bool m_RightDown = false;
    std::set<int> m_KeysDown;
    HWND m_Capture = nullptr;
    HWND m_Focus = nullptr;
    HWND m_Active = nullptr;
    std::set<HWND> m_LeaveTracking;
    HCURSOR m_CursorHandle = nullptr;
    std::map<uintptr_t, std::unique_ptr<CursorObject>> m_Cursors;
    LastClick m_LastClick;
    MoveLoop m_Move;
    bool m_DragFullWindows = true;
    std::unique_ptr<InstanceObject> m_Instance;
    std::vector<std::unique_ptr<MenuObject>> m_Menus;
    std::map<int, HBRUSH> m_SysBrushes;
};

// A menu: items in order. Popup menus and system menus.
struct MenuItem {
    UINT id = 0;
    std::string text;
    UINT flags = 0;  // MF_GRAYED, MF_DISABLED, MF_SEPARATOR
};
struct MenuObject {
    std::vector<MenuItem> items;
};
struct CursorObject {
    CursorShape shape = CursorShape::Arrow;
};
struct InstanceObject {
    int unused = 0;
};

// The web control: hands the address to the back end, which shows (or, headless, records) it.
void WebViewNavigate(HWND webView, const std::string& url);
