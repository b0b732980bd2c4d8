// GTK 3 back end: undecorated, shaped GtkWindows showing composed surfaces; input, timers
// through GLib time-outs, the window manager's move drag, and the native modal parts.
#include "platform/gtk/GtkBackend.h"

#include "platform/WindowSystem.h"
#include "platform/gdi/GdiObjects.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#ifdef TESSMARK_HAVE_WEBKIT
#include <webkit2/webkit2.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

struct GtkBackend::TopLevel {
    GtkBackend* backend = nullptr;
    HWND window = nullptr;
    GtkWidget* gtkWindow = nullptr;
    GtkWidget* fixed = nullptr;  // holds the native children over the drawn surface
    bool shown = false;
    bool iconified = false;
    // A move we asked for and the window has not reported yet; other positions reported
    // meanwhile are stale and ignored.
    bool movePending = false;
    POINT requestedTopLeft;
};

struct GtkBackend::NativeChild {
    GtkBackend* backend = nullptr;
    HWND window = nullptr;
    NativeChildKind kind = NativeChildKind::Edit;
    GtkWidget* widget = nullptr;
    GtkWidget* parent = nullptr;  // the GtkFixed it sits in
    bool settingText = false;     // our own text update, not the user's typing
    int selectionStart = -1;      // the window system's selection last applied (bytes)
    int selectionEnd = -1;
};

namespace {

UINT Modifiers(guint state)
{
    UINT modifiers = 0;
    if (state & GDK_SHIFT_MASK)
        modifiers |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK)
        modifiers |= MK_CONTROL;
    return modifiers;
}

POINT RootPoint(double x, double y)
{
    return {static_cast<LONG>(std::floor(x)), static_cast<LONG>(std::floor(y))};
}

// Virtual-key codes for the keys the window system and the dialogs react to.
int VirtualKey(guint keyval)
{
    switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
        return VK_RETURN;
    case GDK_KEY_Escape:
        return VK_ESCAPE;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
        return VK_TAB;
    case GDK_KEY_BackSpace:
        return VK_BACK;
    case GDK_KEY_space:
        return VK_SPACE;
    case GDK_KEY_Left:
        return VK_LEFT;
    case GDK_KEY_Up:
        return 0x26;
    case GDK_KEY_Right:
        return VK_RIGHT;
    case GDK_KEY_Down:
        return 0x28;
    case GDK_KEY_Home:
        return 0x24;
    case GDK_KEY_End:
        return 0x23;
    case GDK_KEY_Delete:
        return VK_DELETE;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
        return VK_SHIFT;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
        return VK_CONTROL;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
        return 0x12;
    default:
        break;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12)
        return 0x70 + static_cast<int>(keyval - GDK_KEY_F1);
    guint upper = gdk_keyval_to_upper(keyval);
    if ((upper >= GDK_KEY_A && upper <= GDK_KEY_Z) || (upper >= GDK_KEY_0 && upper <= GDK_KEY_9))
        return static_cast<int>(upper);
    return 0;
}

// Turns a menu text with '&' mnemonics and a tab-separated accelerator into a GTK label.
std::string MenuLabel(const std::string& text)
{
    std::string label;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\t')
            break;
        if (c == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                label += '&';
                ++i;
            } else {
                label += '_';
            }
        } else if (c == '_') {
            label += "__";
        } else {
            label += c;
        }
    }
    return label;
}

GdkPixbuf* IconPixbuf(HICON icon)
{
    if (!icon || icon->m_Width <= 0 || icon->m_Height <= 0)
        return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, icon->m_Width, icon->m_Height);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < icon->m_Height; ++y) {
        for (int x = 0; x < icon->m_Width; ++x) {
            uint32_t colour = icon->m_Colour.Pixel(x, y);
            guchar* out = pixels + static_cast<size_t>(y) * stride + x * 4;
            out[0] = static_cast<guchar>(colour >> 16);
            out[1] = static_cast<guchar>(colour >> 8);
            out[2] = static_cast<guchar>(colour);
            if (icon->m_HasAlpha)
                out[3] = static_cast<guchar>(colour >> 24);
            else
                out[3] = (icon->m_Mask.Pixel(x, y) & 0xFFFFFF) == 0 ? 255 : 0;
        }
    }
    return pixbuf;
}

const char* CursorName(CursorShape shape)
{
    switch (shape) {
    case CursorShape::Hand:
        return "pointer";
    case CursorShape::IBeam:
        return "text";
    case CursorShape::Wait:
        return "wait";
    case CursorShape::Arrow:
        break;
    }
    return "default";
}

