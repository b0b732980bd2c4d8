// The watermark composition: source and watermark drawn onto a display-compatible canvas,
// captured as a device-independent bitmap, read back and saved in the output's format.
#include "batch/MarkComposer.h"

#include "batch/PathHelper.h"
#include "batch/PictureHeader.h"
#include "image/MemStream.h"
#include "image/Picture.h"
#include "platform/AtomicFile.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/ByteOrder.h"
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ExtensionType {
    const char* extension;
    int32_t type;
};

// Tested in this order; the first equal entry wins.
constexpr ExtensionType kExtensionTable[] = {
    {"jpg", PICTURE_FORMAT_JPG},  {"jpeg", PICTURE_FORMAT_JPG}, {"jpe", PICTURE_FORMAT_JPG},
    {"jfif", PICTURE_FORMAT_JPG}, {"gif", PICTURE_FORMAT_JPG},  {"png", PICTURE_FORMAT_PNG},
    {"bmp", PICTURE_FORMAT_BMP},  {"dib", PICTURE_FORMAT_BMP},  {"pcx", PICTURE_FORMAT_BMP},
    {"wbmp", PICTURE_FORMAT_BMP}, {"wmf", PICTURE_FORMAT_BMP},  {"tif", PICTURE_FORMAT_BMP},
    {"tiff", PICTURE_FORMAT_BMP}, {"tga", PICTURE_FORMAT_BMP},
};

constexpr size_t kFileHeaderBytes = 14;
// Rows are captured into temp.bmp in bands of about this many bytes.
constexpr uint64_t kCaptureBandBytes = 1 << 20;
constexpr size_t kInfoHeaderBytes = 40;

// The info header and a colour table of up to 256 entries, as GetDIBits takes them.
struct CaptureInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

