// Plays Windows metafiles and enhanced metafiles onto a cairo surface: the records' graphics
// state, objects, shapes, text, bitmaps and clipping, rasterised by cairo.
// Record layouts follow the public [MS-WMF] and [MS-EMF] documents.
#include "image/formats/MetafilePlayer.h"

#include "image/formats/MetafileRecords.h"
#include "platform/base/ByteOrder.h"
#include "platform/base/Utf8.h"
#include "platform/gdi/CairoText.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Bounds-checked little-endian reads from one record; reads past the end give 0.
class RecordReader {
public:
    RecordReader(std::span<const uint8_t> bytes) : m_Bytes(bytes) {}
    size_t Size() const { return m_Bytes.size(); }
    bool Has(size_t offset, size_t length) const
    {
        return offset <= m_Bytes.size() && length <= m_Bytes.size() - offset;
    }
    uint8_t U8(size_t offset) const { return Has(offset, 1) ? m_Bytes[offset] : 0; }
    uint16_t U16(size_t offset) const { return Has(offset, 2) ? ReadLE16(m_Bytes.data(), offset) : 0; }
    int16_t S16(size_t offset) const { return static_cast<int16_t>(U16(offset)); }
    uint32_t U32(size_t offset) const { return Has(offset, 4) ? ReadLE32(m_Bytes.data(), offset) : 0; }
    int32_t S32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
    float F32(size_t offset) const
    {
        uint32_t bits = U32(offset);
        float value;
        std::memcpy(&value, &bits, 4);
        return std::isfinite(value) ? value : 0.0f;
    }
    std::span<const uint8_t> Sub(size_t offset, size_t length) const
    {
        return Has(offset, length) ? m_Bytes.subspan(offset, length) : std::span<const uint8_t>();
    }

private:
    std::span<const uint8_t> m_Bytes;
};

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;  // x' = a x + c y + e; y' = b x + d y + f
    void Apply(double& x, double& y) const
    {
        double nx = a * x + c * y + e;
        y = b * x + d * y + f;
        x = nx;
    }
    // The transform that applies `first`, then `second`.
    static Matrix Then(const Matrix& first, const Matrix& second)
    {
        Matrix m;
        m.a = second.a * first.a + second.c * first.b;
        m.b = second.b * first.a + second.d * first.b;
        m.c = second.a * first.c + second.c * first.d;
        m.d = second.b * first.c + second.d * first.d;
        m.e = second.a * first.e + second.c * first.f + second.e;
        m.f = second.b * first.e + second.d * first.f + second.f;
        return m;
    }
    double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
    bool Finite() const
    {
        return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) && std::isfinite(e) &&
               std::isfinite(f);
    }
};

struct Color {
    double r = 0, g = 0, b = 0;
};

Color FromColorRef(uint32_t ref)
{
    return {(ref & 0xFF) / 255.0, ((ref >> 8) & 0xFF) / 255.0, ((ref >> 16) & 0xFF) / 255.0};
}

