// Rectangle helpers shared by the window system's source files.
#pragma once

#include "platform/WinUser.h"
#include "platform/gdi/Region.h"

namespace WindowGeometry {

inline Region RectRegion(const RECT& rect)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return Region();
    return Region(rect);
}

inline RECT Offset(RECT rect, int dx, int dy)
{
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
    return rect;
}

inline int Width(const RECT& rect)
{
    return rect.right - rect.left;
}

inline int Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

}  // namespace WindowGeometry