// ---- Signal handlers of the top-level windows ----

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data)
{
    auto* top = static_cast<GtkBackend::TopLevel*>(data);
    const Surface* surface = top->backend->System().TopLevelSurface(top->window);
    if (!surface || surface->Width() <= 0 || surface->Height() <= 0)
        return FALSE;
    // The surface's 0x00RRGGBB words are cairo's RGB24 layout; cairo only reads them here.
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(surface->Row(0))), CAIRO_FORMAT_RGB24, surface->Width(),
        surface->Height(), surface->Width() * 4);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_surface_destroy(image);
    return FALSE;  // the GtkFixed's children draw next
}

gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    static_cast<GtkBackend::TopLevel*>(data)->backend->System().MouseMove(RootPoint(event->x_root, event->y_root),
                                                                          Modifiers(event->state));
    return TRUE;
}

gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer data)
{
    // GTK adds its own double- and triple-click events; the window system times clicks itself.
    if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE)
        return TRUE;
    if (event->button != 1 && event->button != 3)
        return TRUE;
    static_cast<GtkBackend::TopLevel*>(data)->backend->System().MouseButtonEvent(
        event->button == 1 ? MouseButton::Left : MouseButton::Right, event->type == GDK_BUTTON_PRESS,
        RootPoint(event->x_root, event->y_root), Modifiers(event->state));
    return TRUE;
}

// Crossings, including those into and out of the native children: the window system finds
// the window under the pointer itself and sends the leave notices.
gboolean OnCrossing(GtkWidget*, GdkEventCrossing* event, gpointer data)
{
    static_cast<GtkBackend::TopLevel*>(data)->backend->System().MouseMove(RootPoint(event->x_root, event->y_root),
                                                                          Modifiers(event->state));
    return FALSE;
}

// Pointer moves over a native child: the window system hears of them, the child handles them.
gboolean OnChildMotion(GtkWidget*, GdkEventMotion* event, gpointer data)
{
    static_cast<GtkBackend::NativeChild*>(data)->backend->System().MouseMove(RootPoint(event->x_root, event->y_root),
                                                                             Modifiers(event->state));
    return FALSE;
}

gboolean OnKey(GtkWidget* widget, GdkEventKey* event, gpointer data)
{
    int virtualKey = VirtualKey(event->keyval);
    bool dialogKey = virtualKey == VK_RETURN || virtualKey == VK_ESCAPE || virtualKey == VK_TAB;
    // An edit field with the focus types for itself; only the dialog keys go to the dialog.
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
    if (focus && GTK_IS_ENTRY(focus) && !dialogKey)
        return FALSE;
    bool down = event->type == GDK_KEY_PRESS;
    WindowSystem& system = static_cast<GtkBackend::TopLevel*>(data)->backend->System();
    if (virtualKey != 0)
        system.KeyEvent(virtualKey, down);
    if (down && !(event->state & GDK_CONTROL_MASK)) {
        gunichar character = gdk_keyval_to_unicode(event->keyval);
        if (character >= 0x20 && character != 0x7F)
            system.CharEvent(character);
    }
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    auto* top = static_cast<GtkBackend::TopLevel*>(data);
    top->backend->System().CloseRequested(top->window);
    return TRUE;  // the window system decides whether the window goes
}

gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure*, gpointer data)
{
    auto* top = static_cast<GtkBackend::TopLevel*>(data);
    GdkWindow* gdkWindow = gtk_widget_get_window(widget);
    if (!gdkWindow)
        return FALSE;
    int x = 0;
    int y = 0;
    gdk_window_get_origin(gdkWindow, &x, &y);
    if (top->movePending) {
        if (x != top->requestedTopLeft.x || y != top->requestedTopLeft.y)
            return FALSE;
        top->movePending = false;
    }
    top->backend->System().TopLevelMovedByUser(top->window, {x, y});
    return FALSE;
}

gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data)
{
    auto* top = static_cast<GtkBackend::TopLevel*>(data);
    if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED))
        return FALSE;
    bool iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    top->iconified = iconified;
    bool systemMinimised = (top->window->Style() & WS_MINIMIZE) != 0;
    // The user restored or minimised the window through the desktop (task bar, keys).
    if (iconified != systemMinimised)
        ShowWindow(top->window, iconified ? SW_MINIMIZE : SW_RESTORE);
    return FALSE;
}

void OnEditChanged(GtkEditable* editable, gpointer data)
{
    auto* child = static_cast<GtkBackend::NativeChild*>(data);
    if (child->settingText)
        return;
    child->backend->System().NativeEditChanged(child->window, gtk_entry_get_text(GTK_ENTRY(editable)));
}

// The user clicked or tabbed into an edit: the window system's focus follows.
gboolean OnEditFocusIn(GtkWidget*, GdkEvent*, gpointer data)
{
    auto* child = static_cast<GtkBackend::NativeChild*>(data);
    if (GetFocus() != child->window)
        SetFocus(child->window);
    return FALSE;
}