// A decoded device-independent bitmap, as a cairo image surface.
struct SurfaceCloser {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceCloser>;

// Decodes a packed DIB (info header, colour table, bits) of 1, 4, 8, 16, 24 or 32 bits, BI_RGB
// or BI_BITFIELDS; everything is checked against the given spans.
SurfacePtr DecodeDib(std::span<const uint8_t> infoBytes, std::span<const uint8_t> bits)
{
    RecordReader info(infoBytes);
    uint32_t headerSize = info.U32(0);
    int64_t width, height;
    uint32_t bitCount, compression = 0, colorsUsed = 0;
    if (headerSize == 12) {
        width = info.U16(4);
        height = info.S16(6);
        bitCount = info.U16(10);
    } else if (headerSize >= 40 && info.Has(0, 40)) {
        width = info.S32(4);
        height = info.S32(8);
        bitCount = info.U16(14);
        compression = info.U32(16);
        colorsUsed = info.U32(32);
    } else {
        return nullptr;
    }
    bool topDown = height < 0;
    height = std::llabs(height);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384 || width * height > 32 * 1024 * 1024)
        return nullptr;
    if (compression != 0 && !(compression == 3 && (bitCount == 16 || bitCount == 32)))
        return nullptr;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return nullptr;
    size_t entrySize = headerSize == 12 ? 3 : 4;
    size_t tableOffset = headerSize;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    if (compression == 3) {
        if (headerSize == 40) {
            for (int i = 0; i < 3; ++i)
                masks[i] = info.U32(40 + i * 4);
            tableOffset += 12;
        } else {
            for (int i = 0; i < 3; ++i)
                masks[i] = info.U32(40 + i * 4);
        }
    }
    uint32_t tableEntries = 0;
    if (bitCount <= 8) {
        tableEntries = colorsUsed ? std::min<uint32_t>(colorsUsed, 1u << bitCount) : 1u << bitCount;
    }
    std::vector<uint32_t> table(256, 0);
    for (uint32_t i = 0; i < tableEntries; ++i) {
        size_t at = tableOffset + i * entrySize;
        if (!info.Has(at, 3))
            break;
        table[i] = (static_cast<uint32_t>(info.U8(at + 2)) << 16) | (info.U8(at + 1) << 8) | info.U8(at);
    }
    size_t rowBytes = static_cast<size_t>((width * bitCount + 31) / 32 * 4);
    SurfacePtr surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height)));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    cairo_surface_flush(surface.get());
    unsigned char* target = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    auto channel = [](uint32_t value, uint32_t mask) -> uint32_t {
        if (!mask)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        uint32_t max = mask >> shift;
        return ((value & mask) >> shift) * 255 / max;
    };
    for (int64_t row = 0; row < height; ++row) {
        size_t fileRow = static_cast<size_t>(topDown ? row : height - 1 - row);
        auto* out = reinterpret_cast<uint32_t*>(target + row * stride);
        if (fileRow * rowBytes + rowBytes > bits.size()) {
            std::fill(out, out + width, 0u);
            continue;
        }
        const uint8_t* in = bits.data() + fileRow * rowBytes;
        for (int64_t x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            switch (bitCount) {
            case 1:
                pixel = table[(in[x / 8] >> (7 - x % 8)) & 1];
                break;
            case 4:
                pixel = table[(in[x / 2] >> (x % 2 ? 0 : 4)) & 15];
                break;
            case 8:
                pixel = table[in[x]];
                break;
            case 16: {
                uint32_t v = ReadLE16(in, static_cast<size_t>(x) * 2);
                pixel = (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) | channel(v, masks[2]);
                break;
            }
            case 24:
                pixel = (static_cast<uint32_t>(in[x * 3 + 2]) << 16) | (in[x * 3 + 1] << 8) | in[x * 3];
                break;
            case 32: {
                uint32_t v = ReadLE32(in, static_cast<size_t>(x) * 4);
                pixel = (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) | channel(v, masks[2]);
                break;
            }
            }
            out[x] = pixel;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

// Bytes of a DIB's info header plus colour table, from the start of a packed DIB.
size_t DibInfoBytes(RecordReader dib)
{
    uint32_t headerSize = dib.U32(0);
    if (headerSize == 12)
        return 12 + 3 * (1u << std::min<uint32_t>(dib.U16(10), 8)) * (dib.U16(10) <= 8);
    if (headerSize < 40)
        return 0;
    uint32_t bitCount = dib.U16(14), compression = dib.U32(16), used = dib.U32(32);
    size_t size = headerSize;
    if (compression == 3 && headerSize == 40)
        size += 12;
    if (bitCount <= 8)
        size += 4 * static_cast<size_t>(used ? std::min<uint32_t>(used, 1u << bitCount) : 1u << bitCount);
    else
        size += 4 * static_cast<size_t>(std::min<uint32_t>(used, 256));
    return size;
}

// Splits a packed DIB (BITMAPINFO, then the bits) into its two parts; false when the header is
// unknown or longer than the DIB.
bool SplitPackedDib(RecordReader dib, std::span<const uint8_t>& info, std::span<const uint8_t>& bits)
{
    size_t infoBytes = DibInfoBytes(dib);
    if (!infoBytes || infoBytes > dib.Size())
        return false;
    info = dib.Sub(0, infoBytes);
    bits = dib.Sub(infoBytes, dib.Size() - infoBytes);
    return true;
}

enum class ObjectKind { None, Pen, Brush, Font, Other };

struct Pen {
    uint32_t style = 0;  // PS_SOLID 0 ... PS_NULL 5
    double width = 0;    // logical units; 0 is one device pixel
    Color color;
};

struct Brush {
    uint32_t style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, BS_PATTERN 3, BS_DIBPATTERN 5
    uint32_t hatch = 0;
    Color color;
    std::shared_ptr<cairo_surface_t> pattern;
};

struct Font {
    double height = 12;  // logical units; negative is the character height
    int32_t escapement = 0;
    int32_t weight = 400;
    bool italic = false;
    std::string face;
};

struct Object {
    ObjectKind kind = ObjectKind::None;
    Pen pen;
    Brush brush;
    Font font;
};

// Makes `object` a DIB pattern brush of `pattern`, or a mid-grey solid brush when the
// bitmap could not be decoded.
void SetPatternBrush(Object& object, SurfacePtr pattern)
{
    object.kind = ObjectKind::Brush;
    object.brush.style = 5;
    if (pattern)
        object.brush.pattern.reset(pattern.release(), cairo_surface_destroy);
    if (!object.brush.pattern)
        object.brush.color = {0.5, 0.5, 0.5}, object.brush.style = 0;
}

struct ClipOp {
    enum Kind { Intersect, Exclude, Rects, Reset } kind;
    std::vector<double> rects;  // surface coordinates: x0, y0, x1, y1 per rectangle
};

struct DcState {
    Pen pen;
    Brush brush;
    Font font;
    Color textColor;
    Color bkColor{1, 1, 1};
    int bkMode = 2;  // OPAQUE
    uint32_t textAlign = 0;
    int polyFillMode = 1;  // ALTERNATE
    int mapMode = 1;       // MM_TEXT
    double windowOrgX = 0, windowOrgY = 0, windowExtX = 1, windowExtY = 1;
    double viewportOrgX = 0, viewportOrgY = 0, viewportExtX = 1, viewportExtY = 1;
    Matrix world;
    double curX = 0, curY = 0;  // logical
    std::vector<ClipOp> clip;
};

constexpr size_t kMaxClipOps = 64;

class Player {
public:
    Player(cairo_t* cr, int width, int height) : m_Cairo(cr), m_Width(width), m_Height(height)
    {
        m_State.pen.color = {0, 0, 0};
        m_State.brush.color = {1, 1, 1};
        m_State.font.face = "sans-serif";
    }

    void PlayWmf(std::span<const uint8_t> data, const RECT& window);
    void PlayEmf(std::span<const uint8_t> data);

private:
    // Coordinates.
    Matrix PageTransform() const;
    Matrix LogicalToSurface() const { return Matrix::Then(Matrix::Then(m_State.world, PageTransform()), m_Device); }
    void ToSurface(double& x, double& y) const { LogicalToSurface().Apply(x, y); }
    double LengthToSurface(double length) const { return std::fabs(length) * LogicalToSurface().Scale(); }

    // Drawing.
    void ApplyClip();
    bool BeginShape();
    void FillAndStroke(bool fill, bool stroke);
    void SetSourceBrush();
    void SetStrokePen();
    void Polygon(const std::vector<double>& points, bool closed, bool fill);
    void PolyPolygon(const std::vector<double>& points, const std::vector<uint32_t>& counts, bool fill);
    void Rectangle(double left, double top, double right, double bottom);
    void RoundRect(double left, double top, double right, double bottom, double cornerW, double cornerH);
    void Ellipse(double left, double top, double right, double bottom);
    enum class ArcKind { Arc, Chord, Pie };
    void ArcShape(ArcKind kind, double left, double top, double right, double bottom, double xs, double ys, double xe,
                  double ye);
    void LineTo(double x, double y);
    void SetPixel(double x, double y, uint32_t colorRef);
    void Text(double x, double y, const std::string& utf8, uint32_t options, const double* rect);
    void Blit(std::span<const uint8_t> info, std::span<const uint8_t> bits, double xDest, double yDest, double cxDest,
              double cyDest, double xSrc, double ySrc, double cxSrc, double cySrc, uint32_t rop);
    void PatternBlit(double x, double y, double cx, double cy, uint32_t rop);
    void FillRects(const std::vector<double>& rects, const Brush& brush);

    // Objects and state.
    void Select(uint32_t index);
    void Delete(uint32_t index);
    uint32_t FreeSlot();
    void Save();
    void Restore(int32_t which);
    void AddClip(ClipOp op);
    bool CountPoints(uint64_t count);
    bool SpendArea(double x0, double y0, double x1, double y1);

    bool WmfRecord(uint16_t function, RecordReader r);
    bool EmfRecord(uint32_t type, RecordReader r);

    cairo_t* m_Cairo;
    int m_Width, m_Height;
    DcState m_State;
    std::vector<DcState> m_Saved;
    std::vector<Object> m_Objects;
    Matrix m_Device;  // reference-device pixels to surface pixels (EMF); identity for WMF
    bool m_Enhanced = false;
    double m_PixelsPerMmX = 96 / 25.4, m_PixelsPerMmY = 96 / 25.4;
    bool m_InPath = false;
    uint64_t m_Points = 0;
    double m_Work = 0;  // pixels painted so far
};

Matrix Player::PageTransform() const
{
    const DcState& s = m_State;
    double sx = 1, sy = 1;
    switch (s.mapMode) {
    case 2:  // MM_LOMETRIC, 0.1 mm
        sx = m_PixelsPerMmX * 0.1, sy = -m_PixelsPerMmY * 0.1;
        break;
    case 3:  // MM_HIMETRIC, 0.01 mm
        sx = m_PixelsPerMmX * 0.01, sy = -m_PixelsPerMmY * 0.01;
        break;
    case 4:  // MM_LOENGLISH, 0.01 inch
        sx = m_PixelsPerMmX * 0.254, sy = -m_PixelsPerMmY * 0.254;
        break;
    case 5:  // MM_HIENGLISH, 0.001 inch
        sx = m_PixelsPerMmX * 0.0254, sy = -m_PixelsPerMmY * 0.0254;
        break;
    case 6:  // MM_TWIPS
        sx = m_PixelsPerMmX * 25.4 / 1440, sy = -m_PixelsPerMmY * 25.4 / 1440;
        break;
    case 7:  // MM_ISOTROPIC
    case 8:  // MM_ANISOTROPIC
        sx = s.windowExtX != 0 ? s.viewportExtX / s.windowExtX : 1;
        sy = s.windowExtY != 0 ? s.viewportExtY / s.windowExtY : 1;
        if (s.mapMode == 7) {
            double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = sx < 0 ? -m : m;
            sy = sy < 0 ? -m : m;
        }
        break;
    default:
        break;
    }
    Matrix m;
    m.a = sx;
    m.d = sy;
    m.e = s.viewportOrgX - s.windowOrgX * sx;
    m.f = s.viewportOrgY - s.windowOrgY * sy;
    return m;
}

bool Player::CountPoints(uint64_t count)
{
    if (count > MetafilePlayer::kMaxPoints - std::min(m_Points, MetafilePlayer::kMaxPoints))
        return false;
    m_Points += count;
    return true;
}

// Charges the painting of a box (surface coordinates, clipped to the surface) against the work
// budget: a file may paint every pixel many times over, but not without end. Once the budget is
// spent, nothing more is painted.
bool Player::SpendArea(double x0, double y0, double x1, double y1)
{
    double width =
        std::clamp(std::max(x0, x1), 0.0, double(m_Width)) - std::clamp(std::min(x0, x1), 0.0, double(m_Width));
    double height =
        std::clamp(std::max(y0, y1), 0.0, double(m_Height)) - std::clamp(std::min(y0, y1), 0.0, double(m_Height));
    double budget = MetafilePlayer::kMaxOverdraw * double(m_Width) * double(m_Height) + 1e7;
    if (m_Work > budget)
        return false;
    m_Work += std::max(0.0, width) * std::max(0.0, height) + 1;
    return true;
}

void Player::ApplyClip()
{
    cairo_reset_clip(m_Cairo);
    for (const ClipOp& op : m_State.clip) {
        cairo_new_path(m_Cairo);
        switch (op.kind) {
        case ClipOp::Reset:
            cairo_reset_clip(m_Cairo);
            continue;
        case ClipOp::Intersect:
        case ClipOp::Rects:
            for (size_t i = 0; i + 3 < op.rects.size(); i += 4)
                cairo_rectangle(m_Cairo, op.rects[i], op.rects[i + 1], op.rects[i + 2] - op.rects[i],
                                op.rects[i + 3] - op.rects[i + 1]);
            cairo_set_fill_rule(m_Cairo, CAIRO_FILL_RULE_WINDING);
            break;
        case ClipOp::Exclude:
            cairo_rectangle(m_Cairo, -1, -1, m_Width + 2.0, m_Height + 2.0);
            cairo_rectangle(m_Cairo, op.rects[0], op.rects[1], op.rects[2] - op.rects[0], op.rects[3] - op.rects[1]);
            cairo_set_fill_rule(m_Cairo, CAIRO_FILL_RULE_EVEN_ODD);
            break;
        }
        cairo_clip(m_Cairo);
    }
    cairo_new_path(m_Cairo);
}

void Player::AddClip(ClipOp op)
{
    if (op.kind == ClipOp::Reset) {
        m_State.clip.clear();
        return;
    }
    if (m_State.clip.size() < kMaxClipOps)
        m_State.clip.push_back(std::move(op));
}

// Starts a shape: outside a path bracket the cairo path is new and the clip is current.
bool Player::BeginShape()
{
    if (m_InPath)
        return true;
    ApplyClip();
    cairo_new_path(m_Cairo);
    return true;
}

void Player::SetSourceBrush()
{
    const Brush& brush = m_State.brush;
    if (brush.style == 3 || brush.style == 5) {
        if (brush.pattern) {
            cairo_pattern_t* pattern = cairo_pattern_create_for_surface(brush.pattern.get());
            cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
            cairo_set_source(m_Cairo, pattern);
            cairo_pattern_destroy(pattern);
            return;
        }
    }
    if (brush.style == 2) {
        // Hatched: an 8 x 8 tile of hatch lines in the brush colour over the background colour
        // (or over what is below in transparent mode).
        cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_t* t = cairo_create(tile);
        if (m_State.bkMode == 2) {
            cairo_set_source_rgb(t, m_State.bkColor.r, m_State.bkColor.g, m_State.bkColor.b);
            cairo_paint(t);
        }
        cairo_set_source_rgb(t, brush.color.r, brush.color.g, brush.color.b);
        cairo_set_line_width(t, 1);
        uint32_t h = brush.hatch;
        if (h == 0 || h == 4) {  // HS_HORIZONTAL, HS_CROSS
            cairo_move_to(t, 0, 3.5);
            cairo_line_to(t, 8, 3.5);
        }
        if (h == 1 || h == 4) {  // HS_VERTICAL
            cairo_move_to(t, 3.5, 0);
            cairo_line_to(t, 3.5, 8);
        }
        if (h == 2 || h == 5) {  // HS_FDIAGONAL
            cairo_move_to(t, 0, 0);
            cairo_line_to(t, 8, 8);
        }
        if (h == 3 || h == 5) {  // HS_BDIAGONAL
            cairo_move_to(t, 0, 8);
            cairo_line_to(t, 8, 0);
        }
        cairo_stroke(t);
        cairo_destroy(t);
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
        cairo_set_source(m_Cairo, pattern);
        cairo_pattern_destroy(pattern);
        cairo_surface_destroy(tile);
        return;
    }
    cairo_set_source_rgb(m_Cairo, brush.color.r, brush.color.g, brush.color.b);
}

void Player::SetStrokePen()
{
    const Pen& pen = m_State.pen;
    cairo_set_source_rgb(m_Cairo, pen.color.r, pen.color.g, pen.color.b);
    double width = std::max(1.0, LengthToSurface(pen.width));
    cairo_set_line_width(m_Cairo, std::min(width, 4.0 * std::max(m_Width, m_Height)));
    uint32_t style = pen.style & 0xF;
    static const double kDash[] = {6, 2}, kDot[] = {1, 2}, kDashDot[] = {6, 2, 1, 2},
                        kDashDotDot[] = {6, 2, 1, 2, 1, 2};
    switch (style) {
    case 1:
        cairo_set_dash(m_Cairo, kDash, 2, 0);
        break;
    case 2:
        cairo_set_dash(m_Cairo, kDot, 2, 0);
        break;
    case 3:
        cairo_set_dash(m_Cairo, kDashDot, 4, 0);
        break;
    case 4:
        cairo_set_dash(m_Cairo, kDashDotDot, 6, 0);
        break;
    default:
        cairo_set_dash(m_Cairo, nullptr, 0, 0);
        break;
    }
    uint32_t endCap = pen.style & 0xF00, join = pen.style & 0xF000;
    cairo_set_line_cap(m_Cairo, endCap == 0x100   ? CAIRO_LINE_CAP_SQUARE
                                : endCap == 0x200 ? CAIRO_LINE_CAP_BUTT
                                                  : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(m_Cairo, join == 0x1000   ? CAIRO_LINE_JOIN_BEVEL
                                 : join == 0x2000 ? CAIRO_LINE_JOIN_MITER
                                                  : CAIRO_LINE_JOIN_ROUND);
}

void Player::FillAndStroke(bool fill, bool stroke)
{
    if (m_InPath)
        return;
    double x0, y0, x1, y1;
    cairo_path_extents(m_Cairo, &x0, &y0, &x1, &y1);
    if (!SpendArea(x0 - 2, y0 - 2, x1 + 2, y1 + 2)) {
        cairo_new_path(m_Cairo);
        return;
    }
    cairo_set_fill_rule(m_Cairo, m_State.polyFillMode == 2 ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    if (fill && m_State.brush.style != 1) {
        SetSourceBrush();
        if (stroke && (m_State.pen.style & 0xF) != 5)
            cairo_fill_preserve(m_Cairo);
        else
            cairo_fill(m_Cairo);
    }
    if (stroke && (m_State.pen.style & 0xF) != 5) {
        SetStrokePen();
        cairo_stroke(m_Cairo);
    }
    cairo_new_path(m_Cairo);
}

void Player::Polygon(const std::vector<double>& points, bool closed, bool fill)
{
    if (points.size() < 4 || !BeginShape())
        return;
    Matrix m = LogicalToSurface();
    for (size_t i = 0; i + 1 < points.size(); i += 2) {
        double x = points[i], y = points[i + 1];
        m.Apply(x, y);
        if (i == 0)
            cairo_move_to(m_Cairo, x, y);
        else
            cairo_line_to(m_Cairo, x, y);
    }
    if (closed)
        cairo_close_path(m_Cairo);
    FillAndStroke(fill, true);
}

void Player::PolyPolygon(const std::vector<double>& points, const std::vector<uint32_t>& counts, bool fill)
{
    if (!BeginShape())
        return;
    Matrix m = LogicalToSurface();
    size_t at = 0;
    for (uint32_t count : counts) {
        for (uint32_t i = 0; i < count && at + 1 < points.size(); ++i, at += 2) {
            double x = points[at], y = points[at + 1];
            m.Apply(x, y);
            if (i == 0)
                cairo_move_to(m_Cairo, x, y);
            else
                cairo_line_to(m_Cairo, x, y);
        }
        if (fill)
            cairo_close_path(m_Cairo);
    }
    FillAndStroke(fill, true);
}

void Player::Rectangle(double left, double top, double right, double bottom)
{
    Polygon({left, top, right, top, right, bottom, left, bottom}, true, true);
}

void Player::Ellipse(double left, double top, double right, double bottom)
{
    ArcShape(ArcKind::Chord, left, top, right, bottom, right, (top + bottom) / 2, right, (top + bottom) / 2);
}

void Player::RoundRect(double left, double top, double right, double bottom, double cornerW, double cornerH)
{
    if (!BeginShape())
        return;
    double rx = std::min(std::fabs(cornerW), std::fabs(right - left)) / 2;
    double ry = std::min(std::fabs(cornerH), std::fabs(bottom - top)) / 2;
    double x0 = std::min(left, right), x1 = std::max(left, right), y0 = std::min(top, bottom),
           y1 = std::max(top, bottom);
    Matrix m = LogicalToSurface();
    std::vector<double> points;
    auto corner = [&](double cx, double cy, double startAngle) {
        for (int i = 0; i <= 8; ++i) {
            double angle = startAngle + i * kPi / 16;
            points.push_back(cx + rx * std::cos(angle));
            points.push_back(cy + ry * std::sin(angle));
        }
    };
    corner(x1 - rx, y0 + ry, -kPi / 2);
    corner(x1 - rx, y1 - ry, 0);
    corner(x0 + rx, y1 - ry, kPi / 2);
    corner(x0 + rx, y0 + ry, kPi);
    for (size_t i = 0; i + 1 < points.size(); i += 2) {
        double x = points[i], y = points[i + 1];
        m.Apply(x, y);
        if (i == 0)
            cairo_move_to(m_Cairo, x, y);
        else
            cairo_line_to(m_Cairo, x, y);
    }
    cairo_close_path(m_Cairo);
    FillAndStroke(true, true);
}

// Arcs run counter-clockwise (in logical space with y down, as GDI draws by default) from the
// radial through the start point to the radial through the end point.
void Player::ArcShape(ArcKind kind, double left, double top, double right, double bottom, double xs, double ys,
                      double xe, double ye)
{
    if (!BeginShape())
        return;
    double cx = (left + right) / 2, cy = (top + bottom) / 2;
    double rx = std::fabs(right - left) / 2, ry = std::fabs(bottom - top) / 2;
    if (rx == 0 || ry == 0)
        return;
    double start = std::atan2((ys - cy) / ry, (xs - cx) / rx);
    double end = std::atan2((ye - cy) / ry, (xe - cx) / rx);
    // Counter-clockwise on screen is decreasing angle when y grows downwards.
    double sweep = start - end;
    if (sweep <= 0)
        sweep += 2 * kPi;
    Matrix m = LogicalToSurface();
    int steps = std::clamp(static_cast<int>(sweep / (2 * kPi) * 96), 8, 96);
    bool first = true;
    if (kind == ArcKind::Pie) {
        double x = cx, y = cy;
        m.Apply(x, y);
        cairo_move_to(m_Cairo, x, y);
        first = false;
    }
    for (int i = 0; i <= steps; ++i) {
        double angle = start - sweep * i / steps;
        double x = cx + rx * std::cos(angle), y = cy + ry * std::sin(angle);
        m.Apply(x, y);
        if (first)
            cairo_move_to(m_Cairo, x, y);
        else
            cairo_line_to(m_Cairo, x, y);
        first = false;
    }
    if (kind != ArcKind::Arc)
        cairo_close_path(m_Cairo);
    FillAndStroke(kind != ArcKind::Arc, true);
}

void Player::LineTo(double x, double y)
{
    if (m_InPath) {
        double x0 = m_State.curX, y0 = m_State.curY, x1 = x, y1 = y;
        ToSurface(x0, y0);
        ToSurface(x1, y1);
        if (!cairo_has_current_point(m_Cairo))
            cairo_move_to(m_Cairo, x0, y0);
        cairo_line_to(m_Cairo, x1, y1);
    } else {
        Polygon({m_State.curX, m_State.curY, x, y}, false, false);
    }
    m_State.curX = x;
    m_State.curY = y;
}

void Player::SetPixel(double x, double y, uint32_t colorRef)
{
    ToSurface(x, y);
    ApplyClip();
    Color c = FromColorRef(colorRef);
    cairo_new_path(m_Cairo);
    cairo_rectangle(m_Cairo, std::floor(x), std::floor(y), 1, 1);
    cairo_set_source_rgb(m_Cairo, c.r, c.g, c.b);
    cairo_fill(m_Cairo);
}

void Player::Text(double x, double y, const std::string& utf8, uint32_t options, const double* rect)
{
    if (m_InPath)
        return;
    ApplyClip();
    Matrix m = LogicalToSurface();
    if (rect && (options & 0x0006)) {
        double x0 = rect[0], y0 = rect[1], x1 = rect[2], y1 = rect[3];
        m.Apply(x0, y0);
        m.Apply(x1, y1);
        cairo_new_path(m_Cairo);
        cairo_rectangle(m_Cairo, std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0));
        if (options & 0x0002) {  // ETO_OPAQUE
            cairo_set_source_rgb(m_Cairo, m_State.bkColor.r, m_State.bkColor.g, m_State.bkColor.b);
            cairo_fill_preserve(m_Cairo);
        }
        if (options & 0x0004)  // ETO_CLIPPED
            cairo_clip(m_Cairo);
        cairo_new_path(m_Cairo);
    }
    if (utf8.empty() || !SpendArea(0, 0, 0, 0))
        return;
    bool updateCp = m_State.textAlign & 1;
    if (updateCp) {
        x = m_State.curX;
        y = m_State.curY;
    }
    m.Apply(x, y);
    const Font& font = m_State.font;
    double size = LengthToSurface(font.height);
    if (font.height > 0)
        size /= 1.15;  // a positive height is the cell height, internal leading included
    if (font.height == 0)
        size = 12;
    if (!(size >= 0.5) || size > 4 * std::max(m_Width, m_Height))
        return;
    // The GDI's font engine lays the text out, so faces resolve as in window text.
    cairo_save(m_Cairo);
    cairo_translate(m_Cairo, x, y);
    cairo_rotate(m_Cairo, -font.escapement / 10.0 * kPi / 180.0);
    CairoText text(m_Cairo, font.face.empty() ? "sans-serif" : font.face, size, font.weight, font.italic, utf8);
    double dx = 0, dy = 0;
    uint32_t horizontal = m_State.textAlign & 6, vertical = m_State.textAlign & 24;
    if (horizontal == 6)
        dx = -text.Advance() / 2;
    else if (horizontal == 2)
        dx = -text.Advance();
    if (vertical == 0)
        dy = text.Ascent();
    else if (vertical == 8)
        dy = -text.Descent();
    if (m_State.bkMode == 2) {
        cairo_rectangle(m_Cairo, dx, dy - text.Ascent(), text.Advance(), text.Ascent() + text.Descent());
        cairo_set_source_rgb(m_Cairo, m_State.bkColor.r, m_State.bkColor.g, m_State.bkColor.b);
        cairo_fill(m_Cairo);
    }
    cairo_move_to(m_Cairo, dx, dy);
    cairo_set_source_rgb(m_Cairo, m_State.textColor.r, m_State.textColor.g, m_State.textColor.b);
    text.Show();
    cairo_restore(m_Cairo);
    if (updateCp) {
        double advance = text.Advance() / std::max(1e-9, LogicalToSurface().Scale());
        m_State.curX += horizontal == 2 ? -advance : advance;
    }
}

void Player::Blit(std::span<const uint8_t> info, std::span<const uint8_t> bits, double xDest, double yDest,
                  double cxDest, double cyDest, double xSrc, double ySrc, double cxSrc, double cySrc, uint32_t rop)
{
    SurfacePtr image = DecodeDib(info, bits);
    if (!image || m_InPath)
        return;
    double x0 = xDest, y0 = yDest, x1 = xDest + cxDest, y1 = yDest + cyDest;
    ToSurface(x0, y0);
    ToSurface(x1, y1);
    if (cxSrc == 0 || cySrc == 0 || !SpendArea(x0, y0, x1, y1))
        return;
    ApplyClip();
    cairo_save(m_Cairo);
    cairo_new_path(m_Cairo);
    cairo_rectangle(m_Cairo, std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0));
    cairo_clip(m_Cairo);
    cairo_translate(m_Cairo, x0, y0);
    double sx = (x1 - x0) / cxSrc, sy = (y1 - y0) / cySrc;
    if (!std::isfinite(sx) || !std::isfinite(sy) || sx == 0 || sy == 0) {
        cairo_restore(m_Cairo);
        return;
    }
    cairo_scale(m_Cairo, sx, sy);
    cairo_set_source_surface(m_Cairo, image.get(), -xSrc, -ySrc);
    cairo_pattern_set_filter(cairo_get_source(m_Cairo), CAIRO_FILTER_GOOD);
    // Raster operations that combine with the destination are approximated by blend modes.
    if (rop == 0x008800C6)  // SRCAND
        cairo_set_operator(m_Cairo, CAIRO_OPERATOR_MULTIPLY);
    else if (rop == 0x00EE0086)  // SRCPAINT
        cairo_set_operator(m_Cairo, CAIRO_OPERATOR_LIGHTEN);
    else if (rop == 0x00660046)  // SRCINVERT
        cairo_set_operator(m_Cairo, CAIRO_OPERATOR_DIFFERENCE);
    cairo_paint(m_Cairo);
    cairo_restore(m_Cairo);
}

// Raster operations without a source bitmap.
void Player::PatternBlit(double x, double y, double cx, double cy, uint32_t rop)
{
    if (m_InPath)
        return;
    double x0 = x, y0 = y, x1 = x + cx, y1 = y + cy;
    ToSurface(x0, y0);
    ToSurface(x1, y1);
    if (!SpendArea(x0, y0, x1, y1))
        return;
    ApplyClip();
    cairo_new_path(m_Cairo);
    cairo_rectangle(m_Cairo, std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0));
    if (rop == 0x00000042)  // BLACKNESS
        cairo_set_source_rgb(m_Cairo, 0, 0, 0);
    else if (rop == 0x00FF0062)  // WHITENESS
        cairo_set_source_rgb(m_Cairo, 1, 1, 1);
    else if (rop == 0x00F00021 && m_State.brush.style != 1)  // PATCOPY
        SetSourceBrush();
    else {
        cairo_new_path(m_Cairo);
        return;
    }
    cairo_fill(m_Cairo);
}

void Player::FillRects(const std::vector<double>& rects, const Brush& brush)
{
    if (m_InPath || brush.style == 1)
        return;
    for (size_t i = 0; i + 3 < rects.size(); i += 4)
        if (!SpendArea(rects[i], rects[i + 1], rects[i + 2], rects[i + 3]))
            return;
    ApplyClip();
    cairo_new_path(m_Cairo);
    for (size_t i = 0; i + 3 < rects.size(); i += 4)
        cairo_rectangle(m_Cairo, rects[i], rects[i + 1], rects[i + 2] - rects[i], rects[i + 3] - rects[i + 1]);
    Brush saved = m_State.brush;
    m_State.brush = brush;
    SetSourceBrush();
    m_State.brush = saved;
    cairo_fill(m_Cairo);
}

uint32_t Player::FreeSlot()
{
    for (uint32_t i = 0; i < m_Objects.size(); ++i)
        if (m_Objects[i].kind == ObjectKind::None)
            return i;
    return UINT32_MAX;
}

void Player::Select(uint32_t index)
{
    if (m_Enhanced && (index & 0x80000000u)) {
        // Stock objects.
        switch (index & 0x7FFFFFFFu) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4: {
            static const double kLevels[] = {1.0, 0.75, 0.5, 0.25, 0.0};
            double level = kLevels[index & 0x7FFFFFFFu];
            m_State.brush = Brush{};
            m_State.brush.color = {level, level, level};
            break;
        }
        case 5:
            m_State.brush = Brush{};
            m_State.brush.style = 1;
            break;
        case 6:
            m_State.pen = Pen{0, 0, {1, 1, 1}};
            break;
        case 7:
            m_State.pen = Pen{0, 0, {0, 0, 0}};
            break;
        case 8:
            m_State.pen = Pen{5, 0, {0, 0, 0}};
            break;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 16:
            m_State.font = Font{};
            m_State.font.face = (index & 0x7FFFFFFFu) == 12 || (index & 0x7FFFFFFFu) == 13 ? "sans-serif" : "monospace";
            break;
        default:
            break;
        }
        return;
    }
    if (index >= m_Objects.size())
        return;
    const Object& object = m_Objects[index];
    switch (object.kind) {
    case ObjectKind::Pen:
        m_State.pen = object.pen;
        break;
    case ObjectKind::Brush:
        m_State.brush = object.brush;
        break;
    case ObjectKind::Font:
        m_State.font = object.font;
        break;
    default:
        break;
    }
}

