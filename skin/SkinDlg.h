// CSkinDlg: the skinned dialog frame every window derives from: a background bitmap that gives
// the window its size and shape, a caption band that drags the window, three-state caption
// buttons, a caption icon that opens the system menu, and two paint hooks.
#pragma once

#include "platform/Dialog.h"
#include "platform/GdiWrappers.h"

#include <array>

// One frame element: its rectangle (client pixels, recomputed before every use) and its
// bitmap slots (caption buttons: 0 normal, 1 hover, 2 pressed; background: 0).
struct SkinElement {
    RECT rect;
    std::array<CBitmap, 20> bitmaps;
};

// Element kinds carried in the paint record's CtlType.
enum SkinElementKind : UINT {
    kElementBackground = 0,
    kElementClose = 1,
    kElementMaximize = 2,
    kElementRestore = 3,
    kElementMinimize = 4,
    kElementIcon = 5,
    kElementTitle = 6,
};

class CSkinDlg : public CDialog {
public:
    CSkinDlg(UINT templateId, CWnd* parent);
    ~CSkinDlg() override;

    // Set-up, called from the derived window's OnInitDialog.
    void UseWindowRegion();
    void SetBackgroundBitmap(UINT nId);
    void SetCloseButtonBitmaps(UINT nNormal, UINT nHover, UINT nPressed);
    void SetMinimizeButtonBitmaps(UINT nNormal, UINT nHover, UINT nPressed);
    void SetCaptionHeight(int n) { m_CaptionHeight = n; }
    void SetDragFullWindows(BOOL b) { m_DragFullWindows = b; }
    void ShowCaptionTitle(BOOL b) { m_ShowTitle = b; }
    void SetCaptionIcon(HICON h, BOOL bDraw);

    // Element rectangles, computed in the order close, maximise, restore, minimise, icon, title.
    virtual RECT GetCloseButtonRect();
    virtual RECT GetMaximizeButtonRect();
    virtual RECT GetRestoreButtonRect();
    virtual RECT GetMinimizeButtonRect();
    virtual RECT GetIconRect();
    virtual RECT GetTitleRect();
    virtual RECT GetSystemMenuRect();
    // Paint hooks around the frame, both drawing into the off-screen frame.
    virtual void DrawUnderlay(CDC* pMemDC);
    virtual void DrawOverlay(CDC* pMemDC);

    BOOL OnInitDialog() override;

    // Collects the pixels of `hBmp` outside the key colour range into `region` as one
    // rectangle per run of opaque pixels in a row. False when the bitmap or region is missing.
    static BOOL CreateRegionFromBitmap(HBITMAP hBmp, HRGN region, COLORREF key, COLORREF tolerance);

    // Element state of a rectangle: ODS_HOTLIGHT, ODS_SELECTED or 0.
    UINT GetElementState(const RECT& rect) const;
    BOOL IsOverCaptionButton();
    void UpdateCaptionLayout();

protected:
    void DoDataExchange(CDataExchange*) override {}
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    BOOL OnEraseBkgnd(CDC* pDC);
    void OnMouseMove(UINT nFlags, POINT point);
    void OnLButtonDown(UINT nFlags, POINT point);
    void OnLButtonDblClk(UINT nFlags, POINT point);
    void OnLButtonUp(UINT nFlags, POINT point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void OnNcLButtonDown(UINT nHitTest, POINT point);
    LRESULT OnNcHitTest(POINT point);
    void OnNcCalcSize(BOOL calcValidRects, RECT* rect);
    void OnNcPaint();
    BOOL OnNcActivate(BOOL active);
    LRESULT OnIconEraseBkgnd(WPARAM, LPARAM);
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnSize(UINT nType, int cx, int cy);
    void OnTimer(UINT_PTR nIDEvent);

    void DrawCaptionButtons(CDC* pDC);
    // Paints one element from a paint record (CtlType: the element kind; itemData: the element).
    void DrawElement(const DRAWITEMSTRUCT& item);

    int m_CaptionHeight;
    BOOL m_OverButton = FALSE;
    BOOL m_DragArmed = FALSE;
    BOOL m_Tracking = FALSE;
    POINT m_PressPoint;
    BOOL m_DragFullWindows = FALSE;
    BOOL m_SavedDragFullWindows = FALSE;
    BOOL m_Layered = TRUE;
    HICON m_Icon = nullptr;
    BOOL m_DrawIcon = FALSE;
    BOOL m_ShowIcon = TRUE;
    BOOL m_ShowTitle = TRUE;
    COLORREF m_TitleColor = 0xFFFFFF;
    CFont m_TitleFont;
    BOOL m_UseRegion = FALSE;
    SkinElement m_Background;
    SkinElement m_Close;
    SkinElement m_Maximize;
    SkinElement m_Restore;
    SkinElement m_Minimize;
    SkinElement m_IconElement;
    SkinElement m_Title;
};