// Character offset of a byte offset into UTF-8 text, clamped to the text.
int CharacterOffset(const std::string& text, int byteOffset)
{
    size_t bytes = std::min(static_cast<size_t>(std::max(byteOffset, 0)), text.size());
    return static_cast<int>(g_utf8_pointer_to_offset(text.c_str(), text.c_str() + bytes));
}

gboolean SetFlagLater(gpointer data)
{
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

// An idle call may outlive the back end, so it asks whether a window system still exists.
gboolean ReleaseAfterMoveDrag(gpointer)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (system)
        system->MouseButtonEvent(MouseButton::Left, false, system->CursorPos(), 0);
    return G_SOURCE_REMOVE;
}

std::string FromGtkString(gchar* text)
{
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

}  // namespace

// ---- Construction ----

std::unique_ptr<GtkBackend> GtkBackend::Create()
{
    if (!gtk_init_check(nullptr, nullptr))
        return nullptr;
    return std::unique_ptr<GtkBackend>(new GtkBackend());
}

GtkBackend::GtkBackend()
{
    GtkCssProvider* provider = gtk_css_provider_new();
    // Edits take the dialogs' 13-pixel rectangles and the dialogs' 9-point Song face.
    // The skin draws each field's frame; the entry is the plain white inside of it in every state.
    gtk_css_provider_load_from_data(provider,
                                    "entry.tessmark-edit, entry.tessmark-edit:focus, entry.tessmark-edit:disabled {"
                                    " min-height: 0; padding: 0 2px; margin: 0; border: none; border-radius: 0;"
                                    " box-shadow: none; outline: none; background: #ffffff; color: #000000;"
                                    " font-family: \"SimSun\", \"AR PL UMing CN\", serif; font-size: 9pt; }"
                                    "entry.tessmark-edit:disabled { color: #808080; }",
                                    -1, nullptr);
    m_EditStyle = provider;
}

GtkBackend::~GtkBackend()
{
    for (unsigned source : m_SignalSources)
        if (source != 0)
            g_source_remove(source);
    for (auto& [window, child] : m_NativeChildren)
        if (child->widget)
            gtk_widget_destroy(child->widget);
    for (auto& [window, top] : m_TopLevels)
        if (top->gtkWindow)
            gtk_widget_destroy(top->gtkWindow);
    if (m_EditStyle)
        g_object_unref(m_EditStyle);
}

void GtkBackend::Attach(WindowSystem& system)
{
    m_System = &system;
}

uint64_t GtkBackend::Now()
{
    return static_cast<uint64_t>(g_get_monotonic_time() / 1000);
}

WaitResult GtkBackend::WaitForEvents(uint64_t deadline)
{
    uint64_t now = Now();
    if (deadline <= now) {
        g_main_context_iteration(nullptr, FALSE);
        return WaitResult::Events;
    }
    bool fired = false;
    guint timeout = 0;
    if (deadline != UINT64_MAX) {
        uint64_t wait = std::min<uint64_t>(deadline - now, G_MAXUINT);
        timeout = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(wait), SetFlagLater, &fired, nullptr);
    }
    g_main_context_iteration(nullptr, TRUE);
    if (timeout != 0 && !fired)
        g_source_remove(timeout);
    return WaitResult::Events;
}

void GtkBackend::Wake()
{
    g_main_context_wakeup(g_main_context_default());
}

// ---- Top-level windows ----

GtkBackend::TopLevel* GtkBackend::FindTopLevel(HWND window) const
{
    auto found = m_TopLevels.find(window);
    return found == m_TopLevels.end() ? nullptr : found->second.get();
}

void* GtkBackend::NativeWindow(HWND window) const
{
    TopLevel* top = FindTopLevel(window);
    return top ? top->gtkWindow : nullptr;
}