void Player::Delete(uint32_t index)
{
    if (index < m_Objects.size())
        m_Objects[index] = Object{};
}

void Player::Save()
{
    if (m_Saved.size() < static_cast<size_t>(MetafilePlayer::kMaxSavedStates))
        m_Saved.push_back(m_State);
    else
        m_Saved.back() = m_State;
}

void Player::Restore(int32_t which)
{
    // Negative: relative to the newest saved state; positive: the n-th saved state.
    int64_t target = which < 0 ? static_cast<int64_t>(m_Saved.size()) + which : static_cast<int64_t>(which) - 1;
    if (target < 0 || target >= static_cast<int64_t>(m_Saved.size()))
        return;
    m_State = m_Saved[static_cast<size_t>(target)];
    m_Saved.resize(static_cast<size_t>(target));
}

// Windows-1252 text as UTF-8 (bytes 0x80-0x9F taken as Latin-1).
std::string AnsiToUtf8(std::span<const uint8_t> bytes)
{
    std::string text;
    for (uint8_t byte : bytes) {
        if (byte == 0)
            break;
        AppendUtf8(text, byte);
    }
    return text;
}

std::string Utf16ToUtf8(RecordReader r, size_t offset, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count && r.Has(offset + i * 2, 2); ++i) {
        uint32_t c = r.U16(offset + i * 2);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            uint32_t low = r.U16(offset + (i + 1) * 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c == 0)
            break;
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        AppendUtf8(text, c);
    }
    return text;
}

