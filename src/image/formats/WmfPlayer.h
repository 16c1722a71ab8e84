#pragma once
// Plays Windows metafiles (the old 16-bit records of a placeable WMF and the 32-bit records of
// an enhanced metafile) into a 24-bit picture, without the Windows graphics interface: a small
// device context (mapping, pens, brushes, clip rectangle, saved states, paths), shapes turned
// into outlines and filled by scanlines, and device-independent bitmaps stretched into place.
// Text is not drawn. Records that are damaged inside are skipped like unknown ones.

#include <cstdint>
#include <span>

#include "image/ImageBuffer.h"

namespace tavolin::codecs {

/// Most records played from one file; the rest are ignored.
inline constexpr uint64_t kMaxMetafileRecords = 1'000'000;
/// Work units (each about the time one pixel of a solid fill takes) one file may spend: this
/// many per pixel of the picture, plus a fixed allowance for the edges of small pictures. The
/// largest picture's budget lasts about a second.
inline constexpr uint64_t kMetafileWorkPerPixel = 64;
inline constexpr uint64_t kMetafileWorkAllowance = uint64_t{1} << 24;

/// Logical rectangle of a placeable metafile's bounding box.
struct WmfBounds {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

/// Where a placeable metafile goes: its bounding box and the picture's size in pixels of the
/// 96-dpi reference device, before any shrinking to the largest picture.
struct WmfPlacement {
    WmfBounds bounds;
    int64_t pixelsX = 0;
    int64_t pixelsY = 0;
};

/// The enhanced metafile header fields that place the picture.
struct EmfFrame {
    int32_t left = 0;  // picture frame, 0.01 mm
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t devicePixelsX = 0;  // reference device size in pixels and millimetres
    int32_t devicePixelsY = 0;
    int32_t deviceMillimetresX = 0;
    int32_t deviceMillimetresY = 0;
    uint32_t handles = 0;
};

enum class PlayResult { Done, Cancelled };

/// Plays the 16-bit records (everything after the 18-byte metafile header) into image, which
/// is a 24-bit picture already filled with the background. The bounding box is the window and
/// the reference-device size the viewport until the metafile sets its own.
PlayResult PlayWmfRecords(std::span<const uint8_t> records, const WmfPlacement& placement,
                          int objectCount, ImageBuffer& image);

/// Plays the records of an enhanced metafile that follow its header record.
PlayResult PlayEmfRecords(std::span<const uint8_t> records, const EmfFrame& frame,
                          ImageBuffer& image);

}  // namespace tavolin::codecs