void GtkBackend::TopLevelCreated(HWND window, const Surface&)
{
    auto top = std::make_unique<TopLevel>();
    top->backend = this;
    top->window = window;
    GtkWidget* gtkWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    top->gtkWindow = gtkWindow;
    gtk_window_set_decorated(GTK_WINDOW(gtkWindow), FALSE);
    gtk_widget_set_app_paintable(gtkWindow, TRUE);
    gtk_window_set_title(GTK_WINDOW(gtkWindow), window->Text().c_str());
    if (TopLevel* owner = FindTopLevel(window->Owner())) {
        gtk_window_set_transient_for(GTK_WINDOW(gtkWindow), GTK_WINDOW(owner->gtkWindow));
        if (!(window->ExStyle() & WS_EX_APPWINDOW))
            gtk_window_set_skip_taskbar_hint(GTK_WINDOW(gtkWindow), TRUE);
    }
    gtk_widget_add_events(gtkWindow, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                         GDK_LEAVE_NOTIFY_MASK | GDK_ENTER_NOTIFY_MASK | GDK_KEY_PRESS_MASK |
                                         GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK);
    top->fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(gtkWindow), top->fixed);
    gtk_widget_show(top->fixed);
    g_signal_connect(gtkWindow, "draw", G_CALLBACK(OnDraw), top.get());
    g_signal_connect(gtkWindow, "motion-notify-event", G_CALLBACK(OnMotion), top.get());
    g_signal_connect(gtkWindow, "button-press-event", G_CALLBACK(OnButton), top.get());
    g_signal_connect(gtkWindow, "button-release-event", G_CALLBACK(OnButton), top.get());
    g_signal_connect(gtkWindow, "leave-notify-event", G_CALLBACK(OnCrossing), top.get());
    g_signal_connect(gtkWindow, "enter-notify-event", G_CALLBACK(OnCrossing), top.get());
    g_signal_connect(gtkWindow, "key-press-event", G_CALLBACK(OnKey), top.get());
    g_signal_connect(gtkWindow, "key-release-event", G_CALLBACK(OnKey), top.get());
    g_signal_connect(gtkWindow, "delete-event", G_CALLBACK(OnDelete), top.get());
    g_signal_connect(gtkWindow, "configure-event", G_CALLBACK(OnConfigure), top.get());
    g_signal_connect(gtkWindow, "window-state-event", G_CALLBACK(OnWindowState), top.get());
    TopLevel& record = *top;
    m_TopLevels[window] = std::move(top);
    ApplyGeometry(record);
    ApplyShape(record);
    ApplyIcon(record);
    ApplyCursor(record);
}

void GtkBackend::ApplyGeometry(TopLevel& top)
{
    const RECT& rect = top.window->Rect();
    int width = std::max(1, static_cast<int>(rect.right - rect.left));
    int height = std::max(1, static_cast<int>(rect.bottom - rect.top));
    GtkWindow* gtkWindow = GTK_WINDOW(top.gtkWindow);
    int x = 0;
    int y = 0;
    GdkWindow* gdkWindow = gtk_widget_get_window(top.gtkWindow);
    if (gdkWindow)
        gdk_window_get_origin(gdkWindow, &x, &y);
    if (!gdkWindow || x != rect.left || y != rect.top) {
        top.movePending = gdkWindow != nullptr;
        top.requestedTopLeft = {rect.left, rect.top};
        gtk_window_move(gtkWindow, rect.left, rect.top);
    }
    gtk_window_set_default_size(gtkWindow, width, height);
    gtk_window_resize(gtkWindow, width, height);
    gtk_widget_queue_draw(top.gtkWindow);
    for (auto& [window, child] : m_NativeChildren)
        if (m_System && m_System->TopLevelOf(window) == top.window)
            PlaceNativeChild(*child);
}

void GtkBackend::ApplyShape(TopLevel& top)
{
    HRGN shape = top.window->Shape();
    if (!shape) {
        gtk_widget_shape_combine_region(top.gtkWindow, nullptr);
        gtk_widget_input_shape_combine_region(top.gtkWindow, nullptr);
        return;
    }
    cairo_region_t* region = cairo_region_create();
    for (const RECT& rect : shape->m_Region.Rects()) {
        cairo_rectangle_int_t cairoRect = {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        cairo_region_union_rectangle(region, &cairoRect);
    }
    gtk_widget_shape_combine_region(top.gtkWindow, region);
    gtk_widget_input_shape_combine_region(top.gtkWindow, region);
    cairo_region_destroy(region);
}

void GtkBackend::ApplyIcon(TopLevel& top)
{
    GList* icons = nullptr;
    for (HICON icon : {top.window->BigIcon(), top.window->SmallIcon()}) {
        if (GdkPixbuf* pixbuf = IconPixbuf(icon))
            icons = g_list_append(icons, pixbuf);
    }
    gtk_window_set_icon_list(GTK_WINDOW(top.gtkWindow), icons);
    g_list_free_full(icons, g_object_unref);
}

void GtkBackend::ApplyState(TopLevel& top)
{
    bool minimised = (top.window->Style() & WS_MINIMIZE) != 0;
    if (minimised == top.iconified)
        return;
    top.iconified = minimised;
    if (minimised)
        gtk_window_iconify(GTK_WINDOW(top.gtkWindow));
    else
        gtk_window_deiconify(GTK_WINDOW(top.gtkWindow));
}

void GtkBackend::ApplyCursor(TopLevel& top)
{
    GdkWindow* gdkWindow = gtk_widget_get_window(top.gtkWindow);
    if (!gdkWindow)
        return;
    GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), CursorName(m_Cursor));
    gdk_window_set_cursor(gdkWindow, cursor);
    if (cursor)
        g_object_unref(cursor);
}

