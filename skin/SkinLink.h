// CSkinLink: one underlined text on a solid background that opens an address when clicked.
#pragma once

#include "platform/Wnd.h"

#include <string>

class CSkinLink : public CWnd {
public:
    void SetBackColor(COLORREF c) { m_BackColor = c; }
    void SetText(const std::string& s) { m_Text = s; }
    void SetURL(const std::string& s) { m_Url = s; }
    const std::string& GetText() const { return m_Text; }
    const std::string& GetURL() const { return m_Url; }

    // The text's extent inside the client area, as placed at the last paint.
    RECT GetTextRect() const { return m_TextRect; }

    static constexpr COLORREF kNormalColor = 0xFFFFFF;
    static constexpr COLORREF kActiveColor = 0xC8C800;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnLButtonUp(UINT nFlags, POINT point);
    void OnMouseMove(UINT nFlags, POINT point);
    BOOL OnSetCursor(HWND window, UINT nHitTest, UINT message);
    void OnLButtonDown(UINT nFlags, POINT point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    bool CursorOnText() const;

    COLORREF m_BackColor = 0xFFFFFF;
    std::string m_Text;
    std::string m_Url;
    RECT m_TextRect;
    HCURSOR m_Cursor = nullptr;
};
