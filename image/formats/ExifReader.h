// Reader of a JPEG file's marker sections that collects EXIF camera data and resolution.
#pragma once

#include "platform/Win32Types.h"

#include <cstdint>

class CStream;

constexpr int MAX_COMMENT = 1000;
constexpr int MAX_SECTIONS = 20;

struct EXIFINFO {
    char Version[5];
    char CameraMake[32];
    char CameraModel[40];
    char DateTime[20];
    int32_t Height;
    int32_t Width;
    int32_t Orientation;
    int32_t IsColor;
    int32_t Process;
    int32_t FlashUsed;
    float FocalLength;
    float ExposureTime;
    float ApertureFNumber;
    float Distance;
    float CCDWidth;
    float ExposureBias;
    int32_t Whitebalance;
    int32_t MeteringMode;
    int32_t ExposureProgram;
    int32_t ISOequivalent;
    int32_t CompressionLevel;
    float FocalplaneXRes;
    float FocalplaneYRes;
    float FocalplaneUnits;
    float Xresolution;
    float Yresolution;
    float ResolutionUnit;
    float Brightness;
    char Comments[MAX_COMMENT];
    const BYTE* ThumbnailPointer;  // into a section the reader keeps; valid while the reader lives
    uint32_t ThumbnailSize;
    bool IsExif;
};

class CExifReader {
public:
    // Fills the given record (zeroed here), or one of its own when none is given.
    explicit CExifReader(EXIFINFO* info = nullptr);
    virtual ~CExifReader();

    CExifReader(const CExifReader&) = delete;
    CExifReader& operator=(const CExifReader&) = delete;

    // Reads marker sections from the start of image up to the start of scan.
    bool DecodeExif(CStream* hFile);
    // Parses the data of an APP1 section from its "Exif" signature on (length bytes).
    bool ProcessExif(const BYTE* block, uint32_t length);

    const char* GetLastError() const { return m_szLastError; }
    EXIFINFO* GetExifInfo() const { return m_exifinfo; }

    // Directories walked per EXIF block at most, and their nesting depth at most: a chain
    // of directories that links back to itself ends there.
    static constexpr int kMaxDirectories = 64;
    static constexpr int kMaxDirectoryDepth = 8;

private:
    struct Section {
        BYTE* Data = nullptr;
        int Type = 0;
        uint32_t Size = 0;
    };

    bool ProcessExifDir(uint32_t dirOffset, const BYTE* offsetBase, uint32_t exifLength, int depth);
    void ProcessComment(const BYTE* data, uint32_t length);
    void ProcessSof(const BYTE* data, uint32_t length, int marker);
    void DropLastSection();
    uint32_t Get16u(const BYTE* p) const;
    uint32_t Get32u(const BYTE* p) const;
    int32_t Get32s(const BYTE* p) const;
    double ConvertAnyFormat(const BYTE* value, int format) const;
    bool Fail(const char* message);

    EXIFINFO* m_exifinfo;
    bool m_bOwnsInfo;
    char m_szLastError[256];
    int ExifImageWidth = 0;
    bool MotorolaOrder = false;
    Section Sections[MAX_SECTIONS];
    int SectionsRead = 0;
    int m_DirectoriesWalked = 0;
    bool m_bHaveComment = false;
};
