#include "JpegDecoder.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

Q_LOGGING_CATEGORY(lcJpeg, "sorvelle.jpeg", QtWarningMsg)

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the
// setjmp in RunDecode with the message kept here.
struct TJpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Above this, libjpeg's working buffers (whole-image coefficient arrays for progressive files)
// fail with "insufficient memory" instead of growing on a hostile header. A progressive photo of
// 80 megapixels still fits.
constexpr long MaxLibjpegMemory = 256L * 1024 * 1024;

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings and trace messages go to a logging category, never to stderr.
void OutputMessage(j_common_ptr cinfo) {
    char buffer[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, buffer);
    qCDebug(lcJpeg, "%s", buffer);
}

void EmitMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel < 0) {
        // Corrupt-data warnings: libjpeg recovers (a truncated file ends in grey); log the first.
        if (cinfo->err->num_warnings++ == 0) OutputMessage(cinfo);
    } else if (msgLevel <= cinfo->err->trace_level) {
        OutputMessage(cinfo);
    }
}

// What the setjmp function needs besides libjpeg's structs; only the caller owns objects with
// destructors.
struct TDecodeJob {
    const unsigned char* data;
    size_t size;
    size_t fileSize;  // bytes of the whole JPEG file; data may hold only its start
    QSize minSize;
    bool headerOnly;
    QImage* image;     // receives the picture unless headerOnly
    QSize outputSize;  // set once the scale is chosen
};

void ChooseScale(jpeg_decompress_struct* cinfo, QSize minSize) {
    cinfo->scale_num = 8;
    cinfo->scale_denom = 8;
    if (!minSize.isValid()) return;
    for (unsigned int n = 1; n <= 8; ++n) {
        cinfo->scale_num = n;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width >= static_cast<JDIMENSION>(minSize.width()) &&
            cinfo->output_height >= static_cast<JDIMENSION>(minSize.height()))
            return;
    }
    cinfo->scale_num = 8;
}

// Allocation of the QImage lives outside RunDecode so that no temporary with a destructor is
// ever alive in the function that calls setjmp.
bool AllocateImage(QImage* image, JDIMENSION width, JDIMENSION height) {
    *image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
    return !image->isNull();
}

// Adobe writes CMYK inverted (0 = full ink); libjpeg hands it over as stored.
void CmykToRgb(const JSAMPLE* cmyk, uchar* rgb, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x) {
        int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[3 * x] = static_cast<uchar>(c * k / 255);
        rgb[3 * x + 1] = static_cast<uchar>(m * k / 255);
        rgb[3 * x + 2] = static_cast<uchar>(y * k / 255);
    }
}

bool TooLarge(const jpeg_decompress_struct* cinfo, TJpegErrorManager* err) {
    std::snprintf(err->message, sizeof err->message, "Picture of %u x %u pixels is too large",
                  static_cast<unsigned>(cinfo->image_width), static_cast<unsigned>(cinfo->image_height));
    return false;
}

