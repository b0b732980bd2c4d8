// Saving: the encode dispatch over ghost format objects, and Save's replace-when-complete file writing.
#include "image/FileStream.h"
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
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

constexpr char kUnknownEncodeFormat[] = "Encode: Unknown format";
constexpr char kWriteFailed[] = "Save: write failed";

// Runs one encoder in a ghost of `picture`: the ghost shares the buffers and holds copies of
// head and info; only its error text comes back.
template <typename Format, typename Run>
bool EncodeWith(CPicture& picture, Run run)
{
    Format format;
    format.Ghost(&picture);
    const bool encoded = run(format);
    if (!encoded)
        picture.Fail(format.info.szLastError);
    // Destroying a ghost frees nothing: the buffers stay the picture's.
    format.Destroy();
    return encoded;
}

// A hidden partial file in the folder of `target` (folder listings of the batch skip names
// starting with '.'), created exclusively so no other file is touched. Its name is short
// whatever the target's length, and tells a later run whether its writer is gone.
int CreateSibling(const std::string& target, std::string& siblingName)
{
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        siblingName = PartialFileName(folder);
        const int fd = open(siblingName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

bool CPicture::Encode(FILE* hFile, DWORD imagetype)
{
    CFileStream stream(hFile);
    return Encode(&stream, imagetype);
}

bool CPicture::Encode(CStream* hFile, DWORD imagetype)
{
    switch (imagetype) {
    case PICTURE_FORMAT_BMP:
        return EncodeWith<CPictureBMP>(*this, [hFile](CPictureBMP& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_GIF:
        return EncodeWith<CPictureGIF>(*this, [hFile](CPictureGIF& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_JPG:
        return EncodeWith<CPictureJPG>(*this, [hFile](CPictureJPG& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_PNG:
        return EncodeWith<CPicturePNG>(*this, [hFile](CPicturePNG& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_ICO:
        return EncodeWith<CPictureICO>(*this, [hFile](CPictureICO& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_TIF:
        return EncodeWith<CPictureTIF>(*this, [hFile](CPictureTIF& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_TGA:
        return EncodeWith<CPictureTGA>(*this, [hFile](CPictureTGA& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_PCX:
        return EncodeWith<CPicturePCX>(*this, [hFile](CPicturePCX& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_WBMP:
        return EncodeWith<CPictureWBMP>(*this, [hFile](CPictureWBMP& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_WMF:
        return EncodeWith<CPictureWMF>(*this, [hFile](CPictureWMF& f) { return f.Encode(hFile); });
    case PICTURE_FORMAT_JP2:
    case PICTURE_FORMAT_JPC:
    case PICTURE_FORMAT_PGX:
    case PICTURE_FORMAT_PNM:
    case PICTURE_FORMAT_RAS:
        return EncodeWith<CPictureJAS>(*this,
                                       [hFile, imagetype](CPictureJAS& f) { return f.Encode(hFile, imagetype); });
    default:
        return Fail(kUnknownEncodeFormat);
    }
}

// The picture is written to a sibling file that replaces the target only once it was written
// completely, so a failed save never truncates an existing picture. Targets that are not
// regular files (devices, pipes with a reader) are written in place.
bool CPicture::Save(const char* filename, DWORD imagetype)
{
    if (!filename || !*filename)
        return false;
    const std::string target = filename;

    struct stat targetStat {};
    const bool targetExists = stat(filename, &targetStat) == 0;
    if (targetExists && !S_ISREG(targetStat.st_mode)) {
        // Opened without blocking: a pipe nobody reads is refused instead of waited on.
        const int fd = open(filename, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        FILE* file = fdopen(fd, "wb");
        if (!file) {
            close(fd);
            return false;
        }
        bool saved = Encode(file, imagetype);
        if (std::fflush(file) != 0 || std::ferror(file))
            saved = saved && Fail(kWriteFailed);
        std::fclose(file);
        return saved;
    }

    std::string sibling;
    const int fd = CreateSibling(target, sibling);
    if (fd < 0)
        return false;
    if (targetExists)
        fchmod(fd, targetStat.st_mode & 07777);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(sibling.c_str());
        return false;
    }

    bool saved = Encode(file, imagetype);
    const bool written = std::fflush(file) == 0 && !std::ferror(file);
    const bool closed = std::fclose(file) == 0;
    if (saved && !(written && closed))
        saved = Fail(kWriteFailed);
    if (saved && std::rename(sibling.c_str(), filename) != 0)
        saved = Fail(kWriteFailed);
    if (!saved)
        unlink(sibling.c_str());
    return saved;
}