std::string FaceName(RecordReader r, size_t offset, bool wide)
{
    std::string face = wide
                           ? Utf16ToUtf8(r, offset, 32)
                           : AnsiToUtf8(r.Sub(offset, std::min<size_t>(32, r.Size() > offset ? r.Size() - offset : 0)));
    return face;
}

// ---------------------------------------------------------------------------------------------
// Windows metafile records. Parameters are 16-bit words after the 6-byte record header, stored
// in reverse order of the call's arguments.

void Player::PlayWmf(std::span<const uint8_t> data, const RECT& window)
{
    m_Enhanced = false;
    RecordReader header(data);
    uint32_t headerWords = header.U16(2);
    uint32_t objects = header.U16(10);
    m_Objects.assign(std::min<uint32_t>(objects, MetafilePlayer::kMaxObjects), Object{});
    m_State.mapMode = 8;
    m_State.windowOrgX = window.left;
    m_State.windowOrgY = window.top;
    m_State.windowExtX = window.right - window.left;
    m_State.windowExtY = window.bottom - window.top;
    m_State.viewportExtX = m_Width;
    m_State.viewportExtY = m_Height;
    size_t offset = std::max<size_t>(18, headerWords * 2u);
    for (uint32_t count = 0; count < MetafilePlayer::kMaxRecords && offset + 6 <= data.size(); ++count) {
        RecordReader at(data.subspan(offset));
        uint64_t size = static_cast<uint64_t>(at.U32(0)) * 2;
        uint16_t function = at.U16(4);
        if (size < 6 || size > data.size() - offset)
            break;
        if (function == META_EOF)
            break;
        WmfRecord(function, RecordReader(data.subspan(offset + 6, static_cast<size_t>(size - 6))));
        offset += static_cast<size_t>(size);
    }
}

