// Composition of one watermarked picture, the extension-to-format table, and the preview.
#pragma once

#include "platform/Win32Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One composition request.
struct WatermarkJob {
    std::string SrcPath;   // used unchanged
    std::string MarkPath;  // already resolved by the caller
    std::string OutPath;   // full path of the output file
    int32_t PosType = 0;   // 0 top-left, 1 top-right, 2 bottom-left, 3 and any other value bottom-right
    int32_t PosX = 0;
    int32_t PosY = 0;
};

// What became of one composition. The design's callers ignore it; the runner counts it.
enum class ComposeResult {
    Written,             // the output file was replaced by the complete result
    NotAPicture,         // source or watermark name has no known extension: nothing touched
    SourceUnreadable,    // the source did not decode: no output
    IntermediateFailed,  // the intermediate bitmap could not be written or read back: no output
    SaveFailed,          // the encoder or the file system failed: the old output is untouched
};

// Where a watermark of ww x wh lands on a source of sw x sh for a corner and margins.
POINT PlaceWatermark(int32_t posType, long posX, long posY, long sw, long sh, long ww, long wh);

// The rectangles the preview paints: the source scaled into the preview rectangle (never
// enlarged) and centred, and the watermark scaled by the same factor.
struct PreviewGeometry {
    double scale = 1.0;
    RECT source;  // where the source is drawn (its size is right - left by bottom - top)
    RECT mark;    // where the watermark is drawn
};
PreviewGeometry ComputePreviewGeometry(RECT rc, long sw, long sh, long ww, long wh, int32_t posType, long posX,
                                       long posY);

class CPicture;

// The largest canvas the graphics layer makes, in pixels; a larger source gets no output.
constexpr uint64_t kCanvasPixelLimit = uint64_t{1} << 28;

// Buffers kept across compositions so large blocks are not allocated afresh for every file,
// and the watermark when the caller decoded it once for all files. One workspace belongs to
// one thread at a time.
class ComposeWorkspace {
public:
    ComposeWorkspace();
    ~ComposeWorkspace();
    ComposeWorkspace(const ComposeWorkspace&) = delete;
    ComposeWorkspace& operator=(const ComposeWorkspace&) = delete;

    // A block of at least `size` bytes for the intermediate bitmap; contents undefined.
    BYTE* Intermediate(size_t size);
    // Frees the intermediate block (the watermark stays).
    void ReleaseIntermediate();

    // Compositions through this workspace draw a copy of `mark` instead of decoding the
    // job's watermark file.
    void SetMark(const CPicture& mark);
    CPicture* Mark() const { return m_Mark.get(); }

private:
    std::unique_ptr<BYTE[]> m_Block;
    size_t m_Capacity = 0;
    std::unique_ptr<CPicture> m_Mark;
};

class CMarkComposer {
public:
    virtual ~CMarkComposer() = default;

    // The format id a file name's extension selects: 3 for JPEG names and for "gif", 4 for
    // "png", 1 for the bitmap-like names, 0 for anything else.
    int32_t GetImageType(std::string_view path) const;

    // Composes through temp.bmp beside the executable. Two calls must not run at once.
    void ComposeFile(WatermarkJob job) const;
    // Composes through the intermediate file `tempBmpPath`. When there is no output and
    // `reason` is given, it receives why ("cannot write …: Read-only file system").
    ComposeResult ComposeFile(const WatermarkJob& job, const std::string& tempBmpPath, ComposeWorkspace& workspace,
                              std::string* reason = nullptr) const;
    // Composes through an in-memory intermediate bitmap with the same bytes as the file; safe
    // to run on several threads at once, each with its own workspace.
    ComposeResult ComposeFileInMemory(const WatermarkJob& job, ComposeWorkspace& workspace,
                                      std::string* reason = nullptr) const;

    // Builds the intermediate bitmap file (file header, info header, colour table, pixels) of
    // the job into the workspace; `bytes` and `size` describe it on success.
    ComposeResult BuildIntermediate(const WatermarkJob& job, ComposeWorkspace& workspace, const BYTE*& bytes,
                                    size_t& size, std::string* reason = nullptr) const;

    // Paints the first source with its watermark scaled into `rc` of `pDC`.
    void DrawPreview(HDC pDC, RECT rc, const std::string& srcPath, const std::string& markPath, int posType, int posX,
                     int posY) const;
};

// The depth the intermediate bitmap takes on a display of `planes` x `bitsPerPixel`.
int CaptureDepth(int planes, int bitsPerPixel);
