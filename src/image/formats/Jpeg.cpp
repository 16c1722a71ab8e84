// JPEG through libjpeg. The library reports fatal errors through error_exit, which by default
// ends the process; ours formats the library's message and jumps back into DecodeJpeg's
// guarded part, which holds only plain C state, so nothing needing destruction is skipped.
// The library's warnings about corrupt data end the decode the same way: what it would fill in
// for missing or damaged data is grey filler, not the picture (this also stops a header that
// promises far more rows than the data holds at the first missing row). The whole file is
// handed to the library at once; only a file that lacks nothing but its end marker is accepted
// when the library runs past its end.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "image/formats/CodecSupport.h"
#include "image/formats/Codecs.h"

namespace tavolin::codecs {
namespace {

// A hostile progressive file can hold thousands of tiny scans, each costing a pass over the
// whole picture; real files have at most a few dozen.
constexpr int kMaxScans = 500;
// Room for the library's own tables and row buffers, so small pictures are never refused.
constexpr uint64_t kMemorySlack = uint64_t{16} << 20;

struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errorManager;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool hitEnd;  // the library asked for bytes beyond the file
    bool created;
};

JpegJob& JobOf(j_common_ptr cinfo) {
    // cinfo is the first member of the job.
    return *reinterpret_cast<JpegJob*>(cinfo);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    JpegJob& job = JobOf(cinfo);
    if (cinfo->err->msg_code == JERR_NO_BACKING_STORE) {
        // The coefficients of a progressive (or multi-scan) file outgrew the memory limit.
        std::snprintf(job.message, sizeof job.message,
                      "JPEG needs more memory to decode than its picture size allows");
    } else {
        (*cinfo->err->format_message)(cinfo, job.message);
    }
    std::longjmp(job.jump, 1);
}

/// Warnings that say nothing about the picture data.
bool HarmlessWarning(int code) {
    return code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC ||
           code == JWRN_JPEG_EOF;  // the end marker is missing; harm shows as the next warning
}

void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace output
    ++cinfo->err->num_warnings;
    if (HarmlessWarning(cinfo->err->msg_code)) return;
    JpegJob& job = JobOf(cinfo);
    if (job.hitEnd && cinfo->err->msg_code == JWRN_HIT_MARKER) {
        cinfo->err->msg_code = JWRN_JPEG_EOF;  // say why the data segment ended early
    }
    (*cinfo->err->format_message)(cinfo, job.message);
    std::longjmp(job.jump, 1);
}

void OutputMessage(j_common_ptr) {}  // never print to stderr

void ProgressMonitor(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        JpegJob& job = JobOf(cinfo);
        std::snprintf(job.message, sizeof job.message, "JPEG has more than %d scans", kMaxScans);
        std::longjmp(job.jump, 1);
    }
}

const JOCTET kFakeEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    // Everything was handed over at once, so the file ends here: feed an end marker, as the
    // library's own sources do. Data still needed then shows as a corrupt-data warning.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    JobOf(reinterpret_cast<j_common_ptr>(cinfo)).hitEnd = true;
    cinfo->src->next_input_byte = kFakeEoi;
    cinfo->src->bytes_in_buffer = sizeof kFakeEoi;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
        FillInputBuffer(cinfo);
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