bool Player::WmfRecord(uint16_t function, RecordReader r)
{
    auto w = [&](size_t index) { return static_cast<double>(r.S16(index * 2)); };
    size_t words = r.Size() / 2;
    switch (function) {
    case META_SETMAPMODE:  // ignored, the picture is always mapped window to surface
        return true;
    case META_SETBKMODE:
        m_State.bkMode = r.U16(0);
        return true;
    case META_SETBKCOLOR:
        m_State.bkColor = FromColorRef(r.U32(0));
        return true;
    case META_SETTEXTCOLOR:
        m_State.textColor = FromColorRef(r.U32(0));
        return true;
    case META_SETTEXTALIGN:
        m_State.textAlign = r.U16(0);
        return true;
    case META_SETPOLYFILLMODE:
        m_State.polyFillMode = r.U16(0);
        return true;
    case META_SETWINDOWORG:
        m_State.windowOrgY = w(0);
        m_State.windowOrgX = w(1);
        return true;
    case META_SETWINDOWEXT:
        if (w(0) != 0 && w(1) != 0) {
            m_State.windowExtY = w(0);
            m_State.windowExtX = w(1);
        }
        return true;
    case META_OFFSETWINDOWORG:
        m_State.windowOrgY += w(0);
        m_State.windowOrgX += w(1);
        return true;
    case META_SCALEWINDOWEXT:  // yDenom, yNum, xDenom, xNum
        if (w(0) != 0 && w(2) != 0 && w(1) != 0 && w(3) != 0) {
            m_State.windowExtY = m_State.windowExtY * w(1) / w(0);
            m_State.windowExtX = m_State.windowExtX * w(3) / w(2);
        }
        return true;
    case META_SETVIEWPORTORG:  // the surface is the viewport
    case META_SETVIEWPORTEXT:
    case META_OFFSETVIEWPORTORG:
    case META_SCALEVIEWPORTEXT:
        return true;
    case META_MOVETO:
        m_State.curY = w(0);
        m_State.curX = w(1);
        return true;
    case META_LINETO:
        LineTo(w(1), w(0));
        return true;
    case META_ELLIPSE:
        Ellipse(w(3), w(2), w(1), w(0));
        return true;
    case META_RECTANGLE:
        Rectangle(w(3), w(2), w(1), w(0));
        return true;
    case META_ROUNDRECT:
        RoundRect(w(5), w(4), w(3), w(2), w(1), w(0));
        return true;
    case META_ARC:
    case META_CHORD:
    case META_PIE:
        ArcShape(function == META_ARC     ? ArcKind::Arc
                 : function == META_CHORD ? ArcKind::Chord
                                          : ArcKind::Pie,
                 w(7), w(6), w(5), w(4), w(3), w(2), w(1), w(0));
        return true;
    case META_SETPIXEL:  // colour, y, x
        SetPixel(w(3), w(2), r.U32(0));
        return true;
    case META_POLYGON:
    case META_POLYLINE: {
        size_t count = r.U16(0);
        if (count > (words - 1) / 2 || !CountPoints(count))
            return false;
        std::vector<double> points(count * 2);
        for (size_t i = 0; i < count * 2; ++i)
            points[i] = w(1 + i);
        Polygon(points, function == META_POLYGON, function == META_POLYGON);
        return true;
    }
    case META_POLYPOLYGON: {
        size_t polygons = r.U16(0);
        if (polygons > words - 1)
            return false;
        std::vector<uint32_t> counts(polygons);
        uint64_t total = 0;
        for (size_t i = 0; i < polygons; ++i)
            total += counts[i] = r.U16(2 + i * 2);
        if (total > (words - 1 - polygons) / 2 || !CountPoints(total))
            return false;
        std::vector<double> points(static_cast<size_t>(total) * 2);
        for (size_t i = 0; i < points.size(); ++i)
            points[i] = w(1 + polygons + i);
        PolyPolygon(points, counts, true);
        return true;
    }
    case META_TEXTOUT: {  // count, string, y, x
        size_t length = r.U16(0);
        size_t padded = (length + 1) / 2 * 2;
        if (2 + padded + 4 > r.Size())
            return false;
        double y = r.S16(2 + padded), x = r.S16(4 + padded);
        Text(x, y, AnsiToUtf8(r.Sub(2, length)), 0, nullptr);
        return true;
    }
    case META_EXTTEXTOUT: {  // y, x, count, options, [rect], string
        double y = w(0), x = w(1);
        size_t length = r.U16(4);
        uint32_t options = r.U16(6);
        size_t at = 8;
        double rect[4] = {};
        bool hasRect = (options & 0x0006) != 0 && r.Has(8, 8);
        if (hasRect) {
            rect[0] = r.S16(8), rect[1] = r.S16(10), rect[2] = r.S16(12), rect[3] = r.S16(14);
            at = 16;
        }
        if (!r.Has(at, length))
            length = r.Size() > at ? r.Size() - at : 0;
        Text(x, y, AnsiToUtf8(r.Sub(at, length)), options, hasRect ? rect : nullptr);
        return true;
    }
    case META_CREATEPENINDIRECT:
    case META_CREATEBRUSHINDIRECT:
    case META_CREATEFONTINDIRECT:
    case META_DIBCREATEPATTERNBRUSH:
    case META_CREATEPATTERNBRUSH:
    case META_CREATEPALETTE:
    case META_CREATEREGION: {
        uint32_t slot = FreeSlot();
        if (slot == UINT32_MAX)
            return false;
        Object object;
        object.kind = ObjectKind::Other;
        if (function == META_CREATEPENINDIRECT) {
            object.kind = ObjectKind::Pen;
            object.pen.style = r.U16(0);
            object.pen.width = r.S16(2);
            object.pen.color = FromColorRef(r.U32(6));
        } else if (function == META_CREATEBRUSHINDIRECT) {
            object.kind = ObjectKind::Brush;
            object.brush.style = r.U16(0);
            object.brush.color = FromColorRef(r.U32(2));
            object.brush.hatch = r.U16(6);
        } else if (function == META_CREATEFONTINDIRECT) {
            object.kind = ObjectKind::Font;
            object.font.height = r.S16(0);
            object.font.escapement = r.S16(4);
            object.font.weight = r.S16(8);
            object.font.italic = r.U8(10) != 0;
            object.font.face = FaceName(r, 18, false);
        } else if (function == META_DIBCREATEPATTERNBRUSH) {
            std::span<const uint8_t> info, bits;
            SurfacePtr pattern;
            if (SplitPackedDib(RecordReader(r.Sub(4, r.Size() - std::min<size_t>(4, r.Size()))), info, bits))
                pattern = DecodeDib(info, bits);
            SetPatternBrush(object, std::move(pattern));
        }
        m_Objects[slot] = std::move(object);
        return true;
    }
    case META_SELECTOBJECT:
        Select(r.U16(0));
        return true;
    case META_DELETEOBJECT:
        Delete(r.U16(0));
        return true;
    case META_SAVEDC:
        Save();
        return true;
    case META_RESTOREDC:
        Restore(r.S16(0));
        return true;
    case META_INTERSECTCLIPRECT:  // bottom, right, top, left
    case META_EXCLUDECLIPRECT: {
        double x0 = w(3), y0 = w(2), x1 = w(1), y1 = w(0);
        ToSurface(x0, y0);
        ToSurface(x1, y1);
        ClipOp op{function == META_INTERSECTCLIPRECT ? ClipOp::Intersect : ClipOp::Exclude,
                  {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}};
        AddClip(std::move(op));
        return true;
    }
    case META_SELECTCLIPREGION:  // region objects are not kept; a null region resets the clip
        AddClip({ClipOp::Reset, {}});
        return true;
    case META_PATBLT: {  // rop, height, width, y, x
        PatternBlit(w(5), w(4), w(3), w(2), r.U32(0));
        return true;
    }
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT: {
        bool stretch = function == META_DIBSTRETCHBLT;
        size_t paramWords = stretch ? 10 : 8;
        uint32_t rop = r.U32(0);
        if (words <= paramWords + 1) {  // no bitmap: a pattern operation
            if (stretch)
                PatternBlit(w(9), w(8), w(7), w(6), rop);
            else
                PatternBlit(w(7), w(6), w(5), w(4), rop);
            return true;
        }
        double srcH = stretch ? w(2) : 0, srcW = stretch ? w(3) : 0;
        size_t base = stretch ? 4 : 2;
        double ySrc = w(base), xSrc = w(base + 1), destH = w(base + 2), destW = w(base + 3), yDest = w(base + 4),
               xDest = w(base + 5);
        if (!stretch)
            srcW = destW, srcH = destH;
        std::span<const uint8_t> info, bits;
        if (!SplitPackedDib(RecordReader(r.Sub(paramWords * 2, r.Size() - paramWords * 2)), info, bits))
            return false;
        Blit(info, bits, xDest, yDest, destW, destH, xSrc, ySrc, srcW, srcH, rop);
        return true;
    }
    case META_STRETCHDIB: {  // rop, usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest, DIB
        if (words < 12)
            return false;
        uint32_t rop = r.U32(0);
        std::span<const uint8_t> info, bits;
        if (!SplitPackedDib(RecordReader(r.Sub(22, r.Size() - 22)), info, bits))
            return false;
        Blit(info, bits, w(10), w(9), w(8), w(7), w(6), w(5), w(4), w(3), rop);
        return true;
    }
    case META_SETDIBTODEV: {  // usage, scans, startScan, yDib, xDib, height, width, yDest, xDest, DIB
        if (words < 10)
            return false;
        std::span<const uint8_t> info, bits;
        if (!SplitPackedDib(RecordReader(r.Sub(18, r.Size() - 18)), info, bits))
            return false;
        Blit(info, bits, w(8), w(7), w(6), w(5), w(4), w(3), w(6), w(5), 0x00CC0020);
        return true;
    }
    default:
        return true;  // records without a visible effect here are skipped
    }
}