void GtkBackend::TopLevelChanged(HWND window, TopLevelChange change)
{
    TopLevel* top = FindTopLevel(window);
    if (!top)
        return;
    switch (change) {
    case TopLevelChange::Geometry:
        ApplyGeometry(*top);
        break;
    case TopLevelChange::Visibility:
        if (window->Style() & WS_VISIBLE) {
            if (!top->shown) {
                gtk_widget_show(top->gtkWindow);
                gtk_window_present(GTK_WINDOW(top->gtkWindow));
                top->shown = true;
                ApplyGeometry(*top);
                ApplyCursor(*top);
            }
        } else if (top->shown) {
            gtk_widget_hide(top->gtkWindow);
            top->shown = false;
        }
        break;
    case TopLevelChange::Shape:
        ApplyShape(*top);
        break;
    case TopLevelChange::Title:
        gtk_window_set_title(GTK_WINDOW(top->gtkWindow), window->Text().c_str());
        break;
    case TopLevelChange::Icon:
        ApplyIcon(*top);
        break;
    case TopLevelChange::State:
        ApplyState(*top);
        break;
    case TopLevelChange::Enabled:
        // A disabled window (the owner of a modal dialog) keeps its look; the window system
        // drops its input.
        break;
    }
}

void GtkBackend::SurfaceUpdated(HWND window, const RECT& dirty)
{
    TopLevel* top = FindTopLevel(window);
    if (!top)
        return;
    gtk_widget_queue_draw_area(top->gtkWindow, dirty.left, dirty.top, dirty.right - dirty.left,
                               dirty.bottom - dirty.top);
}

void GtkBackend::TopLevelDestroyed(HWND window)
{
    auto found = m_TopLevels.find(window);
    if (found == m_TopLevels.end())
        return;
    for (auto it = m_NativeChildren.begin(); it != m_NativeChildren.end();) {
        if (it->second->parent == found->second->fixed) {
            gtk_widget_destroy(it->second->widget);
            it = m_NativeChildren.erase(it);
        } else {
            ++it;
        }
    }
    gtk_widget_destroy(found->second->gtkWindow);
    m_TopLevels.erase(found);
}

// ---- Native children ----

void* GtkBackend::ParentWidget(HWND window) const
{
    if (!m_System)
        return nullptr;
    TopLevel* top = FindTopLevel(m_System->TopLevelOf(window));
    return top ? top->fixed : nullptr;
}

void GtkBackend::PlaceNativeChild(NativeChild& child)
{
    HWND window = child.window;
    HWND topWindow = m_System->TopLevelOf(window);
    RECT outer = m_System->WindowRectOnScreen(window);
    RECT topRect = topWindow->Rect();
    int x = outer.left - topRect.left;
    int y = outer.top - topRect.top;
    int width = std::max(1, static_cast<int>(outer.right - outer.left));
    int height = std::max(1, static_cast<int>(outer.bottom - outer.top));
    gtk_fixed_move(GTK_FIXED(child.parent), child.widget, x, y);
    gtk_widget_set_size_request(child.widget, width, height);
    // Off-window places (the parked web control) simply show nothing.
    gtk_widget_set_visible(child.widget, IsWindowVisible(window) != FALSE);
    gtk_widget_set_sensitive(child.widget, IsWindowEnabled(window) != FALSE);
}

