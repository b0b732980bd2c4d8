// The small interface a back end (headless, GTK) implements under the window system.
//
// The window system does everything that is not tied to a toolkit: windows, messages, painting
// into each top-level window's surface, hit testing, capture, timers, modal loops. A back end
// shows top-level surfaces, delivers raw input to WindowSystem's input entries, keeps the clock,
// and provides the native parts: choosers, message box, opening an address, edit fields and the
// web view. All calls come from the user-interface thread, except Wake().
#pragma once

#include "platform/WinUser.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Surface;
class WindowSystem;

// What WaitForEvents found.
enum class WaitResult {
    Events,   // input was delivered, something was woken, or the deadline passed
    Stalled,  // nothing can ever arrive (a headless script ran dry): modal loops give up
};

// The shape of the mouse pointer.
enum class CursorShape { Arrow, Hand, IBeam, Wait };

// What changed about a top-level window since the last notice.
enum class TopLevelChange {
    Geometry,  // screen rectangle (position or size; the surface has the new size)
    Visibility,
    Shape,  // window region (input and visible shape)
    Title,
    Icon,
    State,  // minimised, maximised, restored
    Enabled,
};

// Kinds of child windows that a back end may show with a native widget over the surface.
enum class NativeChildKind { Edit, WebView };

// A request for the file-open chooser.
struct FileChooserRequest {
    HWND owner = nullptr;
    std::string title;
    bool multiSelect = false;
    // Pairs of description and ';'-separated patterns ("*.bmp;*.jpg"), the first selected.
    std::vector<std::pair<std::string, std::string>> filters;
    std::string initialFolder;  // empty: the chooser's own choice
};

// A request for the folder chooser.
struct FolderChooserRequest {
    HWND owner = nullptr;
    std::string title;
    std::string initialFolder;  // empty: no preselection
    bool editBox = false;       // offers a field for typing a folder name
    bool statusText = false;    // shows a status line
    bool newStyle = false;      // resizable chooser
};

class Backend {
public:
    virtual ~Backend() = default;

    // Called once when the window system takes the back end.
    virtual void Attach(WindowSystem& system) = 0;

    // Milliseconds on a monotonic clock; timers are due against it.
    virtual uint64_t Now() = 0;
    // Waits until input was delivered, Wake() was called, or `deadline` (on Now's clock;
    // UINT64_MAX: none) has passed. Input is delivered by calling WindowSystem's input entries
    // from inside this call.
    virtual WaitResult WaitForEvents(uint64_t deadline) = 0;
    // Any thread: makes a pending or the next WaitForEvents return soon.
    virtual void Wake() = 0;

    // Top-level windows. The surface belongs to the window system and keeps its address while
    // the window lives; it is resized on geometry changes.
    virtual void TopLevelCreated(HWND window, const Surface& surface) = 0;
    virtual void TopLevelChanged(HWND window, TopLevelChange change) = 0;
    // The rectangle (window pixels) of the surface that was drawn.
    virtual void SurfaceUpdated(HWND window, const RECT& dirty) = 0;
    virtual void TopLevelDestroyed(HWND window) = 0;

    // Native child widgets (edit fields, the web view): created, moved, shown, hidden or given
    // new text. Edits report typed text back with WindowSystem::NativeEditChanged.
    virtual void NativeChildChanged(HWND child, NativeChildKind kind) = 0;
    virtual void NativeChildDestroyed(HWND child) = 0;
    virtual void WebNavigate(HWND webView, const std::string& url) = 0;

    // Mouse capture moved (null: released); a back end may grab the pointer meanwhile.
    virtual void CaptureChanged(HWND window) = 0;
    virtual void SetCursorShape(CursorShape shape) = 0;
    // Starts a move drag of a top-level window by the window manager; answers false when the
    // back end cannot, so the window system runs its own move loop on the delivered input.
    virtual bool BeginMoveDrag(HWND window, POINT screenPoint) = 0;

    // The desktop's work area (screen pixels) and screen size.
    virtual RECT WorkArea() = 0;

    // Modal native interactions; each runs its own loop and answers when closed.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
    virtual std::optional<std::vector<std::string>> ChooseFiles(const FileChooserRequest& request) = 0;
    virtual std::optional<std::string> ChooseFolder(const FolderChooserRequest& request) = 0;
    // A popup menu at a screen point; answers the chosen command id, 0 when dismissed.
    virtual UINT TrackPopupMenu(HMENU menu, POINT screenPoint, HWND owner) = 0;
    // Opens an address (web page, file) with the user's default handler; false on failure.
    virtual bool OpenAddress(const std::string& address) = 0;
};
