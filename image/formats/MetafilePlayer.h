// Plays Windows metafiles and enhanced metafiles onto a cairo surface: the records' graphics
// state, objects, shapes, text, bitmaps and clipping, rasterised by cairo.
#pragma once

#include "platform/Win32Types.h"

#include <cstdint>
#include <span>

typedef struct _cairo cairo_t;

class MetafilePlayer {
public:
    // Limits that keep a hostile file's playback bounded in time and memory.
    static constexpr uint32_t kMaxRecords = 1000000;
    static constexpr uint64_t kMaxPoints = 8000000;
    static constexpr int kMaxSavedStates = 256;
    static constexpr uint32_t kMaxObjects = 65535;
    // Painted area allowed per playback, in multiples of the picture's area.
    static constexpr double kMaxOverdraw = 256;

    // Plays a Windows metafile, `data` starting at its 18-byte header. The logical window
    // (until the records set their own) is `window`, the placeable bounding box; it is mapped
    // onto the rectangle 0, 0, width, height.
    static void PlayWindowsMetafile(std::span<const uint8_t> data, const RECT& window, cairo_t* cr, int width,
                                    int height);

    // Plays an enhanced metafile, `data` starting at its header record; the picture frame is
    // mapped onto the rectangle 0, 0, width, height.
    static void PlayEnhancedMetafile(std::span<const uint8_t> data, cairo_t* cr, int width, int height);
};
