// Helpers shared by the tests of the GIF, Targa, PCX, WBMP and icon codecs: decoding from
// bytes, encoding to bytes, pixel checksums and the corpus reference tables.
#pragma once

#include "image/MemStream.h"
#include "image/Picture.h"
#include "tests/TestData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace codec_test {

using Bytes = std::vector<uint8_t>;

template <class Codec>
struct Decoded {
    bool ok = false;
    std::unique_ptr<Codec> picture = std::make_unique<Codec>();
    std::string Error() const { return picture->GetLastError(); }
};

template <class Codec>
Decoded<Codec> DecodeWith(const Bytes& bytes, int32_t frame = 0)
{
    Decoded<Codec> result;
    result.picture->info.nFrame = frame;
    CMemStream stream(const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()));
    result.ok = result.picture->Decode(&stream);
    return result;
}

// Encodes through the engine's dispatch, as Save does.
inline Bytes EncodeAs(const CPicture& picture, DWORD type, bool* ok = nullptr, std::string* error = nullptr)
{
    CPicture& writable = const_cast<CPicture&>(picture);
    CMemStream stream;
    stream.Open();
    const bool encoded = writable.Encode(&stream, type);
    if (ok)
        *ok = encoded;
    if (error)
        *error = writable.GetLastError();
    Bytes bytes;
    const int32_t size = stream.Size();
    const uint8_t* data = stream.GetBuffer(false);
    if (size > 0 && data)
        bytes.assign(data, data + size);
    return bytes;
}

// Opacity of one pixel under the engine's rules: the alpha plane, then a transparent
// index (palette pictures) or transparent colour (true colour) makes a pixel clear.
inline BYTE PixelAlpha(const CPicture& picture, long x, long y)
{
    BYTE alpha = picture.AlphaIsValid() ? picture.AlphaGet(x, y) : 255;
    if (picture.GetTransIndex() != -1) {
        if (picture.GetNumColors() != 0) {
            if (picture.GetPixelIndex(x, y) == static_cast<BYTE>(picture.GetTransIndex()))
                alpha = 0;
        } else {
            const RGBQUAD c = picture.GetPixelColor(x, y, false);
            const RGBQUAD t = picture.info.nBkgndColor;
            if (t.rgbReserved == 0 && c.rgbRed == t.rgbRed && c.rgbGreen == t.rgbGreen && c.rgbBlue == t.rgbBlue)
                alpha = 0;
        }
    }
    return alpha;
}

// FNV-1a 64 over red, green, blue, alpha of every pixel, rows from the top; the colour of
// a clear pixel carries no meaning and counts as 0.
inline uint64_t PixelChecksum(const CPicture& picture)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    auto add = [&hash](BYTE value) { hash = (hash ^ value) * 0x100000001b3ull; };
    const long width = static_cast<long>(picture.GetWidth());
    const long height = static_cast<long>(picture.GetHeight());
    for (long y = height - 1; y >= 0; --y) {
        for (long x = 0; x < width; ++x) {
            const RGBQUAD c = picture.GetPixelColor(x, y, false);
            const BYTE alpha = PixelAlpha(picture, x, y);
            add(alpha ? c.rgbRed : 0);
            add(alpha ? c.rgbGreen : 0);
            add(alpha ? c.rgbBlue : 0);
            add(alpha);
        }
    }
    return hash;
}

// Same size and the same colour and opacity at every pixel.
inline ::testing::AssertionResult SamePixels(const CPicture& expected, const CPicture& actual)
{
    if (expected.GetWidth() != actual.GetWidth() || expected.GetHeight() != actual.GetHeight())
        return ::testing::AssertionFailure() << "size " << actual.GetWidth() << "x" << actual.GetHeight()
                                             << ", expected " << expected.GetWidth() << "x" << expected.GetHeight();
    for (long y = 0; y < static_cast<long>(expected.GetHeight()); ++y) {
        for (long x = 0; x < static_cast<long>(expected.GetWidth()); ++x) {
            const RGBQUAD a = expected.GetPixelColor(x, y, false);
            const RGBQUAD b = actual.GetPixelColor(x, y, false);
            const BYTE alphaA = PixelAlpha(expected, x, y);
            const BYTE alphaB = PixelAlpha(actual, x, y);
            const bool colourMatters = alphaA != 0;
            if (alphaA != alphaB ||
                (colourMatters && (a.rgbRed != b.rgbRed || a.rgbGreen != b.rgbGreen || a.rgbBlue != b.rgbBlue)))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") differs: expected rgba " << int(a.rgbRed) << ","
                       << int(a.rgbGreen) << "," << int(a.rgbBlue) << "," << int(alphaA) << " got " << int(b.rgbRed)
                       << "," << int(b.rgbGreen) << "," << int(b.rgbBlue) << "," << int(alphaB);
        }
    }
    return ::testing::AssertionSuccess();
}

struct ReferenceRow {
    std::string path;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t checksum = 0;
    std::string reference;
};

// tests/fixtures/<format>/reference.tsv: decodes checked against an independent decoder.
inline std::vector<ReferenceRow> ReadReferences(const std::string& format)
{
    std::vector<ReferenceRow> rows;
    std::ifstream file(std::string(TESSMARK_SOURCE_DIR) + "/tests/fixtures/" + format + "/reference.tsv");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        ReferenceRow row;
        std::string checksum;
        std::getline(fields, row.path, '\t');
        fields >> row.width >> row.height >> checksum;
        fields.ignore(1);
        std::getline(fields, row.reference);
        row.checksum = std::stoull(checksum, nullptr, 16);
        rows.push_back(row);
    }
    return rows;
}

// Every valid file decodes to its reference; every other file fails with a message or
// decodes, and never crashes.
template <class Codec>
void CheckCorpus(const std::string& format)
{
    const std::vector<ReferenceRow> references = ReadReferences(format);
    ASSERT_FALSE(references.empty());
    auto findReference = [&](const std::string& path) -> const ReferenceRow* {
        for (const ReferenceRow& row : references) {
            if (row.path == path)
                return &row;
        }
        return nullptr;
    };
    int checked = 0;
    for (const ManifestRow& row : ManifestRows(format + "/")) {
        if (row.IsReference() || row.format == "png")
            continue;
        SCOPED_TRACE(row.path);
        const Decoded<Codec> decoded = DecodeWith<Codec>(ReadFileBytes(TestDataDir() / row.path));
        const ReferenceRow* reference = findReference(row.path);
        if (row.valid == "yes") {
            ASSERT_NE(reference, nullptr) << "valid file without a reference decode";
        }
        if (reference != nullptr) {
            ASSERT_TRUE(decoded.ok) << decoded.Error();
            EXPECT_EQ(decoded.picture->GetWidth(), reference->width);
            EXPECT_EQ(decoded.picture->GetHeight(), reference->height);
            EXPECT_EQ(PixelChecksum(*decoded.picture), reference->checksum) << reference->reference;
            ++checked;
        } else if (!decoded.ok) {
            EXPECT_FALSE(decoded.Error().empty()) << "failed without a message";
        }
    }
    EXPECT_EQ(checked, static_cast<int>(references.size()));
}

// Every prefix of a valid file fails with a message or decodes; none may crash.
template <class Codec>
void CheckPrefixes(const Bytes& bytes, size_t step = 1)
{
    for (size_t length = 0; length < bytes.size(); length += step) {
        const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        const Decoded<Codec> decoded = DecodeWith<Codec>(prefix);
        if (!decoded.ok) {
            EXPECT_FALSE(decoded.Error().empty()) << "prefix of " << length << " bytes failed without a message";
        }
    }
}

}  // namespace codec_test
