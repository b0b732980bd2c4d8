// TIFF decoder and encoder over libtiff, with client-stream callbacks and quiet message handlers.
#pragma once

#include "image/MemStream.h"
#include "image/Picture.h"

#include <cstdarg>
#include <memory>
#include <string>

struct tiff;

class CPictureTIF : public CPicture {
public:
    CPictureTIF() : CPicture(PICTURE_FORMAT_TIF) {}
    ~CPictureTIF() override;

    CPictureTIF(const CPictureTIF&) = delete;
    CPictureTIF& operator=(const CPictureTIF&) = delete;

    bool Decode(CStream* hFile);
    // With bAppend, pages accumulate in one file until a call without it completes the file;
    // only that call writes to the stream (a picture destroyed before it discards the pages).
    bool Encode(CStream* hFile, bool bAppend = false);
    bool EncodeBody(tiff* m_tif, bool multipage = false, int page = 0, int pagecount = 0);

    // The last error text libtiff reported for this object ("<module> Error: <text>"),
    // kept for diagnostics; szLastError holds the codec's own message.
    const std::string& GetLibraryMessage() const { return m_LibraryMessage; }

    // Copies rows of one tile into the strip buffer, skipping the given bytes after each row.
    static void TileToStrip(BYTE* out, const BYTE* in, uint32_t rows, uint32_t cols, int outskip, int inskip);

private:
    bool DecodeBody(tiff* m_tif);
    bool OpenForWriting(CStream* hFile);
    bool CommitFile();
    void CloseHandle();
    static int OnLibraryError(tiff*, void* userData, const char* module, const char* fmt, va_list ap);
    static int OnLibraryWarning(tiff*, void* userData, const char* module, const char* fmt, va_list ap);
    tiff* OpenStream(CStream* hFile, const char* mode);

    // The file being written is assembled in memory (libtiff reads back what it wrote when it
    // links pages, which a write-only stream cannot give) and copied to the target when complete.
    tiff* m_tif2 = nullptr;  // open handle of the file being written
    std::unique_ptr<CMemStream> m_Buffer;
    CStream* m_Target = nullptr;
    int32_t m_TargetStart = 0;
    bool m_multipage = false;
    int m_pages = 0;
    std::string m_LibraryMessage;
};
