// Arbitrary bytes as a BMP file for the wallpaper canvas: loading never crashes, a failed load
// leaves nothing to draw on, and a loaded image can be drawn on, saved and read back unchanged.
// The PNG copy for wallpaper setters reads the same file and either converts it or says why not.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "platform/linux/BmpToPng.h"
#include "render/WallpaperCanvas.h"

using namespace tavolin;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto path = fuzz::ScratchDir() / "canvas.bmp";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // The last byte picks the row order, so both readers see every input.
    const int32_t rowOrder = size > 0 && (data[size - 1] & 1) ? 2 : 1;
    if (size < (1 << 16)) {
        std::string error;
        Check(ConvertBmpToPng(path, fuzz::ScratchDir() / "canvas.png", error) || !error.empty());
    }
    WallpaperCanvas canvas;
    const int result = canvas.Load(path, rowOrder);
    if (result != kCanvasOk) {
        Check(result == kCanvasNotBmp || result == kCanvasNoMemory || result == kCanvasNoPixelData);
        Check(!canvas.HasPixels());
        Check(canvas.GetPixel(0, 0) == WallpaperCanvas::kNoPixel);
        Check(canvas.SetPixel(0, 0, 0) == WallpaperCanvas::kNoPixel);
        canvas.DrawText("Januar", 0, 0, 0x00FFFFFF);
        return 0;
    }

    const int w = canvas.Width(), h = canvas.Height();
    Check(w > 0 && h > 0 && canvas.Stride() % 4 == 0);
    Check(int64_t{canvas.Stride()} * h == canvas.ImageSize());
    Check(int64_t{canvas.Stride()} * 8 >= int64_t{w} * canvas.BitsPerPixel());
    Check(canvas.GetPixel(w, 0) == WallpaperCanvas::kNoPixel);
    Check(canvas.GetPixel(0, h) == WallpaperCanvas::kNoPixel);
    canvas.GetPixel(w - 1, h - 1);
    // Big images (a few header bytes can declare them) only slow the search down from here.
    if (canvas.ImageSize() > (1 << 22)) return 0;

    const auto saved = fuzz::ScratchDir() / "saved.bmp";
    Check(canvas.Save(saved) == kCanvasOk);
    WallpaperCanvas again;
    Check(again.Load(saved, 1) == kCanvasOk);
    Check(again.Width() == w && again.Height() == h &&
          again.BitsPerPixel() == canvas.BitsPerPixel());
    Check(std::memcmp(again.Pixels(), canvas.Pixels(), static_cast<size_t>(canvas.ImageSize())) ==
          0);
    for (int y : {0, h / 2, h - 1}) {
        for (int x : {0, w / 2, w - 1}) Check(again.GetPixel(x, y) == canvas.GetPixel(x, y));
    }

    // Drawing runs off every edge without harm once the image is at 24 bits. A 1-bit picture
    // grows 24 times in the conversion, so only modest pixel counts go on.
    if (int64_t{w} * h > (1 << 20)) return 0;
    Check(canvas.ConvertTo24Bit() && canvas.BitsPerPixel() == 24);
    const Colour old = canvas.GetPixel(w - 1, 0);
    Check(canvas.SetPixel(w - 1, 0, 0x00123456) == old);
    Check(canvas.GetPixel(w - 1, 0) == 0x00123456);
    canvas.DrawText("Wg\xC4@", w - 10, -5, 0x00FF0000);
    canvas.DrawFrame(w - 100, h - 50, 0x0000FF00);
    canvas.DrawMonth(13, w - 214, 20, 1, 2, 3, 4, true, CalendarDate{31, 12, 2026});
    canvas.Blit(again, w / 3, -h / 3);
    return 0;
}
