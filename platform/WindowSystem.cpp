// The window system: window records, message dispatch, the loop, timers and painting.
#include "platform/WindowSystem.h"
#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/base/AsciiCase.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

// The one current window system: the Win32 calls are free functions and reach it here.
WindowSystem* g_Current = nullptr;

constexpr int kCaptionHeight = 19;
constexpr int kDialogFrame = 3;
constexpr int kThickFrame = 4;

WindowClass ClassFromName(const std::string& name)
{
    auto equals = [&](const char* other) { return EqualsIgnoringAsciiCase(name, other); };
    if (equals(WC_BUTTON))
        return WindowClass::Button;
    if (equals(WC_STATIC))
        return WindowClass::Static;
    if (equals(WC_EDIT))
        return WindowClass::Edit;
    if (equals(WC_DIALOG))
        return WindowClass::Dialog;
    if (equals(WC_WEBVIEW) || (!name.empty() && name.front() == '{'))
        return WindowClass::WebView;
    return WindowClass::Generic;
}

}  // namespace

using namespace WindowGeometry;

WindowSystem::WindowSystem(std::unique_ptr<Backend> backend)
    : m_Backend(std::move(backend)), m_UiThread(std::this_thread::get_id()),
      m_Instance(std::make_unique<InstanceObject>())
{
    // Win32 calls reach one window system; a second one at the same time is a programming error.
    if (g_Current != nullptr)
        std::abort();
    g_Current = this;
    m_Backend->Attach(*this);
}

WindowSystem::~WindowSystem()
{
    while (!m_TopLevels.empty())
        Destroy(m_TopLevels.front());
    for (auto& [index, brush] : m_SysBrushes) {
        brush->m_Stock = false;
        DeleteObject(brush);
    }
    g_Current = nullptr;
}

WindowSystem& WindowSystem::Current()
{
    assert(g_Current != nullptr);
    return *g_Current;
}

WindowSystem* WindowSystem::CurrentOrNull()
{
    return g_Current;
}

#ifndef NDEBUG
void Window::AssertUiThread()
{
    assert(g_Current == nullptr || g_Current->IsUiThread());
}
#endif

HBRUSH WindowSystem::SysColorBrush(int index)
{
    HBRUSH& brush = m_SysBrushes[index];
    if (!brush) {
        brush = CreateSolidBrush(GetSysColor(index));
        // Like the stock objects, system colour brushes ignore DeleteObject from callers.
        if (brush)
            brush->m_Stock = true;
    }
    return brush;
}

// ---- Window records ------------------------------------------------------------------------

std::vector<HWND>& WindowSystem::SiblingList(HWND window)
{
    return window->m_Parent ? window->m_Parent->m_Children : m_TopLevels;
}

HWND WindowSystem::Create(DWORD exStyle, const std::string& className, const std::string& text, DWORD style, RECT rect,
                          HWND parent, int id, CWnd* object)
{
    assert(IsUiThread());
    if (parent && !IsAlive(parent))
        return nullptr;
    auto* window = new Window;
    window->m_Class = ClassFromName(className);
    window->m_ClassName = className;
    window->m_Style = style & ~WS_VISIBLE;
    window->m_ExStyle = exStyle;
    window->m_Text = text;
    window->m_Id = id;
    window->m_Rect = rect;
    window->m_Object = object;
    if (object)
        object->m_hWnd = window;
    if (style & WS_CHILD) {
        window->m_Parent = parent;
        // New controls go to the bottom of the z-order, so the first control stays on top.
        parent->m_Children.push_back(window);
    } else {
        window->m_Owner = parent ? TopLevelOf(parent) : nullptr;
        window->m_Surface = std::make_unique<Surface>(std::max(0, Width(rect)), std::max(0, Height(rect)), 0);
        m_TopLevels.insert(m_TopLevels.begin(), window);
    }
    {
        std::lock_guard lock(m_PostMutex);
        m_Windows.insert(window);
    }
    if (!window->m_Parent)
        m_Backend->TopLevelCreated(window, *window->m_Surface);
    RecomputeClient(window);
    if (window->m_Class == WindowClass::Edit || window->m_Class == WindowClass::WebView)
        NotifyNative(window);
    return window;
}