// Display contexts, memory context and canvas of one composition, released in any case.
class Canvas {
public:
    Canvas(long width, long height)
    {
        m_Display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
        if (m_Display == nullptr)
            return;
        m_Memory = CreateCompatibleDC(m_Display);
        m_Bitmap = CreateCompatibleBitmap(m_Display, static_cast<int>(width), static_cast<int>(height));
        if (m_Memory != nullptr && m_Bitmap != nullptr)
            m_Previous = SelectObject(m_Memory, m_Bitmap);
    }
    ~Canvas()
    {
        Deselect();
        if (m_Bitmap != nullptr)
            DeleteObject(m_Bitmap);
        if (m_Memory != nullptr)
            DeleteDC(m_Memory);
        if (m_Display != nullptr)
            DeleteDC(m_Display);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool IsValid() const { return m_Previous != nullptr; }
    HDC Memory() const { return m_Memory; }
    HDC Display() const { return m_Display; }
    HBITMAP Bitmap() const { return m_Bitmap; }
    // Puts the memory context's first bitmap back, so the canvas can be read.
    void Deselect()
    {
        if (m_Previous != nullptr)
            SelectObject(m_Memory, m_Previous);
        m_Previous = nullptr;
    }

private:
    HDC m_Display = nullptr;
    HDC m_Memory = nullptr;
    HBITMAP m_Bitmap = nullptr;
    HGDIOBJ m_Previous = nullptr;
};

int DisplayCaptureDepth()
{
    HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    if (display == nullptr)
        return 32;
    int depth = CaptureDepth(GetDeviceCaps(display, PLANES), GetDeviceCaps(display, BITSPIXEL));
    DeleteDC(display);
    return depth;
}

bool WriteAll(int fd, const BYTE* bytes, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t written = write(fd, bytes + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// Records why a file got no output, when the caller asked; answers `result`.
ComposeResult Refuse(std::string* reason, ComposeResult result, const std::string& text)
{
    if (reason != nullptr)
        *reason = text;
    return result;
}

std::string CannotWrite(const std::string& path, const std::string& why)
{
    return "cannot write " + path + ": " + why;
}

// An existing output is replaced only when it is a regular file its owner may write: a pipe,
// a device or a folder at the name is never opened, and a read-only picture is left as it is.
// Nor is the watermark file ever replaced, by its own name or through a link to it (the same
// device and inode): with the output folder holding the watermark it would be composed onto
// itself and flattened.
bool OutputReplaceable(const std::string& outPath, const std::string& markPath, std::string* reason)
{
    struct stat info {};
    if (stat(outPath.c_str(), &info) != 0)
        return true;  // made by the save; what fails there is reported there
    struct stat mark {};
    if (stat(markPath.c_str(), &mark) == 0 && mark.st_dev == info.st_dev && mark.st_ino == info.st_ino) {
        Refuse(reason, ComposeResult::SaveFailed, CannotWrite(outPath, "it is the watermark file"));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        Refuse(reason, ComposeResult::SaveFailed, CannotWrite(outPath, "not a regular file"));
        return false;
    }
    // The mode bits count also for a user whom the system lets write anything.
    if ((info.st_mode & 0222) == 0 || access(outPath.c_str(), W_OK) != 0) {
        Refuse(reason, ComposeResult::SaveFailed, CannotWrite(outPath, "the file is not writable"));
        return false;
    }
    return true;
}

// Encodes into a sibling file in the output folder and renames it over the target, so the
// output is replaced only by a complete result.
ComposeResult SaveComplete(CPicture& picture, const std::string& outPath, int32_t type, std::string* reason)
{
    constexpr ComposeResult kFailed = ComposeResult::SaveFailed;
    if (type == PICTURE_FORMAT_UNKNOWN)
        return Refuse(reason, kFailed, CannotWrite(outPath, "no picture format for its name"));
    SiblingFile sibling(outPath);
    if (!sibling.IsValid())
        return Refuse(reason, kFailed, CannotWrite(outPath, strerror(errno)));
    FILE* file = fopen(sibling.Path().c_str(), "wb");
    if (file == nullptr)
        return Refuse(reason, kFailed, CannotWrite(outPath, strerror(errno)));
    errno = 0;
    bool encoded = picture.Encode(file, static_cast<DWORD>(type));
    int writeError = ferror(file) ? (errno != 0 ? errno : EIO) : 0;
    if (fflush(file) != 0 && writeError == 0)
        writeError = errno;
    if (fclose(file) != 0 && writeError == 0)
        writeError = errno;
    if (writeError != 0)
        return Refuse(reason, kFailed, CannotWrite(outPath, strerror(writeError)));
    if (!encoded)
        return Refuse(reason, kFailed, CannotWrite(outPath, picture.GetLastError()));
    if (!sibling.Commit())
        return Refuse(reason, kFailed, CannotWrite(outPath, strerror(errno)));
    return ComposeResult::Written;
}

std::string TooLarge(uint64_t pixels)
{
    char text[128];
    snprintf(text, sizeof text, "picture too large: %llu megapixels, the limit is %llu",
             static_cast<unsigned long long>(pixels / 1000000),
             static_cast<unsigned long long>(kCanvasPixelLimit / 1000000));
    return text;
}

std::string TempBmpProblem(const std::string& why)
{
    return "temp.bmp cannot be written: " + why;
}

// Opens temp.bmp for writing in place. It is opened without blocking and used only when it is
// a regular file, so a pipe or a device at the name is never written or waited on. A link is
// never written through: a symbolic link at the name, or a file that has other names as well
// (a hard link), is removed and a file of the run's own made in its place, so the file it
// leads to is never written or cut short. Answers the descriptor, or -1 and why.
int OpenTempBmp(const std::string& path, std::string& problem)
{
    constexpr int kAttempts = 3;  // the name may be replaced again between removal and creation
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666);
        bool isLink = fd < 0 && errno == ELOOP;
        if (fd < 0 && !isLink) {
            problem = errno == ENXIO ? "not a regular file" : strerror(errno);  // ENXIO: a pipe nobody reads
            return -1;
        }
        if (fd >= 0) {
            struct stat info {};
            if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
                close(fd);
                problem = "not a regular file";
                return -1;
            }
            if (info.st_nlink <= 1) {
                fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
                return fd;
            }
            close(fd);
        }
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            problem = std::string("a link that cannot be replaced: ") + strerror(errno);
            return -1;
        }
    }
    problem = "a link that cannot be replaced";
    return -1;
}

}  // namespace

