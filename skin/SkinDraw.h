// CSkinDraw: the toolkit's drawing routines (bitmaps with and without a key colour, stretched
// key-colour bitmaps, two-colour gradients, centred text extents).
#pragma once

#include "platform/Dc.h"

#include <string>

// The gradient direction word that selects left-to-right; every other value is top-to-bottom.
constexpr DWORD kGradientHorizontal = 0x1000000;
// The skin's key colour: see-through pixels of caption and button bitmaps.
constexpr COLORREF kSkinKey = 0xFF00FF;

class CSkinDraw {
public:
    virtual ~CSkinDraw() = default;

    // Copies the bitmap at its own size to (x, y).
    void DrawBitmap(CDC* pDC, CBitmap* pBmp, int x, int y);
    // As DrawBitmap, leaving the target unchanged where the bitmap has the key colour.
    void DrawTransparentBitmap(CDC* pDC, CBitmap* pBmp, int x, int y, COLORREF key);
    // Stretches the whole bitmap over rc, leaving the target unchanged where the stretched
    // picture has the key colour.
    void StretchTransparent(CDC* pDC, CBitmap* pBmp, RECT rc, COLORREF key);
    // Fills rc with a gradient from `from` to `to`: left to right when mode is 0x1000000,
    // top to bottom otherwise.
    void FillGradient(CDC* pDC, COLORREF from, COLORREF to, DWORD mode, RECT rc);
    // The text's extent (measured with the DC's font) centred in rc; larger than rc when the
    // text does not fit.
    RECT CenterTextRect(CDC* pDC, const std::string& text, RECT rc);
};