void WindowSystem::Destroy(HWND window)
{
    assert(IsUiThread());
    if (!IsAlive(window) || window->m_Destroying)
        return;
    window->m_Destroying = true;
    if (m_Move.active && m_Move.window == window)
        EndMoveLoop(false);
    // Owned top-level windows go first, as on Windows.
    for (HWND other : std::vector<HWND>(m_TopLevels))
        if (other->m_Owner == window)
            Destroy(other);
    Send(window, WM_DESTROY, 0, 0);
    for (HWND child : std::vector<HWND>(window->m_Children))
        Destroy(child);
    Send(window, WM_NCDESTROY, 0, 0);
    if (window->m_Object)
        window->m_Object->DetachAfterDestroy();

    std::erase_if(m_Timers, [&](const Timer& t) { return t.window == window; });
    {
        std::lock_guard lock(m_PostMutex);
        std::erase_if(m_Posted, [&](const PostedMessage& m) { return m.window == window; });
    }
    if (m_Capture == window)
        SetCaptureWindow(nullptr);
    if (m_Focus == window)
        m_Focus = nullptr;
    if (m_Active == window)
        m_Active = nullptr;
    m_LeaveTracking.erase(window);
    if (m_LastClick.window == window)
        m_LastClick = {};

    auto& siblings = SiblingList(window);
    std::erase(siblings, window);
    if (window->m_Class == WindowClass::Edit || window->m_Class == WindowClass::WebView)
        m_Backend->NativeChildDestroyed(window);
    if (!window->m_Parent) {
        m_Backend->TopLevelDestroyed(window);
        if (!m_TopLevels.empty() && !m_Active)
            ActivateTopLevel(m_TopLevels.front());
    } else if (IsWindowVisible(window)) {
        Region area = RectRegion(window->m_Rect);
        Invalidate(window->m_Parent, &area, true, true);
    }
    if (window->m_Shape)
        DeleteObject(window->m_Shape);
    if (window->m_SystemMenu) {
        std::erase_if(m_Menus, [&](const std::unique_ptr<MenuObject>& m) { return m.get() == window->m_SystemMenu; });
    }
    {
        std::lock_guard lock(m_PostMutex);
        m_Windows.erase(window);
    }
    // The emptied record keeps its address, so the handle is never given to another window
    // while a worker or a queued message may still name it.
    *window = Window();
    m_Retired.emplace_back(window);
}

HWND WindowSystem::TopLevelOf(HWND window) const
{
    while (window && window->m_Parent)
        window = window->m_Parent;
    return window;
}

void WindowSystem::SetObject(HWND window, CWnd* object)
{
    window->m_Object = object;
}

void WindowSystem::SetExStyle(HWND window, DWORD exStyle)
{
    window->m_ExStyle = exStyle;
}

void WindowSystem::SetId(HWND window, int id)
{
    window->m_Id = id;
}

void WindowSystem::SetUserData(HWND window, LONG_PTR value)
{
    window->m_UserData = value;
}

void WindowSystem::Validate(HWND window, const RECT* clientRect)
{
    if (!clientRect) {
        window->m_Update = Region();
        window->m_EraseNeeded = false;
    } else if (clientRect->right > clientRect->left && clientRect->bottom > clientRect->top) {
        window->m_Update = Region::Combine(window->m_Update, Region(*clientRect), Region::Operation::Diff);
    }
}

void WindowSystem::EndDialogWith(HWND dialog, int result)
{
    dialog->m_DialogEnded = true;
    dialog->m_DialogResult = result;
}

void WindowSystem::RecomputeClient(HWND window)
{
    RECT proposed = {0, 0, Width(window->m_Rect), Height(window->m_Rect)};
    RECT computed = proposed;
    Send(window, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&computed));
    if (computed.right < computed.left)
        computed.right = computed.left;
    if (computed.bottom < computed.top)
        computed.bottom = computed.top;
    window->m_ClientInset = computed;
}

RECT WindowSystem::WindowRectOnScreen(HWND window) const
{
    if (!window->m_Parent)
        return window->m_Rect;
    RECT parentClient = ClientRectOnScreen(window->m_Parent);
    return Offset(window->m_Rect, parentClient.left, parentClient.top);
}

RECT WindowSystem::ClientRectOnScreen(HWND window) const
{
    RECT outer = WindowRectOnScreen(window);
    return Offset(window->m_ClientInset, outer.left, outer.top);
}

POINT WindowSystem::SurfaceOrigin(HWND window) const
{
    HWND top = TopLevelOf(window);
    RECT client = ClientRectOnScreen(window);
    return {client.left - top->m_Rect.left, client.top - top->m_Rect.top};
}

std::vector<HWND> WindowSystem::TopLevelWindows() const
{
    return m_TopLevels;
}

const Surface* WindowSystem::TopLevelSurface(HWND window) const
{
    if (!IsAlive(window) || window->m_Parent)
        return nullptr;
    return window->m_Surface.get();
}

uint32_t WindowSystem::ScreenPixel(int x, int y, uint32_t desktop) const
{
    for (HWND top : m_TopLevels) {
        if (!(top->m_Style & WS_VISIBLE) || (top->m_Style & WS_MINIMIZE))
            continue;
        int wx = x - top->m_Rect.left;
        int wy = y - top->m_Rect.top;
        if (!top->m_Surface->Contains(wx, wy))
            continue;
        if (top->m_Shape && !top->m_Shape->m_Region.Contains(wx, wy))
            continue;
        return top->m_Surface->Pixel(wx, wy);
    }
    return desktop;
}