POINT PlaceWatermark(int32_t posType, long posX, long posY, long sw, long sh, long ww, long wh)
{
    switch (posType) {
    case 0:
        return {static_cast<LONG>(posX), static_cast<LONG>(posY)};
    case 1:
        return {static_cast<LONG>(sw - ww - posX), static_cast<LONG>(posY)};
    case 2:
        return {static_cast<LONG>(posX), static_cast<LONG>(sh - wh - posY)};
    default:
        return {static_cast<LONG>(sw - ww - posX), static_cast<LONG>(sh - wh - posY)};
    }
}

PreviewGeometry ComputePreviewGeometry(RECT rc, long sw, long sh, long ww, long wh, int32_t posType, long posX,
                                       long posY)
{
    PreviewGeometry geometry;
    double rw = static_cast<double>(rc.right) - rc.left;
    double rh = static_cast<double>(rc.bottom) - rc.top;
    double dw = static_cast<double>(sw);
    double dh = static_cast<double>(sh);
    if (sw > rw || sh > rh) {
        double scaleX = rw / static_cast<double>(sw);
        double scaleY = rh / static_cast<double>(sh);
        geometry.scale = scaleX < scaleY ? scaleX : scaleY;
        dw = std::trunc(static_cast<double>(sw) * geometry.scale + 0.5);
        dh = std::trunc(static_cast<double>(sh) * geometry.scale + 0.5);
    }
    double left = std::trunc(rc.left + rw * 0.5 - dw * 0.5);
    double right = std::trunc(rc.left + (rw + dw) * 0.5);
    double top = std::trunc(rc.top + rh * 0.5 - dh * 0.5);
    double bottom = std::trunc(rc.top + (rh + dh) * 0.5);
    geometry.source = {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                       static_cast<LONG>(bottom)};

    double mw = std::trunc(static_cast<double>(ww) * geometry.scale);
    double mh = std::trunc(static_cast<double>(wh) * geometry.scale);
    double mx = std::trunc(static_cast<double>(posX) * geometry.scale);
    double my = std::trunc(static_cast<double>(posY) * geometry.scale);
    double x = 0;
    double y = 0;
    switch (posType) {
    case 0:
        x = left + mx;
        y = top + my;
        break;
    case 1:
        x = left + dw - mw - mx;
        y = top + my;
        break;
    case 2:
        x = left + mx;
        y = top + dh - mh - my;
        break;
    default:
        x = left + dw - mw - mx;
        y = top + dh - mh - my;
        break;
    }
    geometry.mark = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + mw), static_cast<LONG>(y + mh)};
    return geometry;
}

int CaptureDepth(int planes, int bitsPerPixel)
{
    int bits = planes * bitsPerPixel;
    if (bits <= 1)
        return 1;
    if (bits <= 4)
        return 4;
    if (bits <= 8)
        return 8;
    if (bits <= 24)
        return 24;
    return 32;
}

ComposeWorkspace::ComposeWorkspace() = default;
ComposeWorkspace::~ComposeWorkspace() = default;

void ComposeWorkspace::ReleaseIntermediate()
{
    m_Block.reset();
    m_Capacity = 0;
}

void ComposeWorkspace::SetMark(const CPicture& mark)
{
    m_Mark = std::make_unique<CPicture>(mark);
}

