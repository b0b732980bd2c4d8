// Loading: the typed attempt, the fallback detection over every format, and the decode dispatch.
#include "image/FileStream.h"

#include "image/Messages.h"
#include "image/Picture.h"
#include "image/formats/PictureBMP.h"
#include "image/formats/PictureGIF.h"
#include "image/formats/PictureICO.h"
#include "image/formats/PictureJAS.h"
#include "image/formats/PictureJPG.h"
#include "image/formats/PicturePCX.h"
#include "image/formats/PicturePNG.h"
#include "image/formats/PictureTGA.h"
#include "image/formats/PictureTIF.h"
#include "image/formats/PictureWBMP.h"
#include "image/formats/PictureWMF.h"

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kUnknownFormat[] = "Decode: Unknown or wrong format";
constexpr char kNotARegularFile[] = "not a regular file";

// Detection tries the formats in this order; the first decoder that accepts the data wins.
// JasPer's place is last and it receives id 0 (it detects its own variant).
constexpr DWORD kDetectOrder[] = {
    PICTURE_FORMAT_BMP,  PICTURE_FORMAT_JPG, PICTURE_FORMAT_ICO, PICTURE_FORMAT_GIF,
    PICTURE_FORMAT_PNG,  PICTURE_FORMAT_TIF, PICTURE_FORMAT_TGA, PICTURE_FORMAT_PCX,
    PICTURE_FORMAT_WBMP, PICTURE_FORMAT_WMF, PICTURE_FORMAT_JP2,
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Opens `filename` for reading only when it is a regular file. The open does not block, so a
// named pipe (or a device that waits) at the name is answered at once instead of waited on.
FilePtr OpenRegularFile(const char* filename, bool& notRegular)
{
    notRegular = false;
    const int fd = open(filename, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        notRegular = true;
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return FilePtr{file};
}

// Runs one decoder of the given id in a temporary format object. On success the picture moves
// into `caller`; on failure the format object is handed to `onFailure` before it is destroyed.
template <typename Format, typename Run, typename OnFailure>
bool Attempt(CPicture& caller, Run run, OnFailure onFailure)
{
    Format format;
    format.CopyInfo(caller);
    if (run(format))
        return caller.Transfer(format);
    onFailure(format);
    return false;
}

template <typename OnFailure>
bool DecodeAs(CPicture& caller, CStream* stream, DWORD id, DWORD jasperId, OnFailure onFailure)
{
    switch (id) {
    case PICTURE_FORMAT_BMP:
        return Attempt<CPictureBMP>(
            caller, [stream](CPictureBMP& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_GIF:
        return Attempt<CPictureGIF>(
            caller, [stream](CPictureGIF& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_JPG:
        return Attempt<CPictureJPG>(
            caller, [stream](CPictureJPG& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_PNG:
        return Attempt<CPicturePNG>(
            caller, [stream](CPicturePNG& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_ICO:
        return Attempt<CPictureICO>(
            caller, [stream](CPictureICO& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_TIF:
        return Attempt<CPictureTIF>(
            caller, [stream](CPictureTIF& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_TGA:
        return Attempt<CPictureTGA>(
            caller, [stream](CPictureTGA& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_PCX:
        return Attempt<CPicturePCX>(
            caller, [stream](CPicturePCX& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_WBMP:
        return Attempt<CPictureWBMP>(
            caller, [stream](CPictureWBMP& f) { return f.Decode(stream); }, onFailure);
    case PICTURE_FORMAT_WMF:
        return Attempt<CPictureWMF>(
            caller, [stream](CPictureWMF& f) { return f.Decode(stream, 0, 0); }, onFailure);
    case PICTURE_FORMAT_JP2:
    case PICTURE_FORMAT_JPC:
    case PICTURE_FORMAT_PGX:
    case PICTURE_FORMAT_PNM:
    case PICTURE_FORMAT_RAS:
        return Attempt<CPictureJAS>(
            caller, [stream, jasperId](CPictureJAS& f) { return f.Decode(stream, jasperId); }, onFailure);
    default:
        return false;
    }
}

}  // namespace

bool CPicture::Load(const char* filename, DWORD imagetype)
{
    if (!filename)
        return false;
    bool notRegular = false;
    if (imagetype > 0 && imagetype < PICTURE_MAX_FORMATS) {
        FilePtr file = OpenRegularFile(filename, notRegular);
        if (!file)
            return notRegular ? Fail(kNotARegularFile) : false;
        if (Decode(file.get(), imagetype))
            return true;
    }

    char kept[kLastErrorSize];
    std::memcpy(kept, info.szLastError, sizeof(kept));

    FilePtr file = OpenRegularFile(filename, notRegular);
    if (!file)
        return notRegular ? Fail(kNotARegularFile) : false;
    const bool decoded = Decode(file.get(), PICTURE_FORMAT_UNKNOWN);
    if (!decoded && imagetype > 0)
        std::memcpy(info.szLastError, kept, sizeof(kept));
    return decoded;
}

bool CPicture::Decode(FILE* hFile, DWORD imagetype)
{
    CFileStream stream(hFile);
    return Decode(&stream, imagetype);
}

bool CPicture::Decode(CStream* hFile, DWORD imagetype)
{
    if (!hFile)
        return Fail(kNullFileHandlerMessage);

    if (imagetype == PICTURE_FORMAT_UNKNOWN) {
        const int32_t start = hFile->Tell();
        for (const DWORD id : kDetectOrder) {
            auto rewind = [hFile, start](CPicture&) { hFile->Seek(start, 0); };
            if (DecodeAs(*this, hFile, id, PICTURE_FORMAT_UNKNOWN, rewind))
                return true;
        }
        return Fail(kUnknownFormat);
    }

    if (imagetype < PICTURE_MAX_FORMATS) {
        auto keepMessage = [this, imagetype](CPicture& format) {
            if (imagetype == PICTURE_FORMAT_GIF || imagetype == PICTURE_FORMAT_ICO || imagetype == PICTURE_FORMAT_TIF)
                info.nNumFrames = format.info.nNumFrames;
            Fail(format.info.szLastError);
        };
        return DecodeAs(*this, hFile, imagetype, imagetype, keepMessage);
    }
    return Fail(kUnknownFormat);
}