void GtkBackend::NativeChildChanged(HWND window, NativeChildKind kind)
{
    if (!m_System)
        return;
    auto found = m_NativeChildren.find(window);
    NativeChild* child = found == m_NativeChildren.end() ? nullptr : found->second.get();
    if (!child) {
        auto* parent = static_cast<GtkWidget*>(ParentWidget(window));
        if (!parent)
            return;
        auto record = std::make_unique<NativeChild>();
        record->backend = this;
        record->window = window;
        record->kind = kind;
        record->parent = parent;
        if (kind == NativeChildKind::Edit) {
            record->widget = gtk_entry_new();
            gtk_entry_set_has_frame(GTK_ENTRY(record->widget), FALSE);
            gtk_entry_set_width_chars(GTK_ENTRY(record->widget), 1);
            GtkStyleContext* style = gtk_widget_get_style_context(record->widget);
            gtk_style_context_add_class(style, "tessmark-edit");
            gtk_style_context_add_provider(style, GTK_STYLE_PROVIDER(m_EditStyle),
                                           GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
            g_signal_connect(record->widget, "changed", G_CALLBACK(OnEditChanged), record.get());
            g_signal_connect(record->widget, "focus-in-event", G_CALLBACK(OnEditFocusIn), record.get());
            g_signal_connect(record->widget, "motion-notify-event", G_CALLBACK(OnChildMotion), record.get());
        } else {
#ifdef TESSMARK_HAVE_WEBKIT
            record->widget = webkit_web_view_new();
#else
            // Without WebKit the web control is an empty placeholder.
            record->widget = gtk_drawing_area_new();
#endif
        }
        gtk_fixed_put(GTK_FIXED(parent), record->widget, 0, 0);
        child = record.get();
        m_NativeChildren[window] = std::move(record);
    }
    if (child->kind == NativeChildKind::Edit) {
        const char* shown = gtk_entry_get_text(GTK_ENTRY(child->widget));
        if (window->Text() != shown) {
            child->settingText = true;
            gtk_entry_set_text(GTK_ENTRY(child->widget), window->Text().c_str());
            child->settingText = false;
        }
    }
    PlaceNativeChild(*child);
    if (child->kind == NativeChildKind::Edit) {
        // Focus and selection set by the program (a refused field gets the focus with its text
        // selected); the user's own cursor moves are left alone.
        if (m_System->Focus() == window && !gtk_widget_has_focus(child->widget) &&
            gtk_widget_get_visible(child->widget))
            gtk_widget_grab_focus(child->widget);
        if (window->SelectionStart() != child->selectionStart || window->SelectionEnd() != child->selectionEnd) {
            child->selectionStart = window->SelectionStart();
            child->selectionEnd = window->SelectionEnd();
            gtk_editable_select_region(GTK_EDITABLE(child->widget),
                                       CharacterOffset(window->Text(), child->selectionStart),
                                       CharacterOffset(window->Text(), child->selectionEnd));
        }
    }
}

void GtkBackend::NativeChildDestroyed(HWND window)
{
    auto found = m_NativeChildren.find(window);
    if (found == m_NativeChildren.end())
        return;
    gtk_widget_destroy(found->second->widget);
    m_NativeChildren.erase(found);
}

void GtkBackend::WebNavigate(HWND webView, const std::string& url)
{
    auto found = m_NativeChildren.find(webView);
    if (found == m_NativeChildren.end()) {
        NativeChildChanged(webView, NativeChildKind::WebView);
        found = m_NativeChildren.find(webView);
        if (found == m_NativeChildren.end())
            return;
    }
#ifdef TESSMARK_HAVE_WEBKIT
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(found->second->widget), url.c_str());
#else
    (void)url;
#endif
}

// ---- Pointer ----

void GtkBackend::CaptureChanged(HWND)
{
    // X gives the pressed window an implicit grab until the button is released, which is all
    // the capture the program's controls rely on.
}

void GtkBackend::SetCursorShape(CursorShape shape)
{
    if (shape == m_Cursor)
        return;
    m_Cursor = shape;
    for (auto& [window, top] : m_TopLevels)
        ApplyCursor(*top);
}

bool GtkBackend::BeginMoveDrag(HWND window, POINT screenPoint)
{
    TopLevel* top = FindTopLevel(window);
    if (!top || !top->shown)
        return false;
    top->movePending = false;
    gtk_window_begin_move_drag(GTK_WINDOW(top->gtkWindow), 1, screenPoint.x, screenPoint.y,
                               gtk_get_current_event_time());
    // The window manager (or GTK without one) keeps the button release of the drag; the
    // window system hears of it once the drag has taken over.
    g_idle_add(ReleaseAfterMoveDrag, nullptr);
    return true;
}

RECT GtkBackend::WorkArea()
{
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_primary_monitor(display) : nullptr;
    if (!monitor && display)
        monitor = gdk_display_get_monitor(display, 0);
    if (!monitor)
        return {0, 0, 1024, 768};
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    return {area.x, area.y, area.x + area.width, area.y + area.height};
}

// ---- Native modal parts ----

void GtkBackend::RunNestedLoop(const bool& done)
{
    while (!done) {
        if (m_System) {
            if (!m_System->PumpOne(true))
                break;
        } else {
            g_main_context_iteration(nullptr, TRUE);
        }
    }
}

namespace {

struct DialogRun {
    bool done = false;
    int response = GTK_RESPONSE_NONE;
};

void OnDialogResponse(GtkDialog*, int response, gpointer data)
{
    auto* run = static_cast<DialogRun*>(data);
    run->response = response;
    run->done = true;
}

GtkWindow* OwnerWindow(GtkBackend& backend, HWND owner)
{
    WindowSystem& system = backend.System();
    if (!owner || !system.IsAlive(owner))
        return nullptr;
    return GTK_WINDOW(backend.NativeWindow(system.TopLevelOf(owner)));
}

// Opens the location entry of the file chooser widget among a dialog's children.
void ShowLocationEntry(GtkWidget* widget, gpointer)
{
    if (GTK_IS_FILE_CHOOSER_WIDGET(widget))
        g_signal_emit_by_name(widget, "location-popup", "");
    else if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), ShowLocationEntry, nullptr);
}

// Adds a filter whose patterns match whatever the letter case, as Windows file names do.
void AddFilter(GtkFileChooser* chooser, const std::string& description, const std::string& patterns)
{
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, description.c_str());
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        std::string pattern = patterns.substr(start, end - start);
        if (!pattern.empty()) {
            std::string caseless;
            for (char c : pattern) {
                if (g_ascii_isalpha(c)) {
                    caseless += '[';
                    caseless += g_ascii_tolower(c);
                    caseless += g_ascii_toupper(c);
                    caseless += ']';
                } else {
                    caseless += c;
                }
            }
            gtk_file_filter_add_pattern(filter, caseless.c_str());
        }
        start = end + 1;
    }
    gtk_file_chooser_add_filter(chooser, filter);
}

}  // namespace

