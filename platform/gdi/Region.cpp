// Region arithmetic on bands of disjoint spans, in the manner of the X11 region code.
#include "platform/gdi/Region.h"

#include <algorithm>
#include <climits>

namespace {

bool Apply(Region::Operation operation, bool inA, bool inB)
{
    switch (operation) {
    case Region::Operation::And:
        return inA && inB;
    case Region::Operation::Or:
        return inA || inB;
    case Region::Operation::Xor:
        return inA != inB;
    case Region::Operation::Diff:
        return inA && !inB;
    }
    return false;
}

std::vector<Region::Span> CombineSpans(const std::vector<Region::Span>& a, const std::vector<Region::Span>& b,
                                       Region::Operation operation)
{
    std::vector<int> edges;
    edges.reserve(2 * (a.size() + b.size()));
    for (const auto& span : a) {
        edges.push_back(span.left);
        edges.push_back(span.right);
    }
    for (const auto& span : b) {
        edges.push_back(span.left);
        edges.push_back(span.right);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    std::vector<Region::Span> result;
    size_t indexA = 0;
    size_t indexB = 0;
    for (size_t k = 0; k + 1 < edges.size(); ++k) {
        int x0 = edges[k];
        int x1 = edges[k + 1];
        while (indexA < a.size() && a[indexA].right <= x0)
            ++indexA;
        while (indexB < b.size() && b[indexB].right <= x0)
            ++indexB;
        bool inA = indexA < a.size() && a[indexA].left <= x0;
        bool inB = indexB < b.size() && b[indexB].left <= x0;
        if (!Apply(operation, inA, inB))
            continue;
        if (!result.empty() && result.back().right == x0)
            result.back().right = x1;
        else
            result.push_back({x0, x1});
    }
    return result;
}

// The spans of the band covering row y, or null; `index` advances monotonically.
const std::vector<Region::Span>* SpansAt(const std::vector<Region::Band>& bands, size_t& index, int y)
{
    while (index < bands.size() && bands[index].bottom <= y)
        ++index;
    if (index < bands.size() && bands[index].top <= y)
        return &bands[index].spans;
    return nullptr;
}

}  // namespace

Region::Region(const RECT& rect)
{
    if (rect.left < rect.right && rect.top < rect.bottom)
        m_Bands.push_back({rect.top, rect.bottom, {{rect.left, rect.right}}});
}

Region Region::FromRects(const RECT* rects, size_t count)
{
    // Pairwise union keeps the work near n log n for the row-by-row lists of shaped windows.
    std::vector<Region> parts;
    parts.reserve(count);
    for (size_t i = 0; i < count; ++i)
        parts.emplace_back(rects[i]);
    if (parts.empty())
        return Region();
    while (parts.size() > 1) {
        std::vector<Region> merged;
        merged.reserve((parts.size() + 1) / 2);
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            merged.push_back(Combine(parts[i], parts[i + 1], Operation::Or));
        if (parts.size() % 2)
            merged.push_back(std::move(parts.back()));
        parts.swap(merged);
    }
    return std::move(parts.front());
}

RECT Region::Bounds() const
{
    if (m_Bands.empty())
        return RECT{};
    RECT box{INT_MAX, m_Bands.front().top, INT_MIN, m_Bands.back().bottom};
    for (const auto& band : m_Bands) {
        box.left = std::min<LONG>(box.left, band.spans.front().left);
        box.right = std::max<LONG>(box.right, band.spans.back().right);
    }
    return box;
}

bool Region::Contains(int x, int y) const
{
    for (const auto& band : m_Bands) {
        if (y < band.top)
            return false;
        if (y >= band.bottom)
            continue;
        for (const auto& span : band.spans) {
            if (x < span.left)
                return false;
            if (x < span.right)
                return true;
        }
        return false;
    }
    return false;
}

bool Region::Intersects(const RECT& rect) const
{
    return !Combine(*this, Region(rect), Operation::And).IsEmpty();
}

std::vector<RECT> Region::Rects() const
{
    std::vector<RECT> rects;
    for (const auto& band : m_Bands)
        for (const auto& span : band.spans)
            rects.push_back(RECT{span.left, band.top, span.right, band.bottom});
    return rects;
}

void Region::Offset(int dx, int dy)
{
    for (auto& band : m_Bands) {
        band.top += dy;
        band.bottom += dy;
        for (auto& span : band.spans) {
            span.left += dx;
            span.right += dx;
        }
    }
}

Region Region::Combine(const Region& a, const Region& b, Operation operation)
{
    std::vector<int> edges;
    for (const auto& band : a.m_Bands) {
        edges.push_back(band.top);
        edges.push_back(band.bottom);
    }
    for (const auto& band : b.m_Bands) {
        edges.push_back(band.top);
        edges.push_back(band.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    static const std::vector<Span> kNone;
    Region result;
    size_t indexA = 0;
    size_t indexB = 0;
    for (size_t k = 0; k + 1 < edges.size(); ++k) {
        const auto* spansA = SpansAt(a.m_Bands, indexA, edges[k]);
        const auto* spansB = SpansAt(b.m_Bands, indexB, edges[k]);
        if (!spansA && !spansB)
            continue;
        auto spans = CombineSpans(spansA ? *spansA : kNone, spansB ? *spansB : kNone, operation);
        if (!spans.empty())
            result.m_Bands.push_back({edges[k], edges[k + 1], std::move(spans)});
    }
    result.Coalesce();
    return result;
}

void Region::Coalesce()
{
    std::vector<Band> merged;
    merged.reserve(m_Bands.size());
    for (auto& band : m_Bands) {
        if (!merged.empty() && merged.back().bottom == band.top && merged.back().spans == band.spans)
            merged.back().bottom = band.bottom;
        else
            merged.push_back(std::move(band));
    }
    m_Bands.swap(merged);
}

bool Region::operator==(const Region& other) const
{
    if (m_Bands.size() != other.m_Bands.size())
        return false;
    for (size_t i = 0; i < m_Bands.size(); ++i) {
        const auto& a = m_Bands[i];
        const auto& b = other.m_Bands[i];
        if (a.top != b.top || a.bottom != b.bottom || a.spans != b.spans)
            return false;
    }
    return true;
}
