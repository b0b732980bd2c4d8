// GIF decoder and encoder with their own LZW coder.
#pragma once

#include "image/Picture.h"

#include <cstdint>

class CStream;

class CPictureGIF : public CPicture {
public:
    CPictureGIF();
    bool Decode(CStream* hFile);
    bool Encode(CStream* hFile);

    // Text of the first sub-block of the last comment extension read; written by the encoder.
    const char* GetComment() const { return m_szComment; }
    void SetComment(const char* comment);
    // Loop count of the last application extension read.
    int32_t GetLoopCount() const { return m_nLoops; }
    // Disposal method of the last graphic control extension read (also written by the encoder).
    int32_t GetDisposalMethod() const { return m_iDispose; }
    void SetDisposalMethod(int32_t method) { m_iDispose = method; }

private:
    int CountFrames(CStream* hFile);
    bool ReadExtension(CStream* hFile);
    void OverlayFrame(CPicture& copy, long xOffset, long yOffset) const;

    bool EncodeTrueColor(CStream* hFile);
    void WriteScreenHeader(CStream* hFile);
    void WriteControlExtension(CStream* hFile);
    void WriteComment(CStream* hFile);
    void WriteImage(CStream* hFile, bool withLocalTable);

    // Graphic control block as in the file: flags, delay (little-endian), transparent index.
    uint8_t m_ControlBlock[4];
    char m_szComment[256];
    int32_t m_nLoops;
    int32_t m_iDispose;
};