int GtkBackend::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    GtkMessageType messageType = GTK_MESSAGE_OTHER;
    if ((type & 0xF0) == MB_ICONEXCLAMATION)
        messageType = GTK_MESSAGE_WARNING;
    if ((type & 0xF0) == MB_ICONINFORMATION)
        messageType = GTK_MESSAGE_INFO;
    GtkWidget* dialog = gtk_message_dialog_new(OwnerWindow(*this, owner), GTK_DIALOG_MODAL, messageType,
                                               GTK_BUTTONS_NONE, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    UINT buttons = type & 0x0F;
    if (buttons == MB_YESNO) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), "是(_Y)", GTK_RESPONSE_YES);
        gtk_dialog_add_button(GTK_DIALOG(dialog), "否(_N)", GTK_RESPONSE_NO);
    } else {
        gtk_dialog_add_button(GTK_DIALOG(dialog), "确定", GTK_RESPONSE_OK);
        if (buttons == MB_OKCANCEL)
            gtk_dialog_add_button(GTK_DIALOG(dialog), "取消", GTK_RESPONSE_CANCEL);
    }
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons == MB_YESNO ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    DialogRun run;
    g_signal_connect(dialog, "response", G_CALLBACK(OnDialogResponse), &run);
    gtk_widget_show(dialog);
    // Keyboard focus to the new dialog, also where no window manager hands it out.
    gtk_window_present(GTK_WINDOW(dialog));
    RunNestedLoop(run.done);
    gtk_widget_destroy(dialog);
    switch (run.response) {
    case GTK_RESPONSE_YES:
        return IDYES;
    case GTK_RESPONSE_NO:
        return IDNO;
    case GTK_RESPONSE_CANCEL:
        return IDCANCEL;
    case GTK_RESPONSE_OK:
        return IDOK;
    default:
        return buttons == MB_OK ? IDOK : buttons == MB_YESNO ? IDNO : IDCANCEL;
    }
}

std::optional<std::vector<std::string>> GtkBackend::ChooseFiles(const FileChooserRequest& request)
{
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        request.title.empty() ? "打开" : request.title.c_str(), OwnerWindow(*this, request.owner),
        GTK_FILE_CHOOSER_ACTION_OPEN, "取消(_C)", GTK_RESPONSE_CANCEL, "打开(_O)", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_file_chooser_set_select_multiple(chooser, request.multiSelect);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    for (const auto& [description, patterns] : request.filters)
        AddFilter(chooser, description, patterns);
    if (!request.initialFolder.empty())
        gtk_file_chooser_set_current_folder(chooser, request.initialFolder.c_str());
    DialogRun run;
    g_signal_connect(dialog, "response", G_CALLBACK(OnDialogResponse), &run);
    gtk_widget_show(dialog);
    // Keyboard focus to the new dialog, also where no window manager hands it out.
    gtk_window_present(GTK_WINDOW(dialog));
    RunNestedLoop(run.done);
    std::optional<std::vector<std::string>> result;
    // The chooser still names the highlighted row after Cancel: read it only on accept.
    if (run.response == GTK_RESPONSE_ACCEPT) {
        std::vector<std::string> files;
        GSList* names = gtk_file_chooser_get_filenames(chooser);
        for (GSList* item = names; item; item = item->next)
            files.push_back(static_cast<const char*>(item->data));
        g_slist_free_full(names, g_free);
        if (!files.empty())
            result = std::move(files);
    }
    gtk_widget_destroy(dialog);
    return result;
}

std::optional<std::string> GtkBackend::ChooseFolder(const FolderChooserRequest& request)
{
    GtkWidget* dialog =
        gtk_file_chooser_dialog_new(request.title.empty() ? "选择文件夹" : request.title.c_str(),
                                    OwnerWindow(*this, request.owner), GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
                                    "取消(_C)", GTK_RESPONSE_CANCEL, "选择(_S)", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_create_folders(chooser, request.newStyle);
    // The folder-name field (the chooser's location entry) is open from the start when asked
    // for; otherwise Ctrl+L opens it.
    if (request.editBox)
        gtk_container_forall(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), ShowLocationEntry,
                             nullptr);
    // Preselection: the chooser opens inside the folder, so confirming at once keeps it.
    if (!request.initialFolder.empty() && g_file_test(request.initialFolder.c_str(), G_FILE_TEST_IS_DIR))
        gtk_file_chooser_set_current_folder(chooser, request.initialFolder.c_str());
    DialogRun run;
    g_signal_connect(dialog, "response", G_CALLBACK(OnDialogResponse), &run);
    gtk_widget_show(dialog);
    // Keyboard focus to the new dialog, also where no window manager hands it out.
    gtk_window_present(GTK_WINDOW(dialog));
    RunNestedLoop(run.done);
    std::optional<std::string> result;
    if (run.response == GTK_RESPONSE_ACCEPT) {
        std::string folder = FromGtkString(gtk_file_chooser_get_filename(chooser));
        if (folder.empty())
            folder = FromGtkString(gtk_file_chooser_get_current_folder(chooser));
        if (!folder.empty())
            result = std::move(folder);
    }
    gtk_widget_destroy(dialog);
    return result;
}

