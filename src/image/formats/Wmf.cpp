// Metafiles: a placeable WMF (a 22-byte placement header in front of a standard metafile) or an
// enhanced metafile. The picture's size is the metafile's own size at 96 dots per inch, at most
// 4000 pixels either way (shrunk in proportion); it starts white and the records are played
// into it by our own player.
#include <algorithm>

#include "image/formats/Codecs.h"
#include "image/formats/WmfPlayer.h"

namespace tavolin::codecs {
namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kMetaHeaderSize = 18;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr size_t kEmfHeaderMinimum = 88;
constexpr int64_t kScreenDpi = 96;
constexpr int64_t kMaxSide = 4000;

struct Placeable {
    WmfBounds bounds;
    int unitsPerInch = 0;
    int objects = 0;
    std::span<const uint8_t> records;
};

bool ReadPlaceable(std::span<const uint8_t> file, Placeable& out) {
    ByteReader in(file);
    uint16_t words[11];
    for (auto& w : words) w = in.U16LE();
    if (in.Failed()) return false;
    const uint32_t key = words[0] | (uint32_t{words[1]} << 16);
    uint16_t checksum = 0;
    for (int i = 0; i < 10; ++i) checksum ^= words[i];
    const int inch = words[7];
    if (key != kPlaceableKey || checksum != words[10] || inch < 1 || inch > 2540) return false;
    out.bounds = {static_cast<int16_t>(words[3]), static_cast<int16_t>(words[4]),
                  static_cast<int16_t>(words[5]), static_cast<int16_t>(words[6])};
    out.unitsPerInch = inch;

    // The standard header: type 1 (memory) or 2 (disk), nine words long, and the metafile's
    // size in words, all of which must be in the file.
    const uint16_t type = in.U16LE();
    const uint16_t headerWords = in.U16LE();
    in.Skip(2);  // version
    const uint32_t sizeWords = in.U32LE();
    out.objects = in.U16LE();
    if (in.Failed() || (type != 1 && type != 2) || headerWords != 9) return false;
    const uint64_t bytes = uint64_t{sizeWords} * 2;
    if (bytes < kMetaHeaderSize || bytes > file.size() - kPlaceableSize) return false;
    out.records = file.subspan(kPlaceableSize + kMetaHeaderSize, bytes - kMetaHeaderSize);
    return true;
}

bool ReadEmfHeader(std::span<const uint8_t> file, EmfFrame& frame,
                   std::span<const uint8_t>& records) {
    ByteReader in(file);
    const uint32_t type = in.U32LE();
    const uint32_t size = in.U32LE();
    in.Skip(16);  // bounds in device pixels
    frame.left = in.S32LE();
    frame.top = in.S32LE();
    frame.right = in.S32LE();
    frame.bottom = in.S32LE();
    const uint32_t signature = in.U32LE();
    in.Skip(4);  // version
    const uint32_t bytes = in.U32LE();
    in.Skip(4);  // record count
    frame.handles = in.U16LE();
    in.Skip(2 + 12);  // reserved, description, palette entries
    frame.devicePixelsX = in.S32LE();
    frame.devicePixelsY = in.S32LE();
    frame.deviceMillimetresX = in.S32LE();
    frame.deviceMillimetresY = in.S32LE();
    if (in.Failed() || type != 1 || signature != kEmfSignature || size < kEmfHeaderMinimum ||
        size > bytes || bytes > file.size()) {
        return false;
    }
    records = file.subspan(size, bytes - size);
    return true;
}

}  // namespace

bool DecodeWmf(ByteReader& in, ImageBuffer& image) {
    const auto file = in.Data();
    Placeable placeable;
    EmfFrame frame;
    std::span<const uint8_t> emfRecords;
    int64_t width = 0, height = 0;
    const bool isWmf = ReadPlaceable(file, placeable);
    if (isWmf) {
        const WmfBounds& b = placeable.bounds;
        width = (int64_t{b.right} - b.left) * kScreenDpi / placeable.unitsPerInch;
        height = (int64_t{b.bottom} - b.top) * kScreenDpi / placeable.unitsPerInch;
    } else if (ReadEmfHeader(file, frame, emfRecords)) {
        // The frame is in hundredths of a millimetre.
        width = (int64_t{frame.right} - frame.left) * kScreenDpi / 2540;
        height = (int64_t{frame.bottom} - frame.top) * kScreenDpi / 2540;
    } else {
        image.SetLastError("corrupted WMF");
        return false;
    }
    if (width <= 0 || height <= 0) {
        image.SetLastError("empty WMF");
        return false;
    }
    const int64_t fullWidth = width, fullHeight = height;
    // Wider or higher than 4000 pixels: shrink in proportion, keeping at least one pixel.
    if (width > kMaxSide) {
        height = std::max<int64_t>(1, height * kMaxSide / width);
        width = kMaxSide;
    }
    if (height > kMaxSide) {
        width = std::max<int64_t>(1, width * kMaxSide / height);
        height = kMaxSide;
    }
    if (!image.Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), 24,
                      image.Format())) {
        return false;
    }
    // The window background colour.
    for (int y = 0; y < image.Height(); ++y) {
        std::fill_n(image.Row(y), 3 * static_cast<size_t>(image.Width()), uint8_t{255});
    }
    const PlayResult result =
        isWmf ? PlayWmfRecords(placeable.records, {placeable.bounds, fullWidth, fullHeight},
                               placeable.objects, image)
              : PlayEmfRecords(emfRecords, frame, image);
    if (result == PlayResult::Cancelled) {
        image.SetLastError("Cancelled");
        return false;
    }
    return true;
}

}  // namespace tavolin::codecs