// ---------------------------------------------------------------------------------------------
// Enhanced metafile records: 32-bit type and size, then the record's fields.

void Player::PlayEmf(std::span<const uint8_t> data)
{
    m_Enhanced = true;
    RecordReader header(data);
    int32_t boundsLeft = header.S32(8), boundsTop = header.S32(12), boundsRight = header.S32(16),
            boundsBottom = header.S32(20);
    int32_t frameLeft = header.S32(24), frameTop = header.S32(28), frameRight = header.S32(32),
            frameBottom = header.S32(36);
    uint32_t handles = header.U16(56);
    int32_t deviceX = header.S32(72), deviceY = header.S32(76), mmX = header.S32(80), mmY = header.S32(84);
    if (deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0) {
        m_PixelsPerMmX = static_cast<double>(deviceX) / mmX;
        m_PixelsPerMmY = static_cast<double>(deviceY) / mmY;
    }
    m_Objects.assign(std::min<uint32_t>(std::max<uint32_t>(handles, 1), MetafilePlayer::kMaxObjects), Object{});
    // The picture frame (in 0.01 mm) in reference-device pixels is mapped onto the surface;
    // without a usable frame, the bounds are.
    double x0 = frameLeft * m_PixelsPerMmX / 100.0, y0 = frameTop * m_PixelsPerMmY / 100.0;
    double x1 = frameRight * m_PixelsPerMmX / 100.0, y1 = frameBottom * m_PixelsPerMmY / 100.0;
    if (!(x1 - x0 > 0.5 && y1 - y0 > 0.5)) {
        x0 = boundsLeft, y0 = boundsTop, x1 = boundsRight, y1 = boundsBottom;
    }
    if (x1 - x0 > 0 && y1 - y0 > 0) {
        m_Device.a = m_Width / (x1 - x0);
        m_Device.d = m_Height / (y1 - y0);
        m_Device.e = -x0 * m_Device.a;
        m_Device.f = -y0 * m_Device.d;
    }
    size_t offset = 0;
    for (uint32_t count = 0; count < MetafilePlayer::kMaxRecords && offset + 8 <= data.size(); ++count) {
        RecordReader at(data.subspan(offset));
        uint32_t type = at.U32(0), size = at.U32(4);
        if (size < 8 || size > data.size() - offset || size % 4 != 0)
            break;
        if (type == EMR_EOF)
            break;
        if (count > 0)
            EmfRecord(type, RecordReader(data.subspan(offset, size)));
        offset += size;
    }
}