BYTE* ComposeWorkspace::Intermediate(size_t size)
{
    if (size > m_Capacity) {
        m_Block.reset();
        m_Capacity = 0;
        m_Block.reset(new (std::nothrow) BYTE[size]);
        if (!m_Block)
            return nullptr;
        m_Capacity = size;
    }
    return m_Block.get();
}

int32_t CMarkComposer::GetImageType(std::string_view path) const
{
    size_t dot = path.rfind('.');
    std::string extension = AsciiLowered(dot == std::string_view::npos ? path : path.substr(dot + 1));
    for (const ExtensionType& entry : kExtensionTable) {
        if (extension == entry.extension)
            return entry.type;
    }
    return PICTURE_FORMAT_UNKNOWN;
}

void CMarkComposer::ComposeFile(WatermarkJob job) const
{
    ComposeWorkspace workspace;
    ComposeFile(job, CPathHelper().ResolvePath("temp.bmp"), workspace);
}

namespace {

// The composed canvas of one job and the layout of its intermediate bitmap file.
class ComposedCanvas {
public:
    ComposeResult Compose(const CMarkComposer& composer, const WatermarkJob& job, ComposeWorkspace& workspace,
                          std::string* reason);

    uint64_t FileBytes() const { return m_FileBytes; }
    uint64_t HeaderBytes() const { return kFileHeaderBytes + kInfoHeaderBytes + m_TableBytes; }
    uint64_t RowBytes() const { return m_RowBytes; }
    LONG Height() const { return m_Info.header.biHeight; }

