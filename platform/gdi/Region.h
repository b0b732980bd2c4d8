// A set of pixels stored as horizontal bands of sorted, disjoint spans (device pixels).
#pragma once

#include "platform/Win32Types.h"

#include <cstddef>
#include <vector>

class Region {
public:
    struct Span {
        int left;
        int right;  // exclusive
        bool operator==(const Span&) const = default;
    };
    struct Band {
        int top;
        int bottom;  // exclusive
        std::vector<Span> spans;
    };
    enum class Operation { And, Or, Xor, Diff };

    Region() = default;
    explicit Region(const RECT& rect);

    static Region FromRects(const RECT* rects, std::size_t count);

    bool IsEmpty() const { return m_Bands.empty(); }
    bool IsRectangle() const { return m_Bands.size() == 1 && m_Bands[0].spans.size() == 1; }
    RECT Bounds() const;
    bool Contains(int x, int y) const;
    bool Intersects(const RECT& rect) const;
    const std::vector<Band>& Bands() const { return m_Bands; }
    std::vector<RECT> Rects() const;

    void Offset(int dx, int dy);
    static Region Combine(const Region& a, const Region& b, Operation operation);

    bool operator==(const Region& other) const;

private:
    void Coalesce();

    std::vector<Band> m_Bands;  // sorted by top, not overlapping, none empty
};