bool Player::EmfRecord(uint32_t type, RecordReader r)
{
    auto s32 = [&](size_t offset) { return static_cast<double>(r.S32(offset)); };
    size_t size = r.Size();
    // Point lists: 32-bit (POINTL) or 16-bit (POINTS) pairs at `offset`.
    auto readPoints = [&](size_t offset, uint64_t count, bool small, std::vector<double>& points) -> bool {
        size_t pointBytes = small ? 4 : 8;
        if (offset > size || count > (size - offset) / pointBytes || !CountPoints(count))
            return false;
        points.resize(static_cast<size_t>(count) * 2);
        for (size_t i = 0; i < count; ++i) {
            points[i * 2] = small ? r.S16(offset + i * 4) : r.S32(offset + i * 8);
            points[i * 2 + 1] = small ? r.S16(offset + i * 4 + 2) : r.S32(offset + i * 8 + 4);
        }
        return true;
    };
    auto emitBezier = [&](const std::vector<double>& points, bool fromCurrent) {
        if (!BeginShape())
            return;
        Matrix m = LogicalToSurface();
        size_t i = 0;
        if (fromCurrent) {
            double x = m_State.curX, y = m_State.curY;
            m.Apply(x, y);
            if (!cairo_has_current_point(m_Cairo) || !m_InPath)
                cairo_move_to(m_Cairo, x, y);
        } else if (points.size() >= 2) {
            double x = points[0], y = points[1];
            m.Apply(x, y);
            cairo_move_to(m_Cairo, x, y);
            i = 2;
        }
        for (; i + 5 < points.size(); i += 6) {
            double p[6];
            for (int k = 0; k < 6; k += 2) {
                p[k] = points[i + k];
                p[k + 1] = points[i + k + 1];
                m.Apply(p[k], p[k + 1]);
            }
            cairo_curve_to(m_Cairo, p[0], p[1], p[2], p[3], p[4], p[5]);
        }
        if (points.size() >= 2) {
            m_State.curX = points[points.size() - 2];
            m_State.curY = points[points.size() - 1];
        }
        FillAndStroke(false, true);
    };
    auto emitLinesTo = [&](const std::vector<double>& points) {
        for (size_t i = 0; i + 1 < points.size(); i += 2) {
            if (!m_InPath) {
                LineTo(points[i], points[i + 1]);
                continue;
            }
            double x = m_State.curX, y = m_State.curY;
            ToSurface(x, y);
            if (!cairo_has_current_point(m_Cairo))
                cairo_move_to(m_Cairo, x, y);
            double nx = points[i], ny = points[i + 1];
            ToSurface(nx, ny);
            cairo_line_to(m_Cairo, nx, ny);
            m_State.curX = points[i];
            m_State.curY = points[i + 1];
        }
    };
    switch (type) {
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIER16:
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16: {
        bool small = type == EMR_POLYBEZIER16 || type == EMR_POLYBEZIERTO16;
        std::vector<double> points;
        if (!readPoints(28, r.U32(24), small, points))
            return false;
        emitBezier(points, type == EMR_POLYBEZIERTO || type == EMR_POLYBEZIERTO16);
        return true;
    }
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYGON16:
    case EMR_POLYLINE16: {
        bool small = type == EMR_POLYGON16 || type == EMR_POLYLINE16;
        bool closed = type == EMR_POLYGON || type == EMR_POLYGON16;
        std::vector<double> points;
        if (!readPoints(28, r.U32(24), small, points))
            return false;
        if (m_InPath && !points.empty()) {
            Matrix m = LogicalToSurface();
            for (size_t i = 0; i + 1 < points.size(); i += 2) {
                double x = points[i], y = points[i + 1];
                m.Apply(x, y);
                if (i == 0)
                    cairo_move_to(m_Cairo, x, y);
                else
                    cairo_line_to(m_Cairo, x, y);
            }
            if (closed)
                cairo_close_path(m_Cairo);
            return true;
        }
        Polygon(points, closed, closed);
        return true;
    }
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16: {
        std::vector<double> points;
        if (!readPoints(28, r.U32(24), type == EMR_POLYLINETO16, points))
            return false;
        emitLinesTo(points);
        return true;
    }
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
    case EMR_POLYPOLYLINE16:
    case EMR_POLYPOLYGON16: {
        bool small = type == EMR_POLYPOLYLINE16 || type == EMR_POLYPOLYGON16;
        uint32_t polygons = r.U32(24);
        uint64_t total = r.U32(28);
        if (polygons > (size - std::min<size_t>(size, 32)) / 4)
            return false;
        std::vector<uint32_t> counts(polygons);
        uint64_t sum = 0;
        for (uint32_t i = 0; i < polygons; ++i)
            sum += counts[i] = r.U32(32 + i * 4);
        if (sum != total)
            return false;
        std::vector<double> points;
        if (!readPoints(32 + static_cast<size_t>(polygons) * 4, total, small, points))
            return false;
        PolyPolygon(points, counts, type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16);
        return true;
    }
    case EMR_SETWINDOWEXTEX:
        if (r.S32(8) != 0 && r.S32(12) != 0) {
            m_State.windowExtX = s32(8);
            m_State.windowExtY = s32(12);
        }
        return true;
    case EMR_SETWINDOWORGEX:
        m_State.windowOrgX = s32(8);
        m_State.windowOrgY = s32(12);
        return true;
    case EMR_SETVIEWPORTEXTEX:
        if (r.S32(8) != 0 && r.S32(12) != 0) {
            m_State.viewportExtX = s32(8);
            m_State.viewportExtY = s32(12);
        }
        return true;
    case EMR_SETVIEWPORTORGEX:
        m_State.viewportOrgX = s32(8);
        m_State.viewportOrgY = s32(12);
        return true;
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {  // xNum, xDenom, yNum, yDenom
        double xNum = s32(8), xDenom = s32(12), yNum = s32(16), yDenom = s32(20);
        if (xNum == 0 || xDenom == 0 || yNum == 0 || yDenom == 0)
            return false;
        double& ex = type == EMR_SCALEVIEWPORTEXTEX ? m_State.viewportExtX : m_State.windowExtX;
        double& ey = type == EMR_SCALEVIEWPORTEXTEX ? m_State.viewportExtY : m_State.windowExtY;
        ex = ex * xNum / xDenom;
        ey = ey * yNum / yDenom;
        return true;
    }
    case EMR_SETPIXELV:
        SetPixel(s32(8), s32(12), r.U32(16));
        return true;
    case EMR_SETMAPMODE:
        if (r.U32(8) >= 1 && r.U32(8) <= 8)
            m_State.mapMode = static_cast<int>(r.U32(8));
        return true;
    case EMR_SETBKMODE:
        m_State.bkMode = static_cast<int>(r.U32(8));
        return true;
    case EMR_SETPOLYFILLMODE:
        m_State.polyFillMode = static_cast<int>(r.U32(8));
        return true;
    case EMR_SETTEXTALIGN:
        m_State.textAlign = r.U32(8);
        return true;
    case EMR_SETTEXTCOLOR:
        m_State.textColor = FromColorRef(r.U32(8));
        return true;
    case EMR_SETBKCOLOR:
        m_State.bkColor = FromColorRef(r.U32(8));
        return true;
    case EMR_MOVETOEX:
        m_State.curX = s32(8);
        m_State.curY = s32(12);
        if (m_InPath) {
            double x = m_State.curX, y = m_State.curY;
            ToSurface(x, y);
            cairo_move_to(m_Cairo, x, y);
        }
        return true;
    case EMR_LINETO:
        LineTo(s32(8), s32(12));
        return true;
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT: {
        double x0 = s32(8), y0 = s32(12), x1 = s32(16), y1 = s32(20);
        ToSurface(x0, y0);
        ToSurface(x1, y1);
        AddClip({type == EMR_INTERSECTCLIPRECT ? ClipOp::Intersect : ClipOp::Exclude,
                 {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}});
        return true;
    }
    case EMR_SAVEDC:
        Save();
        return true;
    case EMR_RESTOREDC:
        Restore(r.S32(8));
        return true;
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: {
        Matrix x{r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28)};
        uint32_t mode = type == EMR_SETWORLDTRANSFORM ? 4 : r.U32(32);
        Matrix result = m_State.world;
        if (mode == 1)
            result = Matrix{};
        else if (mode == 2)  // left multiply: the new transform applies first
            result = Matrix::Then(x, m_State.world);
        else if (mode == 3)
            result = Matrix::Then(m_State.world, x);
        else if (mode == 4)
            result = x;
        if (result.Finite())
            m_State.world = result;
        return true;
    }
    case EMR_SELECTOBJECT:
        Select(r.U32(8));
        return true;
    case EMR_DELETEOBJECT:
        Delete(r.U32(8));
        return true;
    case EMR_CREATEPEN:
    case EMR_EXTCREATEPEN:
    case EMR_CREATEBRUSHINDIRECT:
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_CREATEMONOBRUSH:
    case EMR_EXTCREATEFONTINDIRECTW: {
        uint32_t index = r.U32(8);
        if (index == 0 || index >= m_Objects.size())
            return false;
        Object object;
        if (type == EMR_CREATEPEN) {
            object.kind = ObjectKind::Pen;
            object.pen.style = r.U32(12);
            object.pen.width = s32(16);
            object.pen.color = FromColorRef(r.U32(24));
        } else if (type == EMR_EXTCREATEPEN) {
            object.kind = ObjectKind::Pen;
            object.pen.style = r.U32(28);
            object.pen.width = r.U32(32);
            object.pen.color = FromColorRef(r.U32(40));
            if (r.U32(36) == 1)  // BS_NULL brush: an invisible pen
                object.pen.style = (object.pen.style & ~0xFu) | 5;
        } else if (type == EMR_CREATEBRUSHINDIRECT) {
            object.kind = ObjectKind::Brush;
            object.brush.style = r.U32(12);
            object.brush.color = FromColorRef(r.U32(16));
            object.brush.hatch = r.U32(20);
        } else if (type == EMR_CREATEDIBPATTERNBRUSHPT || type == EMR_CREATEMONOBRUSH) {
            uint32_t offBmi = r.U32(16), cbBmi = r.U32(20), offBits = r.U32(24), cbBits = r.U32(28);
            SurfacePtr pattern;
            if (r.Has(offBmi, cbBmi) && r.Has(offBits, cbBits))
                pattern = DecodeDib(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits));
            SetPatternBrush(object, std::move(pattern));
        } else {
            object.kind = ObjectKind::Font;
            object.font.height = s32(12);
            object.font.escapement = r.S32(20);
            object.font.weight = r.S32(28);
            object.font.italic = r.U8(32) != 0;
            object.font.face = FaceName(r, 40, true);
        }
        m_Objects[index] = std::move(object);
        return true;
    }
    case EMR_ELLIPSE:
        Ellipse(s32(8), s32(12), s32(16), s32(20));
        return true;
    case EMR_RECTANGLE:
        Rectangle(s32(8), s32(12), s32(16), s32(20));
        return true;
    case EMR_ROUNDRECT:
        RoundRect(s32(8), s32(12), s32(16), s32(20), s32(24), s32(28));
        return true;
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE:
    case EMR_ARCTO:
        ArcShape(type == EMR_CHORD ? ArcKind::Chord
                 : type == EMR_PIE ? ArcKind::Pie
                                   : ArcKind::Arc,
                 s32(8), s32(12), s32(16), s32(20), s32(24), s32(28), s32(32), s32(36));
        return true;
    case EMR_BEGINPATH:
        m_InPath = true;
        cairo_new_path(m_Cairo);
        return true;
    case EMR_ENDPATH:
        m_InPath = false;
        return true;
    case EMR_CLOSEFIGURE:
        if (cairo_has_current_point(m_Cairo))
            cairo_close_path(m_Cairo);
        return true;
    case EMR_ABORTPATH:
        m_InPath = false;
        cairo_new_path(m_Cairo);
        return true;
    case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH: {
        m_InPath = false;
        cairo_path_t* path = cairo_copy_path(m_Cairo);
        ApplyClip();
        cairo_new_path(m_Cairo);
        cairo_append_path(m_Cairo, path);
        cairo_path_destroy(path);
        FillAndStroke(type != 64, type != 62);
        return true;
    }
    case EMR_SELECTCLIPPATH: {  // approximated by the path's bounding box
        m_InPath = false;
        double x0, y0, x1, y1;
        cairo_path_extents(m_Cairo, &x0, &y0, &x1, &y1);
        cairo_new_path(m_Cairo);
        if (x1 > x0 && y1 > y0)
            AddClip({ClipOp::Intersect, {x0, y0, x1, y1}});
        return true;
    }
    case EMR_EXTSELECTCLIPRGN: {  // cbRgnData, mode, region (rectangles in device units)
        uint32_t dataSize = r.U32(8), mode = r.U32(12);
        if (dataSize == 0 || mode == 5) {  // no region with RGN_COPY resets the clip
            if (mode == 5 || dataSize == 0)
                AddClip({ClipOp::Reset, {}});
            return true;
        }
        uint32_t rects = r.U32(16 + 8);
        if (!r.Has(16, dataSize) || dataSize < 32 || rects > (dataSize - 32) / 16)
            return false;
        ClipOp op{ClipOp::Rects, {}};
        for (uint32_t i = 0; i < rects && i < 4096; ++i) {
            double x0 = s32(48 + i * 16), y0 = s32(52 + i * 16), x1 = s32(56 + i * 16), y1 = s32(60 + i * 16);
            m_Device.Apply(x0, y0);
            m_Device.Apply(x1, y1);
            op.rects.insert(op.rects.end(), {x0, y0, x1, y1});
        }
        if (mode == 5 || mode == 1) {  // RGN_COPY replaces, RGN_AND intersects
            if (mode == 5)
                AddClip({ClipOp::Reset, {}});
            AddClip(std::move(op));
        }
        return true;
    }
    case EMR_FILLRGN:     // bounds, cbRgnData, ihBrush, region
    case EMR_PAINTRGN: {  // bounds, cbRgnData, region
        size_t regionAt = type == EMR_FILLRGN ? 32 : 28;
        uint32_t dataSize = r.U32(24);
        uint32_t rects = r.U32(regionAt + 8);
        if (!r.Has(regionAt, dataSize) || dataSize < 32 || rects > (dataSize - 32) / 16)
            return false;
        std::vector<double> list;
        for (uint32_t i = 0; i < rects && i < 4096; ++i) {
            size_t at = regionAt + 32 + i * 16;
            double x0 = s32(at), y0 = s32(at + 4), x1 = s32(at + 8), y1 = s32(at + 12);
            ToSurface(x0, y0);
            ToSurface(x1, y1);
            list.insert(list.end(), {x0, y0, x1, y1});
        }
        Brush brush = m_State.brush;
        if (type == EMR_FILLRGN) {
            uint32_t index = r.U32(28);
            if (index < m_Objects.size() && m_Objects[index].kind == ObjectKind::Brush)
                brush = m_Objects[index].brush;
        }
        FillRects(list, brush);
        return true;
    }
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW: {  // bounds, graphics mode, scales, then EMRTEXT at 36
        double x = s32(36), y = s32(40);
        uint32_t chars = r.U32(44), offString = r.U32(48), options = r.U32(52);
        double rect[4] = {s32(56), s32(60), s32(64), s32(68)};
        size_t charBytes = type == EMR_EXTTEXTOUTW ? 2 : 1;
        if (chars > size || !r.Has(offString, chars * charBytes))
            return false;
        std::string text =
            type == EMR_EXTTEXTOUTW ? Utf16ToUtf8(r, offString, chars) : AnsiToUtf8(r.Sub(offString, chars));
        Text(x, y, text, options, &rect[0]);
        return true;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_ALPHABLEND: {
        double xDest = s32(24), yDest = s32(28), cxDest = s32(32), cyDest = s32(36);
        uint32_t rop = r.U32(40);
        double xSrc = s32(44), ySrc = s32(48);
        uint32_t offBmi = r.U32(84), cbBmi = r.U32(88), offBits = r.U32(92), cbBits = r.U32(96);
        double cxSrc = type == EMR_BITBLT ? cxDest : s32(100), cySrc = type == EMR_BITBLT ? cyDest : s32(104);
        if (type == EMR_ALPHABLEND)
            rop = 0x00CC0020;
        if (cbBmi == 0) {
            PatternBlit(xDest, yDest, cxDest, cyDest, rop);
            return true;
        }
        if (!r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits))
            return false;
        Blit(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits), xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc, rop);
        return true;
    }
    case EMR_STRETCHDIBITS: {
        double xDest = s32(24), yDest = s32(28), xSrc = s32(32), ySrc = s32(36), cxSrc = s32(40), cySrc = s32(44);
        uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
        uint32_t rop = r.U32(68);
        double cxDest = s32(72), cyDest = s32(76);
        if (!r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits) || cbBmi == 0)
            return false;
        Blit(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits), xDest, yDest, cxDest, cyDest, xSrc, ySrc, cxSrc, cySrc, rop);
        return true;
    }
    case EMR_SETDIBITSTODEVICE: {
        double xDest = s32(24), yDest = s32(28), xSrc = s32(32), ySrc = s32(36), cxSrc = s32(40), cySrc = s32(44);
        uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
        if (!r.Has(offBmi, cbBmi) || !r.Has(offBits, cbBits) || cbBmi == 0)
            return false;
        Blit(r.Sub(offBmi, cbBmi), r.Sub(offBits, cbBits), xDest, yDest, cxSrc, cySrc, xSrc, ySrc, cxSrc, cySrc,
             0x00CC0020);
        return true;
    }
    default:
        return true;  // records without a visible effect here are skipped
    }
}

}  // namespace

// Text goes through the GDI's font engine, and fontconfig keeps a few blocks from parsing the
// system configuration unreferenced for the life of the process; LeakSanitizer is told that they
// are not this program's leaks. Weak, so that another part of the program may say the same.
#if defined(__SANITIZE_ADDRESS__)
#define TESSMARK_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSMARK_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef TESSMARK_ADDRESS_SANITIZER
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
#endif

void MetafilePlayer::PlayWindowsMetafile(std::span<const uint8_t> data, const RECT& window, cairo_t* cr, int width,
                                         int height)
{
    Player player(cr, width, height);
    cairo_save(cr);
    player.PlayWmf(data, window);
    cairo_restore(cr);
}

void MetafilePlayer::PlayEnhancedMetafile(std::span<const uint8_t> data, cairo_t* cr, int width, int height)
{
    Player player(cr, width, height);
    cairo_save(cr);
    player.PlayEmf(data);
    cairo_restore(cr);
}
