#include "results/ui/picture_decode.h"

#include <QBuffer>
#include <QImageReader>
#include <libheif/heif.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "results/temp_copy.h"
#include "results/ui/pane_preview.h"
#include "scan/formats/capture_date.h"
#include "scan/raw_preview.h"

namespace lumicarve {
namespace {

// A picture side or area past these is not decoded: a forged header must not
// make a tile cost gigabytes. Phones' 48-megapixel pictures pass.
constexpr int kMaxHeifSide = 16384;
constexpr int64_t kMaxHeifPixels = int64_t{100} << 20;

// The HEIF library is started on first use and shut down at exit.
void StartHeif() {
  struct Library {
    Library() { heif_init(nullptr); }
    ~Library() { heif_deinit(); }
  };
  static Library library;
}

struct HeifFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
  void operator()(heif_image* i) const { heif_image_release(i); }
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
template <typename T>
using HeifPtr = std::unique_ptr<T, HeifFree>;

// The smallest thumbnail of `primary` at least `wanted` in both sides.
HeifPtr<heif_image_handle> ThumbnailFor(const heif_image_handle* primary, QSize wanted) {
  const int count = heif_image_handle_get_number_of_thumbnails(primary);
  if (count <= 0 || count > 64) return {};
  std::vector<heif_item_id> ids(static_cast<size_t>(count));
  const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
  HeifPtr<heif_image_handle> best;
  for (int i = 0; i < listed; ++i) {
    heif_image_handle* raw = nullptr;
    if (heif_image_handle_get_thumbnail(primary, ids[static_cast<size_t>(i)], &raw).code != heif_error_Ok)
      continue;
    HeifPtr<heif_image_handle> thumb(raw);
    const int w = heif_image_handle_get_width(raw), h = heif_image_handle_get_height(raw);
    if (w < wanted.width() || h < wanted.height()) continue;
    if (!best || int64_t{w} * h < int64_t{heif_image_handle_get_width(best.get())} *
                                      heif_image_handle_get_height(best.get()))
      best = std::move(thumb);
  }
  return best;
}

// Decodes `handle` to 8-bit RGBA and scales it to `size`; null on any error.
QImage DecodeHeifImage(heif_image_handle* handle, QSize size) {
  HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
  if (!options) return {};
  options->convert_hdr_to_8bit = 1;
  heif_image* raw = nullptr;
  const heif_error error =
      heif_decode_image(handle, &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get());
  HeifPtr<heif_image> image(raw);
  if (error.code != heif_error_Ok || !image) return {};
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (!plane || w <= 0 || h <= 0 || stride < 4 * w) return {};
  // The wrapper borrows libheif's pixels: the copy or scaled image is the one kept.
  const QImage pixels(plane, w, h, stride, QImage::Format_RGBA8888);
  if (pixels.size() == size) return pixels.copy();
  return pixels.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

DecodedPicture DecodeHeif(const QByteArray& bytes, int bw, int bh) {
  StartHeif();
  DecodedPicture out;
  HeifPtr<heif_context> context(heif_context_alloc());
  if (!context) return out;
  heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifSide);
  // Several pictures are decoded at once already; each decode keeps to its thread.
  heif_context_set_max_decoding_threads(context.get(), 0);
  if (heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                 static_cast<size_t>(bytes.size()), nullptr)
          .code != heif_error_Ok)
    return out;
  heif_image_handle* raw = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok) return out;
  HeifPtr<heif_image_handle> primary(raw);
  const int w = heif_image_handle_get_width(raw), h = heif_image_handle_get_height(raw);
  if (w <= 0 || h <= 0) return out;
  const QRect target = FitPicture(w, h, bw, bh);
  if (target.width() <= 0 || target.height() <= 0) return out;
  // A thumbnail at least as large as the picture is drawn stands in for it.
  HeifPtr<heif_image_handle> thumbnail = ThumbnailFor(raw, target.size());
  if (!thumbnail && int64_t{w} * h > kMaxHeifPixels) return out;
  out.image = DecodeHeifImage(thumbnail ? thumbnail.get() : raw, target.size());
  if (out.image.isNull()) return out;
  out.width = w;
  out.height = h;
  return out;
}

}  // namespace

PictureBytes ReadPictureBytes(int handle, const FoundFile& file, std::vector<uint8_t>& out,
                              const std::atomic<bool>* stop) {
  out.clear();
  FoundFile record = file;
  PreviewInfo info{};
  const bool raw = IsRawType(file.type);
  if (raw) {
    CancelCheck cancelled;
    if (stop) cancelled = [stop] { return stop->load(); };
    if (ReadRawPreview(handle, record, info, cancelled) != 1 || !PreviewCopyRange(record, &info))
      return PictureBytes::kNoPicture;
  } else if (!IsPictureType(file.type)) {
    return PictureBytes::kNoPicture;
  }
  switch (ReadCopy(handle, record, raw ? &info : nullptr, out, stop)) {
    case TempCopyResult::kCopied: return PictureBytes::kRead;
    case TempCopyResult::kStopped: return PictureBytes::kStopped;
    default: return PictureBytes::kFailed;
  }
}

DecodedPicture DecodePicture(const QByteArray& bytes, uint32_t type, int bw, int bh) {
  if (bytes.isEmpty() || bw <= 0 || bh <= 0) return {};
  if (type == FT_HEIC || type == FT_AVIF) return DecodeHeif(bytes, bw, bh);
  return DecodeFitted(bytes, DecoderFormat(type), bw, bh);
}

DecodedPicture DecodeExifThumbnail(int handle, const FoundFile& file, int bw, int bh) {
  if (file.type != FT_JPG || file.length == 0 || bw <= 0 || bh <= 0) return {};
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(file.length, kJpegExifHeadBytes)));
  size_t offset = 0, length = 0;
  if (!ReadFileBytes(handle, file, 0, head.size(), head.data()) ||
      !JpegExifThumbnail(head.data(), head.size(), offset, length))
    return {};
  // The picture's size from its frame header, which follows the EXIF block.
  QByteArray headBytes = QByteArray::fromRawData(reinterpret_cast<const char*>(head.data()),
                                                 static_cast<qsizetype>(head.size()));
  QBuffer headBuffer(&headBytes);
  headBuffer.open(QIODevice::ReadOnly);
  const QSize picture = QImageReader(&headBuffer, "jpeg").size();
  if (picture.width() <= 0 || picture.height() <= 0) return {};
  QByteArray thumbBytes = headBytes.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
  QBuffer thumbBuffer(&thumbBytes);
  thumbBuffer.open(QIODevice::ReadOnly);
  QImageReader thumbReader(&thumbBuffer, "jpeg");
  const QSize thumb = thumbReader.size();
  const QRect target = FitPicture(picture.width(), picture.height(), bw, bh);
  if (thumb.width() <= 0 || thumb.height() <= 0 || 2 * thumb.width() < target.width() ||
      2 * thumb.height() < target.height())
    return {};
  // Within 3 % of the picture's shape: a letterboxed thumbnail is not used.
  const int64_t cross = int64_t{thumb.width()} * picture.height() - int64_t{thumb.height()} * picture.width();
  if (std::abs(cross) * 100 > int64_t{thumb.height()} * picture.width() * 3) return {};
  DecodedPicture out;
  out.image = thumbReader.read();
  if (out.image.isNull()) return {};
  out.width = picture.width();
  out.height = picture.height();
  return out;
}

DecodedPicture DecodePicture(const std::vector<uint8_t>& bytes, uint32_t type, int bw, int bh) {
  return DecodePicture(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qsizetype>(bytes.size())),
                       type, bw, bh);
}

}  // namespace lumicarve