namespace {

struct MenuRun {
    bool done = false;
    UINT chosen = 0;
};

void OnMenuItemActivate(GtkMenuItem* item, gpointer data)
{
    auto* run = static_cast<MenuRun*>(data);
    run->chosen = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "tessmark-command"));
}

// The menu deactivates before the chosen item's activate signal: finish one turn later.
void OnMenuDeactivate(GtkMenuShell*, gpointer data)
{
    g_idle_add(SetFlagLater, &static_cast<MenuRun*>(data)->done);
}

}  // namespace

UINT GtkBackend::TrackPopupMenu(HMENU menu, POINT screenPoint, HWND owner)
{
    if (!menu || !m_System)
        return 0;
    TopLevel* top = FindTopLevel(m_System->TopLevelOf(owner));
    GdkWindow* gdkWindow = top ? gtk_widget_get_window(top->gtkWindow) : nullptr;
    if (!gdkWindow)
        return 0;
    MenuRun run;
    GtkWidget* popup = gtk_menu_new();
    for (const MenuItem& item : menu->items) {
        GtkWidget* widget = nullptr;
        if (item.flags & MF_SEPARATOR) {
            widget = gtk_separator_menu_item_new();
        } else {
            widget = gtk_menu_item_new_with_mnemonic(MenuLabel(item.text).c_str());
            gtk_widget_set_sensitive(widget, !(item.flags & (MF_GRAYED | MF_DISABLED)));
            g_object_set_data(G_OBJECT(widget), "tessmark-command", GUINT_TO_POINTER(item.id));
            g_signal_connect(widget, "activate", G_CALLBACK(OnMenuItemActivate), &run);
        }
        gtk_widget_show(widget);
        gtk_menu_shell_append(GTK_MENU_SHELL(popup), widget);
    }
    g_signal_connect(popup, "deactivate", G_CALLBACK(OnMenuDeactivate), &run);
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(gdkWindow, &originX, &originY);
    GdkRectangle anchor = {screenPoint.x - originX, screenPoint.y - originY, 1, 1};
    GdkEvent* trigger = gtk_get_current_event();
    gtk_menu_popup_at_rect(GTK_MENU(popup), gdkWindow, &anchor, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                           trigger);
    if (trigger)
        gdk_event_free(trigger);
    if (!gtk_widget_get_visible(popup))
        run.done = true;
    RunNestedLoop(run.done);
    gtk_widget_destroy(popup);
    return run.chosen;
}

bool GtkBackend::OpenAddress(const std::string& address)
{
    if (address.empty())
        return false;
    std::string uri = address;
    if (address[0] == '/') {
        gchar* fileUri = g_filename_to_uri(address.c_str(), nullptr, nullptr);
        if (!fileUri)
            return false;
        uri = FromGtkString(fileUri);
    } else if (address.find(':') == std::string::npos) {
        uri = "http://" + address;
    }
    GError* error = nullptr;
    gboolean shown = gtk_show_uri_on_window(nullptr, uri.c_str(), GDK_CURRENT_TIME, &error);
    if (error)
        g_error_free(error);
    return shown != FALSE;
}

// ---- Tools ----

bool GtkBackend::ScreenPixels(const RECT& area, std::vector<uint32_t>& pixels) const
{
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), area.left, area.top, width, height);
    if (!shot)
        return false;
    const guchar* data = gdk_pixbuf_get_pixels(shot);
    int stride = gdk_pixbuf_get_rowstride(shot);
    int channels = gdk_pixbuf_get_n_channels(shot);
    pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guchar* in = data + static_cast<size_t>(y) * stride + x * channels;
            pixels[static_cast<size_t>(y) * width + x] = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
        }
    }
    g_object_unref(shot);
    return true;
}

namespace {

gboolean RunSignalHandler(gpointer data)
{
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_CONTINUE;
}

}  // namespace

void GtkBackend::WatchSignal(int signalNumber, std::function<void()> handler)
{
    m_SignalHandlers.push_back(std::move(handler));
    m_SignalSources.push_back(g_unix_signal_add(signalNumber, RunSignalHandler, &m_SignalHandlers.back()));
}