// ---- Messages ------------------------------------------------------------------------------

bool WindowSystem::IsAlive(HWND window) const
{
    if (!window)
        return false;
    if (IsUiThread())
        return m_Windows.count(window) != 0;
    std::lock_guard lock(m_PostMutex);
    return m_Windows.count(window) != 0;
}

LRESULT WindowSystem::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The liveness check happens on the user-interface thread, where windows are destroyed.
    if (!IsUiThread()) {
        LRESULT result = 0;
        InvokeOnUiThread([&] { result = Send(window, message, wParam, lParam); });
        return result;
    }
    if (!IsAlive(window))
        return 0;
    return Dispatch(window, message, wParam, lParam);
}

LRESULT WindowSystem::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    assert(IsUiThread());
    // The dispatcher is the one place that stops exceptions: a failing handler loses its
    // message, never the program.
    try {
        if (window->m_Object)
            return window->m_Object->WindowProc(message, wParam, lParam);
        return ClassProc(window, message, wParam, lParam);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "window message 0x%04x failed: %s\n", message, e.what());
    } catch (...) {
        std::fprintf(stderr, "window message 0x%04x failed\n", message);
    }
    return 0;
}

bool WindowSystem::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(m_PostMutex);
        m_Posted.push_back({window, message, wParam, lParam});
    }
    if (!IsUiThread())
        m_Backend->Wake();
    return true;
}

