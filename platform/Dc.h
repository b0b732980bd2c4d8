// The framework's device-context wrappers: CDC, and the client and paint DCs of a window.
#pragma once

#include "platform/GdiWrappers.h"
#include "platform/WinUser.h"

#include <string>
#include <string_view>

class CWnd;

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL Attach(HDC dc);
    HDC Detach();
    // A memory DC compatible with `dc` (null: the screen); deleted with the object.
    BOOL CreateCompatibleDC(CDC* dc);
    BOOL DeleteDC();

    HGDIOBJ SelectObject(CGdiObject* object);
    HGDIOBJ SelectObject(HGDIOBJ object);

    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop);
    BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh, DWORD rop);
    BOOL TransparentBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh,
                        UINT transparent);
    BOOL AlphaBlend(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh,
                    BLENDFUNCTION blend);
    void FillSolidRect(const RECT& rect, COLORREF colour);
    void FillRect(const RECT* rect, CBrush* brush);
    BOOL Rectangle(const RECT* rect);
    POINT MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    void DrawFocusRect(const RECT* rect);
    int DrawText(std::string_view text, RECT* rect, UINT format);
    BOOL TextOut(int x, int y, std::string_view text);
    SIZE GetTextExtent(std::string_view text) const;
    int SetBkMode(int mode);
    COLORREF SetTextColor(COLORREF colour);
    COLORREF SetBkColor(COLORREF colour);
    int SetStretchBltMode(int mode);
    BOOL DrawIcon(int x, int y, HICON icon, int width, int height);
    int ExcludeClipRect(const RECT* rect);

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

private:
    bool m_Owned = false;
};

// A DC of a window's client area (GetDC / ReleaseDC).
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);
    ~CClientDC() override;

private:
    HWND m_hWnd = nullptr;
};

// The DC of one paint cycle (BeginPaint / EndPaint).
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd = nullptr;
};