/// Everything between setjmp and the library's calls. Only trivially destructible locals live
/// here; all state that must survive a jump sits in the job.
bool RunJpeg(JpegJob& job, std::span<const uint8_t> data, ImageBuffer& image) {
    j_decompress_ptr cinfo = &job.cinfo;
    cinfo->err = jpeg_std_error(&job.errorManager);
    job.errorManager.error_exit = ErrorExit;
    job.errorManager.emit_message = EmitMessage;
    job.errorManager.output_message = OutputMessage;
    if (setjmp(job.jump)) {
        if (job.created) jpeg_destroy_decompress(cinfo);
        image.SetLastError(job.message);
        return false;
    }
    jpeg_create_decompress(cinfo);
    job.created = true;

    job.source.init_source = InitSource;
    job.source.fill_input_buffer = FillInputBuffer;
    job.source.skip_input_data = SkipInputData;
    job.source.resync_to_restart = jpeg_resync_to_restart;
    job.source.term_source = TermSource;
    job.source.next_input_byte = data.data();
    job.source.bytes_in_buffer = data.size();
    cinfo->src = &job.source;
    job.progress.progress_monitor = ProgressMonitor;
    cinfo->progress = &job.progress;

    jpeg_read_header(cinfo, TRUE);
    if (!image.CheckSize(cinfo->image_width, cinfo->image_height)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    // Files that keep all coefficients (progressive and multi-scan ones) may use about twice
    // the decoded picture; the library refuses beyond that instead of reaching for disk.
    const uint64_t pictureBytes = uint64_t{cinfo->image_width} * cinfo->image_height *
                                  (cinfo->jpeg_color_space == JCS_GRAYSCALE ? 1 : 3);
    cinfo->mem->max_memory_to_use = static_cast<long>(2 * pictureBytes + kMemorySlack);

    bool grey = false;
    bool cmyk = false;
    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
            cinfo->out_color_space = JCS_GRAYSCALE;
            grey = true;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            cinfo->out_color_space = JCS_CMYK;
            cmyk = true;
            break;
        default:
#ifdef JCS_EXTENSIONS
            cinfo->out_color_space = JCS_EXT_BGR;  // straight into the picture's byte order
#else
            cinfo->out_color_space = JCS_RGB;
#endif
            break;
    }
    // Adobe writes CMYK with every sample inverted (255 = no ink).
    const bool inverted = cmyk && cinfo->saw_Adobe_marker;

    jpeg_start_decompress(cinfo);
    if (cinfo->progressive_mode && cinfo->coef_bits) {
        // A progressive file read to its end without any scan for a component's base colours
        // would show that component as flat grey.
        for (int c = 0; c < cinfo->num_components; ++c) {
            if (cinfo->coef_bits[c][0] < 0) {
                jpeg_destroy_decompress(cinfo);
                image.SetLastError("JPEG data is incomplete: a colour component has no scan");
                return false;
            }
        }
    }
    const int width = static_cast<int>(cinfo->output_width);
    const int height = static_cast<int>(cinfo->output_height);
    if (!image.Create(cinfo->output_width, cinfo->output_height, grey ? 8 : 24, image.Format())) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    if (grey) SetGreyPalette(image, 256);
    if (cinfo->density_unit == 1 && cinfo->X_density > 0 && cinfo->Y_density > 0) {
        image.SetDpi(cinfo->X_density, cinfo->Y_density);
    } else if (cinfo->density_unit == 2 && cinfo->X_density > 0 && cinfo->Y_density > 0) {
        image.SetDpi(static_cast<int>(cinfo->X_density * 2.54 + 0.5),
                     static_cast<int>(cinfo->Y_density * 2.54 + 0.5));
    }

    // CMYK rows go through a buffer from the library's own pool, freed with the decompressor.
    JSAMPARRAY cmykRows =
        cmyk ? (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                           static_cast<JDIMENSION>(width) * 4, 1)
             : nullptr;
    while (cinfo->output_scanline < cinfo->output_height) {
        if (image.Cancelled()) {
            jpeg_destroy_decompress(cinfo);
            image.SetLastError("Cancelled");
            return false;
        }
        const int top = static_cast<int>(cinfo->output_scanline);
        image.SetProgress(static_cast<int>(100LL * top / height));
        if (cmyk) {
            jpeg_read_scanlines(cinfo, cmykRows, 1);
            const JSAMPLE* s = cmykRows[0];
            uint8_t* d = image.Row(height - 1 - top);
            for (int x = 0; x < width; ++x, s += 4, d += 3) {
                const unsigned k = inverted ? s[3] : 255u - s[3];
                d[0] = Mul255(inverted ? s[2] : 255u - s[2], k);
                d[1] = Mul255(inverted ? s[1] : 255u - s[1], k);
                d[2] = Mul255(inverted ? s[0] : 255u - s[0], k);
            }
            continue;
        }
        // Rows arrive top first; the picture stores the bottom row first.
        JSAMPROW rows[16];
        const int count = std::min(16, height - top);
        for (int i = 0; i < count; ++i) rows[i] = image.Row(height - 1 - top - i);
        jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(count));
#ifndef JCS_EXTENSIONS
        if (!grey) {
            for (int i = 0; i < count; ++i) {
                for (int x = 0; x < width; ++x) std::swap(rows[i][3 * x], rows[i][3 * x + 2]);
            }
        }
#endif
    }
    // Whatever follows the last row (trailing markers, garbage) cannot spoil the picture, so
    // the decompressor is dropped rather than finished.
    jpeg_destroy_decompress(cinfo);
    return true;
}

}  // namespace

bool DecodeJpeg(ByteReader& in, ImageBuffer& image) {
    std::unique_ptr<JpegJob> job(new (std::nothrow) JpegJob{});
    if (!job) {
        image.SetLastError("Can't allocate memory");
        return false;
    }
    const auto data = in.Take(in.Remaining());
    return RunJpeg(*job, data, image);
}

}  // namespace tavolin::codecs
