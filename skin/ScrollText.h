// CScrollText: a one-line strip showing its messages one at a time, each entering at the right
// edge and moving left one pixel per step; link messages stop under the mouse and open their
// address when clicked.
#pragma once

#include "platform/GdiWrappers.h"
#include "platform/Wnd.h"

#include <memory>
#include <string>
#include <vector>

struct ScrollTextItem {
    std::string text;
    RECT rect;
    BOOL link = FALSE;
    std::string url;
};

class CScrollText : public CWnd {
public:
    CScrollText();

    void SetBackColors(COLORREF from, COLORREF to, DWORD mode);
    void SetTextColors(COLORREF text, COLORREF hover);
    void SetSpeed(UINT ms) { m_Speed = ms; }
    void AddText(const std::string& text);
    void AddLink(const std::string& text, const std::string& url);
    void Start();

    // The item being shown, or null.
    const ScrollTextItem* GetCurrent() const { return m_Current; }
    // The items in insertion order.
    size_t GetItemCount() const { return m_Items.size(); }
    const ScrollTextItem& GetItem(size_t index) const { return *m_Items.at(index); }

    static constexpr UINT_PTR kStepTimer = 1;
    static constexpr UINT_PTR kGapTimer = 2;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnSetCursor(HWND window, UINT nHitTest, UINT message);
    void OnLButtonDown(UINT nFlags, POINT point);
    void OnMouseMove(UINT nFlags, POINT point);
    void Place(ScrollTextItem& item);
    ScrollTextItem* NextItem(const ScrollTextItem& finished);
    POINT CursorInClient() const;

    std::vector<std::unique_ptr<ScrollTextItem>> m_Items;
    UINT m_Speed = 50;
    ScrollTextItem* m_Current = nullptr;
    COLORREF m_BackFrom = 0xFFFFFF;
    COLORREF m_BackTo = 0xFF0000;
    DWORD m_BackMode = 0x10000000;
    COLORREF m_TextColor = 0x000000;
    COLORREF m_HoverColor = 0xFF0000;
    CFont m_Font;
    HCURSOR m_Cursor = nullptr;
};