    // Reads `lines` rows from scan line `start` (0 = bottom) into `pixels` at the capture depth.
    bool CaptureRows(LONG start, LONG lines, BYTE* pixels);
    // The file header, info header and colour table (HeaderBytes() bytes), as the read-back
    // left them; valid after the first CaptureRows.
    void WriteHeaders(BYTE* out) const;

private:
    std::unique_ptr<Canvas> m_Canvas;
    CaptureInfo m_Info{};
    uint64_t m_TableBytes = 0;
    uint64_t m_RowBytes = 0;
    uint64_t m_FileBytes = 0;
};

ComposeResult ComposedCanvas::Compose(const CMarkComposer& composer, const WatermarkJob& job,
                                      ComposeWorkspace& workspace, std::string* reason)
{
    int32_t sourceType = composer.GetImageType(job.SrcPath);
    if (sourceType == PICTURE_FORMAT_UNKNOWN)
        return ComposeResult::NotAPicture;
    int32_t markType = composer.GetImageType(job.MarkPath);
    if (markType == PICTURE_FORMAT_UNKNOWN)
        return ComposeResult::NotAPicture;
    if (!OutputReplaceable(job.OutPath, job.MarkPath, reason))
        return ComposeResult::SaveFailed;
    // A picture beyond the largest canvas is refused from its header, before any decoding.
    uint64_t declaredWidth = 0, declaredHeight = 0;
    if (PeekPictureSize(job.SrcPath, declaredWidth, declaredHeight) &&
        declaredWidth * declaredHeight > kCanvasPixelLimit) {
        return Refuse(reason, ComposeResult::SourceUnreadable, TooLarge(declaredWidth * declaredHeight));
    }

    CPicture source(job.SrcPath.c_str(), static_cast<DWORD>(sourceType));
    // The watermark decoded once for the run, or else the job's file.
    std::unique_ptr<CPicture> ownMark;
    CPicture* mark = workspace.Mark();
    if (mark == nullptr) {
        ownMark = std::make_unique<CPicture>(job.MarkPath.c_str(), static_cast<DWORD>(markType));
        mark = ownMark.get();
    }
    long sw = static_cast<long>(source.GetWidth());
    long sh = static_cast<long>(source.GetHeight());
    long ww = static_cast<long>(mark->GetWidth());
    long wh = static_cast<long>(mark->GetHeight());
    // A source that did not decode gives no output rather than an empty or stale picture.
    if (!source.IsValid() || sw <= 0 || sh <= 0 || sw > std::numeric_limits<int>::max() ||
        sh > std::numeric_limits<int>::max()) {
        std::string why = source.GetLastError();
        return Refuse(reason, ComposeResult::SourceUnreadable,
                      "cannot read " + job.SrcPath + ": " + (why.empty() ? strerror(errno) : why));
    }
    if (static_cast<uint64_t>(sw) * static_cast<uint64_t>(sh) > kCanvasPixelLimit) {
        return Refuse(reason, ComposeResult::SourceUnreadable,
                      TooLarge(static_cast<uint64_t>(sw) * static_cast<uint64_t>(sh)));
    }

    m_Canvas = std::make_unique<Canvas>(sw, sh);
    if (!m_Canvas->IsValid())
        return Refuse(reason, ComposeResult::IntermediateFailed,
                      "no memory for a canvas of " + std::to_string(sw) + " x " + std::to_string(sh) + " pixels");
    // The canvas starts white; the white shows only where the source itself is transparent.
    // An opaque source drawn at its own size is copied over every canvas pixel, so the fill
    // is skipped for it (it would not change a single output byte).
    bool sourceCoversCanvas = source.info.bEnabled && !source.AlphaIsValid() && source.GetTransIndex() == -1 &&
                              !source.info.bAlphaPaletteEnabled;
    if (!sourceCoversCanvas)
        PatBlt(m_Canvas->Memory(), 0, 0, static_cast<int>(sw), static_cast<int>(sh), WHITENESS);
    source.Draw(m_Canvas->Memory(), 0, 0, sw, sh);
    source.Destroy();  // not needed any more: its memory is free before the capture
    POINT at = PlaceWatermark(job.PosType, job.PosX, job.PosY, sw, sh, ww, wh);
    mark->Draw(m_Canvas->Memory(), at.x, at.y, ww, wh);
    m_Canvas->Deselect();

    int depth = DisplayCaptureDepth();
    m_TableBytes = depth <= 8 ? 4u << depth : 0;
    BITMAP bitmap;
    if (GetObjectA(m_Canvas->Bitmap(), sizeof bitmap, &bitmap) == 0 || bitmap.bmWidth <= 0 || bitmap.bmHeight <= 0)
        return Refuse(reason, ComposeResult::IntermediateFailed, "the canvas cannot be read");
    m_RowBytes = ((static_cast<uint64_t>(depth) * static_cast<uint64_t>(bitmap.bmWidth) + 31) / 32) * 4;
    m_FileBytes = HeaderBytes() + m_RowBytes * static_cast<uint64_t>(bitmap.bmHeight);
    if (m_FileBytes > std::numeric_limits<uint32_t>::max())  // the file header's size field cannot hold it
        return Refuse(reason, ComposeResult::IntermediateFailed, "picture too large for the intermediate bitmap");

    m_Info.header.biSize = kInfoHeaderBytes;
    m_Info.header.biWidth = bitmap.bmWidth;
    m_Info.header.biHeight = bitmap.bmHeight;
    m_Info.header.biPlanes = 1;
    m_Info.header.biBitCount = static_cast<WORD>(depth);
    m_Info.header.biCompression = BI_RGB;
    return ComposeResult::Written;
}

bool ComposedCanvas::CaptureRows(LONG start, LONG lines, BYTE* pixels)
{
    // Where the read-back writes nothing (the row padding, and the unused bits of a last
    // partly used byte) a zero-filled buffer has zeros; buffers here are reused, so that part
    // of every row is cleared first.
    size_t usedRowBytes =
        static_cast<size_t>(m_Info.header.biBitCount) * static_cast<size_t>(m_Info.header.biWidth) / 8;
    if (usedRowBytes < m_RowBytes) {
        for (LONG row = 0; row < lines; ++row)
            std::memset(pixels + static_cast<size_t>(row) * m_RowBytes + usedRowBytes, 0, m_RowBytes - usedRowBytes);
    }
    return GetDIBits(m_Canvas->Display(), m_Canvas->Bitmap(), static_cast<UINT>(start), static_cast<UINT>(lines),
                     pixels, reinterpret_cast<BITMAPINFO*>(&m_Info), DIB_RGB_COLORS) == lines;
}

void ComposedCanvas::WriteHeaders(BYTE* out) const
{
    WriteLE16(out, 0, 0x4D42);
    WriteLE32(out, 2, static_cast<uint32_t>(m_FileBytes));
    WriteLE16(out, 6, 0);
    WriteLE16(out, 8, 0);
    WriteLE32(out, 10, static_cast<uint32_t>(HeaderBytes()));
    BYTE* header = out + kFileHeaderBytes;
    const BITMAPINFOHEADER& h = m_Info.header;
    WriteLE32(header, 0, h.biSize);
    WriteLE32(header, 4, static_cast<uint32_t>(h.biWidth));
    WriteLE32(header, 8, static_cast<uint32_t>(h.biHeight));
    WriteLE16(header, 12, h.biPlanes);
    WriteLE16(header, 14, h.biBitCount);
    WriteLE32(header, 16, h.biCompression);
    WriteLE32(header, 20, h.biSizeImage);
    WriteLE32(header, 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    WriteLE32(header, 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    WriteLE32(header, 32, h.biClrUsed);
    WriteLE32(header, 36, h.biClrImportant);
    BYTE* table = header + kInfoHeaderBytes;
    for (size_t i = 0; i < m_TableBytes / 4; ++i) {
        table[4 * i] = m_Info.colors[i].rgbBlue;
        table[4 * i + 1] = m_Info.colors[i].rgbGreen;
        table[4 * i + 2] = m_Info.colors[i].rgbRed;
        table[4 * i + 3] = m_Info.colors[i].rgbReserved;
    }
}

}  // namespace

ComposeResult CMarkComposer::BuildIntermediate(const WatermarkJob& job, ComposeWorkspace& workspace, const BYTE*& bytes,
                                               size_t& size, std::string* reason) const
{
    bytes = nullptr;
    size = 0;
    ComposedCanvas canvas;
    ComposeResult composed = canvas.Compose(*this, job, workspace, reason);
    if (composed != ComposeResult::Written)
        return composed;
    BYTE* buffer = workspace.Intermediate(static_cast<size_t>(canvas.FileBytes()));
    if (buffer == nullptr)
        return Refuse(reason, ComposeResult::IntermediateFailed, "no memory for the intermediate bitmap");
    if (!canvas.CaptureRows(0, canvas.Height(), buffer + canvas.HeaderBytes()))
        return Refuse(reason, ComposeResult::IntermediateFailed, "the canvas cannot be read");
    canvas.WriteHeaders(buffer);
    bytes = buffer;
    size = static_cast<size_t>(canvas.FileBytes());
    return ComposeResult::Written;
}

ComposeResult CMarkComposer::ComposeFile(const WatermarkJob& job, const std::string& tempBmpPath,
                                         ComposeWorkspace& workspace, std::string* reason) const
{
    {
        ComposedCanvas canvas;
        ComposeResult composed = canvas.Compose(*this, job, workspace, reason);
        if (composed != ComposeResult::Written)
            return composed;

        // The file gets the same bytes as the one-buffer capture, written a band of rows at a
        // time so no buffer of the whole picture is needed.
        LONG bandRows = static_cast<LONG>(std::max<uint64_t>(1, kCaptureBandBytes / canvas.RowBytes()));
        bandRows = std::min(bandRows, canvas.Height());
        BYTE* band = workspace.Intermediate(static_cast<size_t>(canvas.RowBytes() * static_cast<uint64_t>(bandRows)));
        if (band == nullptr)
            return Refuse(reason, ComposeResult::IntermediateFailed, "no memory for the intermediate bitmap");

        // The file is overwritten in place and cut to its new size afterwards. Truncating it to
        // nothing first would make the file system free its blocks (and, on some, flush the new
        // contents to disk at close), for every picture of a batch.
        std::string problem;
        int fd = OpenTempBmp(tempBmpPath, problem);
        if (fd < 0)
            return Refuse(reason, ComposeResult::IntermediateFailed, TempBmpProblem(problem));
        bool written = true;
        for (LONG start = 0; written && start < canvas.Height(); start += bandRows) {
            LONG lines = std::min(bandRows, canvas.Height() - start);
            written = canvas.CaptureRows(start, lines, band);
            if (written && start == 0) {
                // The headers come after the first read-back, which completes them.
                BYTE headers[kFileHeaderBytes + kInfoHeaderBytes + 1024];
                canvas.WriteHeaders(headers);
                written = WriteAll(fd, headers, static_cast<size_t>(canvas.HeaderBytes()));
            }
            written =
                written && WriteAll(fd, band, static_cast<size_t>(canvas.RowBytes()) * static_cast<size_t>(lines));
        }
        int writeError = written ? 0 : (errno != 0 ? errno : EIO);
        if (writeError == 0 && ftruncate(fd, static_cast<off_t>(canvas.FileBytes())) != 0)
            writeError = errno;
        if (close(fd) != 0 && writeError == 0)
            writeError = errno;
        if (writeError != 0)
            return Refuse(reason, ComposeResult::IntermediateFailed, TempBmpProblem(strerror(writeError)));
    }  // the canvas is released before the reload

    CPicture result(tempBmpPath.c_str(), PICTURE_FORMAT_BMP);
    if (!result.IsValid())
        return Refuse(reason, ComposeResult::IntermediateFailed,
                      std::string("temp.bmp cannot be read back: ") + result.GetLastError());
    return SaveComplete(result, job.OutPath, GetImageType(job.OutPath), reason);
}

ComposeResult CMarkComposer::ComposeFileInMemory(const WatermarkJob& job, ComposeWorkspace& workspace,
                                                 std::string* reason) const
{
    const BYTE* bytes = nullptr;
    size_t size = 0;
    ComposeResult built = BuildIntermediate(job, workspace, bytes, size, reason);
    if (built != ComposeResult::Written)
        return built;
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))  // beyond what a memory stream addresses
        return Refuse(reason, ComposeResult::IntermediateFailed, "picture too large for the intermediate bitmap");

