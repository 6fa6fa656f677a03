#include "results/thumbnail_worker.h"

#include <unistd.h>

#include "results/temp_copy.h"
#include "results/thumbnail_tiles.h"
#include "scan/raw_preview.h"

namespace lumicarve {
namespace {

// A preview a damaged IFD places outside its file is not the file's picture.
bool PreviewInsideFile(const FoundFile& file, const PreviewInfo& info) {
  const uint64_t start = file.startSector * 512;
  return info.offset >= start && info.length <= file.length &&
         info.offset - start <= file.length - info.length;
}

}  // namespace

int RunThumbnailWorker(const ThumbnailInput& input, const std::atomic<bool>& stop,
                       const std::function<void(ThumbnailTile)>& deliver) {
  int delivered = 0;
  for (const ThumbnailJob& job : input.jobs) {
    if (stop.load()) break;
    ThumbnailTile tile;
    tile.row = job.row;
    FoundFile file = job.file;
    PreviewInfo info{};
    bool preview = false;
    if (IsRawType(file.type)) {
      preview = ReadRawPreview(input.handle, file, info) == 1 && PreviewInsideFile(file, info);
      tile.hasDate = file.date != 0;
      tile.date = file.date;
    }
    if (!preview && !IsPictureType(file.type)) {
      tile.image = IsVideoType(file.type) ? input.filmStrip : input.camera;
    } else if (!preview && IsRawType(file.type)) {
      // A RAW file without an embedded preview is not decoded.
      tile.image = input.camera;
    } else {
      const std::string path = preview ? RawPreviewTempPath() : ThumbnailTempPath(file);
      const TempCopyResult copied =
          WriteTempCopy(input.handle, file, preview ? &info : nullptr, path, &stop);
      if (copied == TempCopyResult::kCannotCreate || copied == TempCopyResult::kStopped) break;
      if (copied == TempCopyResult::kReadFailed) {
        // An unreadable sector leaves no true picture to show.
        tile.image = MakeTile(QImage(), 0, 0);
      } else {
        DecodedPicture picture =
            DecodeFitted(QString::fromStdString(path), kTileWidth, kTileHeight);
        ::unlink(path.c_str());
        tile.image = MakeTile(picture.image, picture.width, picture.height);
      }
    }
    deliver(std::move(tile));
    ++delivered;
  }
  return delivered;
}

}  // namespace lumicarve