// The only function that calls setjmp: every local here is trivially destructible, and every
// object with a destructor belongs to the caller. Returns false after a libjpeg error.
bool RunDecode(jpeg_decompress_struct* cinfo, TJpegErrorManager* err, TDecodeJob* job) {
    if (setjmp(err->jump)) return false;

    jpeg_mem_src(cinfo, job->data, static_cast<unsigned long>(job->size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;

    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    cinfo->dct_method = JDCT_ISLOW;
    // Both sizes are checked before anything is decoded: the header alone may promise a picture
    // of gigabytes in a few bytes.
    const qint64 pixels = static_cast<qint64>(cinfo->image_width) * cinfo->image_height;
    if (pixels > MaxJpegPixels) return TooLarge(cinfo, err);
    // Decoding costs time by the pixels, also where the data is missing. No Huffman-coded JPEG,
    // however flat, takes less than a byte for 512 pixels.
    if (pixels > MaxJpegPixelsPerByte * static_cast<qint64>(job->fileSize)) {
        std::snprintf(err->message, sizeof err->message, "%zu bytes cannot hold a picture of %u x %u pixels",
                      job->fileSize, static_cast<unsigned>(cinfo->image_width),
                      static_cast<unsigned>(cinfo->image_height));
        return false;
    }
    ChooseScale(cinfo, job->minSize);
    jpeg_calc_output_dimensions(cinfo);
    const QSize output(static_cast<int>(cinfo->output_width), static_cast<int>(cinfo->output_height));
    if (output.isEmpty() || DecodedPictureBytes(output) > MaxDecodedPictureBytes) return TooLarge(cinfo, err);
    job->outputSize = output;
    if (job->headerOnly) return true;

    if (!AllocateImage(job->image, cinfo->output_width, cinfo->output_height)) {
        std::snprintf(err->message, sizeof err->message, "Out of memory for a picture of %u x %u pixels",
                      static_cast<unsigned>(cinfo->output_width),
                      static_cast<unsigned>(cinfo->output_height));
        return false;
    }
    if (!jpeg_start_decompress(cinfo)) return false;
    if (cinfo->output_width != static_cast<JDIMENSION>(job->image->width()) ||
        cinfo->output_height != static_cast<JDIMENSION>(job->image->height()) ||
        cinfo->output_components != (cmyk ? 4 : 3))
        return false;

    JSAMPARRAY cmykRow = nullptr;
    if (cmyk) {
        cmykRow = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              cinfo->output_width * 4, 1);
    }
    while (cinfo->output_scanline < cinfo->output_height) {
        uchar* line = job->image->scanLine(static_cast<int>(cinfo->output_scanline));
        if (cmyk) {
            if (jpeg_read_scanlines(cinfo, cmykRow, 1) != 1) return false;
            CmykToRgb(cmykRow[0], line, cinfo->output_width, cinfo->saw_Adobe_marker);
        } else {
            JSAMPROW row = line;
            if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

// Owns one libjpeg decompressor; jpeg_destroy_decompress runs on every path out of a decode.
class TJpegDecompressor {
  public:
    TJpegDecompressor() {
        cinfo_.err = jpeg_std_error(&err_.pub);
        err_.pub.error_exit = ErrorExit;
        err_.pub.emit_message = EmitMessage;
        err_.pub.output_message = OutputMessage;
        err_.message[0] = '\0';
        created_ = Create(&cinfo_, &err_);
        if (created_) cinfo_.mem->max_memory_to_use = MaxLibjpegMemory;
    }
    ~TJpegDecompressor() { jpeg_destroy_decompress(&cinfo_); }
    TJpegDecompressor(const TJpegDecompressor&) = delete;
    TJpegDecompressor& operator=(const TJpegDecompressor&) = delete;

    bool Run(TDecodeJob* job) { return created_ && RunDecode(&cinfo_, &err_, job); }
    QString Error() const {
        return err_.message[0] ? QString::fromLocal8Bit(err_.message) : QStringLiteral("Not a JPEG file");
    }

  private:
    static bool Create(jpeg_decompress_struct* cinfo, TJpegErrorManager* err) {
        if (setjmp(err->jump)) return false;
        jpeg_create_decompress(cinfo);
        return true;
    }

    // Value-initialised, so that jpeg_destroy_decompress is a no-op if creation failed.
    jpeg_decompress_struct cinfo_{};
    TJpegErrorManager err_{};
    bool created_ = false;
};

}  // namespace

TJpegResult DecodeJpeg(const unsigned char* data, size_t size, QSize minSize) {
    TJpegResult result;
    if (data == nullptr || size == 0) {
        result.error = QStringLiteral("Empty file");
        return result;
    }
    TJpegDecompressor decompressor;
    TDecodeJob job{data, size, size, minSize, false, &result.image, QSize()};
    if (!decompressor.Run(&job)) {
        result.image = QImage();
        result.error = decompressor.Error();
    }
    return result;
}

QSize ScaledJpegSize(const unsigned char* data, size_t size, QSize minSize, size_t fileSize) {
    if (data == nullptr || size == 0) return QSize();
    TJpegDecompressor decompressor;
    TDecodeJob job{data, size, std::max(size, fileSize), minSize, true, nullptr, QSize()};
    if (!decompressor.Run(&job)) return QSize();
    return job.outputSize;
}

qint64 DecodedPictureBytes(QSize size) {
    if (size.isEmpty()) return 0;
    // QImage's RGB888 lines are padded to four bytes.
    const qint64 line = (static_cast<qint64>(size.width()) * 3 + 3) / 4 * 4;
    return line * size.height();
}

QSize PictureDecodeSize(double devicePixelRatio) {
    if (!(devicePixelRatio >= 1.0) || devicePixelRatio > 16.0) devicePixelRatio = 1.0;
    return QSize(static_cast<int>(std::ceil(LargestPictureCell.width() * devicePixelRatio)),
                 static_cast<int>(std::ceil(LargestPictureCell.height() * devicePixelRatio)));
}