    CMemStream stream(const_cast<BYTE*>(bytes), static_cast<uint32_t>(size));
    CPicture result;
    if (!result.Decode(&stream, PICTURE_FORMAT_BMP) || !result.IsValid())
        return Refuse(reason, ComposeResult::IntermediateFailed,
                      std::string("the intermediate bitmap cannot be read back: ") + result.GetLastError());
    return SaveComplete(result, job.OutPath, GetImageType(job.OutPath), reason);
}

void CMarkComposer::DrawPreview(HDC pDC, RECT rc, const std::string& srcPath, const std::string& markPath, int posType,
                                int posX, int posY) const
{
    int32_t sourceType = GetImageType(srcPath);
    int32_t markType = GetImageType(markPath);
    if (sourceType == PICTURE_FORMAT_UNKNOWN || markType == PICTURE_FORMAT_UNKNOWN)
        return;
    CPicture source(srcPath.c_str(), static_cast<DWORD>(sourceType));
    CPicture mark(markPath.c_str(), static_cast<DWORD>(markType));
    PreviewGeometry geometry = ComputePreviewGeometry(
        rc, static_cast<long>(source.GetWidth()), static_cast<long>(source.GetHeight()),
        static_cast<long>(mark.GetWidth()), static_cast<long>(mark.GetHeight()), posType, posX, posY);
    const RECT& s = geometry.source;
    const RECT& m = geometry.mark;
    source.Draw(pDC, s.left, s.top, s.right - s.left, s.bottom - s.top);
    mark.Draw(pDC, m.left, m.top, m.right - m.left, m.bottom - m.top);
}