void WindowSystem::InvokeOnUiThread(const std::function<void()>& call)
{
    if (IsUiThread()) {
        call();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    {
        std::lock_guard lock(m_PostMutex);
        m_CrossThreadCalls.push_back([&] {
            call();
            std::lock_guard doneLock(doneMutex);
            done = true;
            doneSignal.notify_all();
        });
    }
    m_Backend->Wake();
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

bool WindowSystem::RunCrossThreadCalls()
{
    std::function<void()> call;
    {
        std::lock_guard lock(m_PostMutex);
        if (m_CrossThreadCalls.empty())
            return false;
        call = std::move(m_CrossThreadCalls.front());
        m_CrossThreadCalls.pop_front();
    }
    call();
    return true;
}

void WindowSystem::ServeCrossThreadCalls()
{
    assert(IsUiThread());
    while (RunCrossThreadCalls()) {}
}

bool WindowSystem::PumpOne(bool wait)
{
    if (RunCrossThreadCalls())
        return true;
    PostedMessage posted{};
    bool havePosted = false;
    {
        std::lock_guard lock(m_PostMutex);
        if (!m_Posted.empty()) {
            posted = m_Posted.front();
            m_Posted.pop_front();
            havePosted = true;
        }
    }
    if (havePosted) {
        Send(posted.window, posted.message, posted.wParam, posted.lParam);
        return true;
    }
    if (FireDueTimer())
        return true;
    for (HWND top : std::vector<HWND>(m_TopLevels)) {
        if (HWND target = FindPaintTarget(top)) {
            Send(target, WM_PAINT, 0, 0);
            // A WM_PAINT handler that draws nothing and validates nothing must not loop.
            if (IsAlive(target) && !target->m_Update.IsEmpty()) {
                target->m_Update = Region();
                target->m_EraseNeeded = false;
            }
            return true;
        }
    }
    if (!wait)
        return false;
    return m_Backend->WaitForEvents(NextTimerDue()) != WaitResult::Stalled;
}

void WindowSystem::RunUntilIdle()
{
    while (PumpOne(false)) {}
}

bool WindowSystem::RunModalLoop(const std::function<bool()>& done)
{
    while (!done()) {
        if (!PumpOne(true))
            return false;
    }
    return true;
}

// ---- Timers --------------------------------------------------------------------------------

UINT_PTR WindowSystem::SetTimerFor(HWND window, UINT_PTR id, UINT elapse)
{
    if (!IsUiThread()) {
        UINT_PTR result = 0;
        InvokeOnUiThread([&] { result = SetTimerFor(window, id, elapse); });
        return result;
    }
    if (!IsAlive(window))
        return 0;
    UINT interval = std::max(elapse, USER_TIMER_MINIMUM);
    uint64_t due = m_Backend->Now() + interval;
    for (auto& timer : m_Timers) {
        if (timer.window == window && timer.id == id) {
            timer.interval = interval;
            timer.due = due;
            timer.order = ++m_TimerOrder;
            return id;
        }
    }
    m_Timers.push_back({window, id, interval, due, ++m_TimerOrder});
    return id;
}

bool WindowSystem::KillTimerFor(HWND window, UINT_PTR id)
{
    if (!IsUiThread()) {
        bool result = false;
        InvokeOnUiThread([&] { result = KillTimerFor(window, id); });
        return result;
    }
    auto count = std::erase_if(m_Timers, [&](const Timer& t) { return t.window == window && t.id == id; });
    return count != 0;
}

uint64_t WindowSystem::NextTimerDue() const
{
    uint64_t next = UINT64_MAX;
    for (const auto& timer : m_Timers)
        next = std::min(next, timer.due);
    return next;
}

bool WindowSystem::FireDueTimer()
{
    uint64_t now = m_Backend->Now();
    Timer* chosen = nullptr;
    for (auto& timer : m_Timers) {
        if (timer.due > now)
            continue;
        if (!chosen || timer.due < chosen->due || (timer.due == chosen->due && timer.order < chosen->order))
            chosen = &timer;
    }
    if (!chosen)
        return false;
    HWND window = chosen->window;
    UINT_PTR id = chosen->id;
    // The next tick counts from this one's due time; a late tick does not cause a burst.
    chosen->due = chosen->due + chosen->interval;
    if (chosen->due <= now)
        chosen->due = now + chosen->interval;
    Send(window, WM_TIMER, id, 0);
    return true;
}

// ---- Painting ------------------------------------------------------------------------------

HWND WindowSystem::FindPaintTarget(HWND window) const
{
    if (!(window->m_Style & WS_VISIBLE))
        return nullptr;
    if (!window->m_Parent && (window->m_Style & WS_MINIMIZE))
        return nullptr;
    if (!window->m_Update.IsEmpty())
        return window;
    for (auto it = window->m_Children.rbegin(); it != window->m_Children.rend(); ++it)
        if (HWND found = FindPaintTarget(*it))
            return found;
    return nullptr;
}

void WindowSystem::Invalidate(HWND window, const Region* clientRegion, bool erase, bool children)
{
    if (!IsUiThread()) {
        InvokeOnUiThread([&] { Invalidate(window, clientRegion, erase, children); });
        return;
    }
    if (!IsAlive(window) || !IsWindowVisible(window))
        return;
    RECT client = {0, 0, Width(window->m_ClientInset), Height(window->m_ClientInset)};
    Region area = RectRegion(client);
    if (clientRegion)
        area = Region::Combine(area, *clientRegion, Region::Operation::And);
    if (area.IsEmpty())
        return;
    window->m_Update = Region::Combine(window->m_Update, area, Region::Operation::Or);
    if (erase)
        window->m_EraseNeeded = true;
    if (!children || (window->m_Style & WS_CLIPCHILDREN))
        return;
    for (HWND child : window->m_Children) {
        if (!(child->m_Style & WS_VISIBLE))
            continue;
        Region childArea = area;
        childArea.Offset(-child->m_Rect.left - child->m_ClientInset.left,
                         -child->m_Rect.top - child->m_ClientInset.top);
        Invalidate(child, &childArea, erase, true);
    }
}

Region WindowSystem::VisibleClientRegion(HWND window) const
{
    POINT origin = SurfaceOrigin(window);
    RECT client = {origin.x, origin.y, origin.x + Width(window->m_ClientInset),
                   origin.y + Height(window->m_ClientInset)};
    Region visible = RectRegion(client);
    if (window->m_Style & WS_CLIPCHILDREN) {
        for (HWND child : window->m_Children) {
            if (!(child->m_Style & WS_VISIBLE))
                continue;
            visible = Region::Combine(visible, RectRegion(Offset(child->m_Rect, origin.x, origin.y)),
                                      Region::Operation::Diff);
        }
    }
    for (HWND node = window; node->m_Parent; node = node->m_Parent) {
        HWND parent = node->m_Parent;
        POINT parentOrigin = SurfaceOrigin(parent);
        RECT parentClient = {parentOrigin.x, parentOrigin.y, parentOrigin.x + Width(parent->m_ClientInset),
                             parentOrigin.y + Height(parent->m_ClientInset)};
        visible = Region::Combine(visible, RectRegion(parentClient), Region::Operation::And);
        if (node->m_Style & WS_CLIPSIBLINGS) {
            for (HWND sibling : parent->m_Children) {
                if (sibling == node)
                    break;  // only siblings above
                if (!(sibling->m_Style & WS_VISIBLE))
                    continue;
                visible = Region::Combine(visible, RectRegion(Offset(sibling->m_Rect, parentOrigin.x, parentOrigin.y)),
                                          Region::Operation::Diff);
            }
        }
    }
    return visible;
}

HDC WindowSystem::MakeDC(HWND window, const Region& clip)
{
    HWND top = TopLevelOf(window);
    RECT bounds = clip.IsEmpty() ? RECT{0, 0, 0, 0} : clip.Bounds();
    // A surface DC's device pixels count from its origin, the window's client corner; the
    // visible region bounds every clip call made on the DC.
    POINT origin = SurfaceOrigin(window);
    Region local = clip;
    local.Offset(-origin.x, -origin.y);
    HDC dc = CreateSurfaceDC(*top->m_Surface, origin, local);
    if (!dc)
        return nullptr;
    HFONT font = window->m_Font ? window->m_Font : reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (font)
        SelectObject(dc, font);
    m_Dcs[dc] = {top, bounds};
    return dc;
}

HDC WindowSystem::BeginPaintFor(HWND window, PAINTSTRUCT* paint)
{
    if (!IsAlive(window))
        return nullptr;
    Region update = window->m_Update;
    window->m_Update = Region();
    bool erase = window->m_EraseNeeded;
    window->m_EraseNeeded = false;
    POINT origin = SurfaceOrigin(window);
    Region surfaceUpdate = update;
    surfaceUpdate.Offset(origin.x, origin.y);
    Region clip = Region::Combine(surfaceUpdate, VisibleClientRegion(window), Region::Operation::And);
    HDC dc = MakeDC(window, clip);
    if (paint) {
        paint->hdc = dc;
        paint->rcPaint = update.IsEmpty() ? RECT{0, 0, 0, 0} : update.Bounds();
        paint->fErase = FALSE;
    }
    if (erase && dc) {
        LRESULT erased = Send(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        if (paint)
            paint->fErase = erased ? FALSE : TRUE;
    }
    return dc;
}

void WindowSystem::EndPaintFor(HWND, const PAINTSTRUCT* paint)
{
    if (paint && paint->hdc)
        ReleaseClientDC(paint->hdc);
}

HDC WindowSystem::ClientDC(HWND window)
{
    if (!IsAlive(window))
        return nullptr;
    return MakeDC(window, VisibleClientRegion(window));
}

void WindowSystem::ReleaseClientDC(HDC dc)
{
    auto found = m_Dcs.find(dc);
    if (found == m_Dcs.end())
        return;
    DcRecord record = found->second;
    m_Dcs.erase(found);
    DeleteDC(dc);
    if (IsAlive(record.topLevel) && Width(record.bounds) > 0 && Height(record.bounds) > 0)
        m_Backend->SurfaceUpdated(record.topLevel, record.bounds);
}

void WindowSystem::PaintNonClient(HWND window)
{
    RECT inset = window->m_ClientInset;
    RECT whole = {0, 0, Width(window->m_Rect), Height(window->m_Rect)};
    if (inset == whole || !(window->m_Style & WS_VISIBLE))
        return;
    HWND top = TopLevelOf(window);
    RECT outer = WindowRectOnScreen(window);
    POINT origin = {outer.left - top->m_Rect.left, outer.top - top->m_Rect.top};
    HDC dc = CreateSurfaceDC(*top->m_Surface, origin, whole);
    if (!dc)
        return;
    ExcludeClipRect(dc, inset.left, inset.top, inset.right, inset.bottom);
    FillRect(dc, &whole, GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH frame = CreateSolidBrush(0x404040);
    FrameRect(dc, &whole, frame);
    DeleteObject(frame);
    if ((window->m_Style & WS_CAPTION) == WS_CAPTION) {
        RECT caption = {inset.left, inset.top - kCaptionHeight, inset.right, inset.top};
        HBRUSH band = CreateSolidBrush(GetSysColor(COLOR_ACTIVECAPTION));
        FillRect(dc, &caption, band);
        DeleteObject(band);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, 0xFFFFFF);
        RECT textRect = caption;
        textRect.left += 4;
        DrawTextA(dc, window->m_Text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    DeleteDC(dc);
    m_Backend->SurfaceUpdated(top, Offset(whole, origin.x, origin.y));
}

// ---- Geometry and state --------------------------------------------------------------------

void WindowSystem::SendSizeMessages(HWND window, bool moved, bool sized)
{
    if (moved) {
        RECT client = window->m_ClientInset;
        Send(window, WM_MOVE, 0, MAKELPARAM(window->m_Rect.left + client.left, window->m_Rect.top + client.top));
    }
    if (sized) {
        WPARAM kind = (window->m_Style & WS_MINIMIZE)   ? SIZE_MINIMIZED
                      : (window->m_Style & WS_MAXIMIZE) ? SIZE_MAXIMIZED
                                                        : SIZE_RESTORED;
        Send(window, WM_SIZE, kind, MAKELPARAM(Width(window->m_ClientInset), Height(window->m_ClientInset)));
    }
}

void WindowSystem::SetPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags)
{
    if (!IsAlive(window))
        return;
    RECT old = window->m_Rect;
    RECT next = old;
    if (!(flags & SWP_NOMOVE))
        next = Offset(next, x - old.left, y - old.top);
    if (!(flags & SWP_NOSIZE)) {
        next.right = next.left + std::max(0, cx);
        next.bottom = next.top + std::max(0, cy);
    }
    bool moved = next.left != old.left || next.top != old.top;
    bool sized = Width(next) != Width(old) || Height(next) != Height(old);
    bool visibleBefore = IsWindowVisible(window);
    if (window->m_Parent && visibleBefore && (moved || sized)) {
        Region oldArea = RectRegion(old);
        Invalidate(window->m_Parent, &oldArea, true, true);
    }
    window->m_Rect = next;
    if (sized || (flags & SWP_FRAMECHANGED))
        RecomputeClient(window);
    if (!window->m_Parent && sized)
        window->m_Surface->Resize(Width(next), Height(next), 0);
    if (flags & SWP_SHOWWINDOW)
        window->m_Style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW)
        window->m_Style &= ~WS_VISIBLE;
    if (!window->m_Parent && (moved || sized || (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW))))
        TopLevelNotice(window, (flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)) ? TopLevelChange::Visibility
                                                                           : TopLevelChange::Geometry);
    if (window->m_Class == WindowClass::Edit || window->m_Class == WindowClass::WebView)
        NotifyNative(window);
    SendSizeMessages(window, moved, sized);
    if (!IsAlive(window))
        return;
    if (IsWindowVisible(window) && !(flags & SWP_NOREDRAW) &&
        (sized || (flags & (SWP_SHOWWINDOW | SWP_FRAMECHANGED)) || (moved && window->m_Parent))) {
        PaintNonClient(window);
        Invalidate(window, nullptr, true, true);
    }
}

void WindowSystem::TopLevelNotice(HWND window, TopLevelChange change)
{
    if (IsAlive(window) && !window->m_Parent)
        m_Backend->TopLevelChanged(window, change);
}

void WindowSystem::Show(HWND window, int command)
{
    if (!IsAlive(window))
        return;
    bool wasVisible = (window->m_Style & WS_VISIBLE) != 0;
    switch (command) {
    case SW_HIDE:
        if (!wasVisible)
            return;
        Send(window, WM_SHOWWINDOW, FALSE, 0);
        window->m_Style &= ~WS_VISIBLE;
        if (window->m_Parent) {
            Region area = RectRegion(window->m_Rect);
            Invalidate(window->m_Parent, &area, true, true);
        }
        TopLevelNotice(window, TopLevelChange::Visibility);
        if (window->m_Class == WindowClass::Edit || window->m_Class == WindowClass::WebView)
            NotifyNative(window);
        if (m_Capture == window)
            SetCaptureWindow(nullptr);
        return;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        if (window->m_Parent || (window->m_Style & WS_MINIMIZE))
            break;
        if (!(window->m_Style & WS_MAXIMIZE))
            window->m_RestoreRect = window->m_Rect;
        window->m_Style |= WS_MINIMIZE | WS_VISIBLE;
        TopLevelNotice(window, TopLevelChange::State);
        SendSizeMessages(window, false, true);
        return;
    case SW_MAXIMIZE: {
        if (window->m_Parent)
            break;
        if (!(window->m_Style & (WS_MAXIMIZE | WS_MINIMIZE)))
            window->m_RestoreRect = window->m_Rect;
        window->m_Style &= ~WS_MINIMIZE;
        window->m_Style |= WS_MAXIMIZE | WS_VISIBLE;
        MINMAXINFO info;
        RECT work = m_Backend->WorkArea();
        info.ptMaxSize = {Width(work), Height(work)};
        info.ptMaxPosition = {work.left, work.top};
        Send(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        TopLevelNotice(window, TopLevelChange::State);
        SetPos(window, nullptr, info.ptMaxPosition.x, info.ptMaxPosition.y, info.ptMaxSize.x, info.ptMaxSize.y,
               SWP_SHOWWINDOW | SWP_FRAMECHANGED);
        return;
    }
    case SW_RESTORE:
        if (window->m_Style & WS_MINIMIZE) {
            window->m_Style &= ~WS_MINIMIZE;
            window->m_Style |= WS_VISIBLE;
            TopLevelNotice(window, TopLevelChange::State);
            SendSizeMessages(window, false, true);
            Invalidate(window, nullptr, true, true);
            PaintNonClient(window);
            return;
        }
        if (window->m_Style & WS_MAXIMIZE) {
            window->m_Style &= ~WS_MAXIMIZE;
            RECT back = window->m_RestoreRect;
            TopLevelNotice(window, TopLevelChange::State);
            SetPos(window, nullptr, back.left, back.top, Width(back), Height(back), SWP_SHOWWINDOW | SWP_FRAMECHANGED);
            return;
        }
        break;
    default:
        break;
    }
    if (wasVisible)
        return;
    window->m_Style |= WS_VISIBLE;
    Send(window, WM_SHOWWINDOW, TRUE, 0);
    TopLevelNotice(window, TopLevelChange::Visibility);
    if (window->m_Class == WindowClass::Edit || window->m_Class == WindowClass::WebView)
        NotifyNative(window);
    if (!window->m_Parent && command != SW_SHOWNOACTIVATE)
        ActivateTopLevel(window);
    PaintNonClient(window);
    Invalidate(window, nullptr, true, true);
}

void WindowSystem::ActivateTopLevel(HWND window)
{
    if (!IsAlive(window) || window->m_Parent || m_Active == window)
        return;
    HWND previous = m_Active;
    m_Active = window;
    std::erase(m_TopLevels, window);
    m_TopLevels.insert(m_TopLevels.begin(), window);
    if (IsAlive(previous))
        Send(previous, WM_NCACTIVATE, FALSE, 0);
    Send(window, WM_NCACTIVATE, TRUE, 0);
    Send(window, WM_ACTIVATE, 1, reinterpret_cast<LPARAM>(previous));
}

void WindowSystem::Enable(HWND window, bool enable)
{
    if (!IsAlive(window))
        return;
    bool enabled = !(window->m_Style & WS_DISABLED);
    if (enabled == enable)
        return;
    if (enable)
        window->m_Style &= ~WS_DISABLED;
    else
        window->m_Style |= WS_DISABLED;
    if (!enable && m_Capture == window)
        SetCaptureWindow(nullptr);
    Send(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    TopLevelNotice(window, TopLevelChange::Enabled);
    if (window->m_Class == WindowClass::Edit)
        NotifyNative(window);
}

void WindowSystem::SetText(HWND window, const std::string& text)
{
    if (!IsAlive(window))
        return;
    window->m_Text = text;
    TopLevelNotice(window, TopLevelChange::Title);
}

void WindowSystem::SetStyle(HWND window, DWORD style)
{
    if (!IsAlive(window))
        return;
    bool visible = (style & WS_VISIBLE) != 0;
    bool wasVisible = (window->m_Style & WS_VISIBLE) != 0;
    window->m_Style = style;
    if (visible != wasVisible)
        TopLevelNotice(window, TopLevelChange::Visibility);
}

void WindowSystem::SetShape(HWND window, HRGN region, bool redraw)
{
    if (!IsAlive(window)) {
        if (region)
            DeleteObject(region);
        return;
    }
    if (window->m_Shape && window->m_Shape != region)
        DeleteObject(window->m_Shape);
    window->m_Shape = region;
    TopLevelNotice(window, TopLevelChange::Shape);
    if (redraw)
        Invalidate(window, nullptr, true, true);
}

void WindowSystem::NotifyNative(HWND window)
{
    m_Backend->NativeChildChanged(window, window->m_Class == WindowClass::Edit ? NativeChildKind::Edit
                                                                               : NativeChildKind::WebView);
}

HMENU WindowSystem::SystemMenu(HWND window, bool revert)
{
    if (!IsAlive(window))
        return nullptr;
    if (revert || !window->m_SystemMenu) {
        if (window->m_SystemMenu)
            std::erase_if(m_Menus,
                          [&](const std::unique_ptr<MenuObject>& m) { return m.get() == window->m_SystemMenu; });
        auto menu = std::make_unique<MenuObject>();
        menu->items = {{SC_RESTORE, "还原(&R)", 0},    {SC_MOVE, "移动(&M)", 0},       {SC_SIZE, "大小(&S)", 0},
                       {SC_MINIMIZE, "最小化(&N)", 0}, {SC_MAXIMIZE, "最大化(&X)", 0}, {0, "", MF_SEPARATOR},
                       {SC_CLOSE, "关闭(&C)", 0}};
        window->m_SystemMenu = menu.get();
        m_Menus.push_back(std::move(menu));
        if (revert)
            return nullptr;
    }
    return window->m_SystemMenu;
}

// ---- Class procedures ----------------------------------------------------------------------

LRESULT WindowSystem::ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsAlive(window))
        return 0;
    switch (window->m_Class) {
    case WindowClass::Button:
        return ButtonProc(window, message, wParam, lParam);
    case WindowClass::Static:
        return StaticProc(window, message, wParam, lParam);
    case WindowClass::Edit:
        return EditProc(window, message, wParam, lParam);
    case WindowClass::Dialog:
        return DialogProc(window, message, wParam, lParam);
    case WindowClass::WebView:
        if (message == WM_ERASEBKGND) {
            RECT client;
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        return DefProc(window, message, wParam, lParam);
    case WindowClass::Generic:
        return DefProc(window, message, wParam, lParam);
    }
    return 0;
}

LRESULT WindowSystem::DefProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsAlive(window))
        return 0;
    switch (message) {
    case WM_NCCALCSIZE: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        DWORD style = window->m_Style;
        int frame = 0;
        if (style & WS_THICKFRAME)
            frame = kThickFrame;
        else if ((style & WS_DLGFRAME) || (window->m_ExStyle & WS_EX_DLGMODALFRAME) ||
                 (style & DS_MODALFRAME && !window->m_Parent))
            frame = kDialogFrame;
        else if (style & WS_BORDER)
            frame = 1;
        if (style & WS_MAXIMIZE)
            frame = 0;
        InflateRect(rect, -frame, -frame);
        if ((style & WS_CAPTION) == WS_CAPTION)
            rect->top += kCaptionHeight;
        return 0;
    }
    case WM_NCHITTEST: {
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT outer = WindowRectOnScreen(window);
        if (!PtInRect(&outer, point))
            return HTNOWHERE;
        RECT client = ClientRectOnScreen(window);
        if (PtInRect(&client, point))
            return HTCLIENT;
        if ((window->m_Style & WS_CAPTION) == WS_CAPTION && point.y < client.top &&
            point.y >= client.top - kCaptionHeight)
            return HTCAPTION;
        return HTBORDER;
    }
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION)
            Send(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MOVE:
            RunMoveLoop(window);
            break;
        case SC_MINIMIZE:
            Show(window, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            Show(window, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            Show(window, SW_RESTORE);
            break;
        case SC_CLOSE:
            Send(window, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
        return 0;
    case WM_CLOSE:
        Destroy(window);
        return 0;
    case WM_SETCURSOR: {
        int hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
        if (window->m_Parent && Send(window->m_Parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        uintptr_t id = (hit == HTCLIENT && window->m_Class == WindowClass::Edit) ? IDC_IBEAM : IDC_ARROW;
        SetCursorHandle(StockCursor(id));
        return hit == HTCLIENT ? TRUE : FALSE;
    }
    case WM_ERASEBKGND: {
        // Only dialogs have a class background; the generic window class has none.
        if (window->m_Class != WindowClass::Dialog)
            return 0;
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_ICONERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaintFor(window, &paint);
        EndPaintFor(window, &paint);
        return 0;
    }
    case WM_NCPAINT:
        PaintNonClient(window);
        return 0;
    case WM_NCACTIVATE:
        return TRUE;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        RECT work = m_Backend->WorkArea();
        info->ptMaxSize = {Width(work), Height(work)};
        info->ptMaxPosition = {work.left, work.top};
        info->ptMaxTrackSize = {Width(work), Height(work)};
        return 0;
    }
    case WM_PRINT: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if ((lParam & PRF_CHECKVISIBLE) && !IsWindowVisible(window))
            return 0;
        if (lParam & PRF_ERASEBKGND)
            Send(window, WM_ERASEBKGND, wParam, 0);
        if (lParam & PRF_CLIENT)
            Send(window, WM_PRINTCLIENT, wParam, lParam);
        if (lParam & PRF_CHILDREN) {
            for (auto it = window->m_Children.rbegin(); it != window->m_Children.rend(); ++it) {
                HWND child = *it;
                if (!(child->m_Style & WS_VISIBLE))
                    continue;
                int saved = SaveDC(dc);
                OffsetViewportOrgEx(dc, child->m_Rect.left + child->m_ClientInset.left,
                                    child->m_Rect.top + child->m_ClientInset.top, nullptr);
                RECT childClient = {0, 0, Width(child->m_ClientInset), Height(child->m_ClientInset)};
                IntersectClipRect(dc, childClient.left, childClient.top, childClient.right, childClient.bottom);
                Send(child, WM_PRINT, wParam, lParam | PRF_ERASEBKGND | PRF_CLIENT);
                RestoreDC(dc, saved);
            }
        }
        return 0;
    }
    case WM_SETTEXT:
        SetText(window, lParam ? reinterpret_cast<const char*>(lParam) : "");
        return TRUE;
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0)
            return 0;
        size_t count = std::min(window->m_Text.size(), static_cast<size_t>(wParam) - 1);
        window->m_Text.copy(buffer, count);
        buffer[count] = '\0';
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->m_Text.size());
    case WM_SETICON: {
        HICON previous = wParam == ICON_SMALL ? window->m_SmallIcon : window->m_BigIcon;
        (wParam == ICON_SMALL ? window->m_SmallIcon : window->m_BigIcon) = reinterpret_cast<HICON>(lParam);
        TopLevelNotice(window, TopLevelChange::Icon);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_SETFONT:
        window->m_Font = reinterpret_cast<HFONT>(wParam);
        if (lParam)
            Invalidate(window, nullptr, true, false);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(window->m_Font);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    default:
        return 0;
    }
}
