#include "results/lumicarve_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QStyle>
#include <QThread>

#include <cstring>

#include "results/thumbnail_tiles.h"
#include "results/thumbnail_worker.h"
#include "scan/scan_context.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

bool ThumbnailsWanted(const ScanContext& context, int32_t kind) {
  // Exactly 1: a running scan adds its suspend bit and so turns them off.
  return kind == NODE_FILES && context.displayFlags == 1;
}

}  // namespace

CLumicarveView::CLumicarveView(ScanContext* context, QWidget* parent)
    : QListView(parent), context_(context), model_(new FileListModel(this)) {
  model_->setIcons(style()->standardIcon(QStyle::SP_DirOpenIcon),
                   QIcon::fromTheme(QStringLiteral("image-x-generic"),
                                    style()->standardIcon(QStyle::SP_FileIcon)),
                   QIcon::fromTheme(QStringLiteral("video-x-generic"),
                                    style()->standardIcon(QStyle::SP_MediaPlay)));
  setModel(model_);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setResizeMode(QListView::Adjust);
  setLayoutMode(QListView::Batched);
  setBatchSize(500);
  blankTile_ = QPixmap::fromImage(BlankTile());
  filmStrip_ = FilmStripPlaceholder();
  camera_ = CameraPlaceholder();
  showMode(false, false);
  connect(this, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { emit entryOpened(index.row()); });
}

CLumicarveView::~CLumicarveView() { StopThumbnails(); }

QString CLumicarveView::FileLabel(const FoundFile& file, char separator) {
  QString name = QString::fromLatin1(file.name, static_cast<int>(strnlen(file.name, sizeof file.name)));
  // Rounded up without overflow for lengths near the 64-bit limit.
  int64_t kb = static_cast<int64_t>(file.length / 1024 + (file.length % 1024 ? 1 : 0));
  return QStringLiteral("%1 (%2 %3)")
      .arg(name, QString::fromStdString(FormatWithSeparators(kb, separator)), Text(IDS_KB));
}

void CLumicarveView::showMode(bool thumbnails, bool sorted) {
  if (thumbnails) {
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setIconSize(QSize(kTileWidth, kTileHeight));
    setGridSize(QSize(kTileWidth + 24, kTileHeight + 32));
    setUniformItemSizes(true);
  } else {
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setIconSize(QSize(16, 16));
    setGridSize(QSize());
    setUniformItemSizes(false);
  }
  setMovement(QListView::Static);
  setWrapping(true);
  model_->reset(sorted, thumbnails);
}

void CLumicarveView::clear() {
  StopThumbnails();
  listSource_ = nullptr;
  model_->reset(false, model_->thumbnails());
}

void CLumicarveView::addFileEntries(const FileFolder& folder, int existing) {
  int i = 0;
  for (FoundFile* f = FirstInChain(folder); f; f = NextInChain(f), ++i) {
    if (i < existing) continue;
    model_->add({FileLabel(*f, context_->thousandsSeparator),
                 IsVideoType(f->type) ? kImageVideo : kImagePicture, f, QPixmap()});
  }
}

void CLumicarveView::RefreshList(TreeItemData data, bool appendOnly) {
  const bool thumbnails = ThumbnailsWanted(*context_, data.kind);
  if (!appendOnly) {
    StopThumbnails();
    showMode(thumbnails, data.kind == NODE_FILES);
  }
  const int existing = appendOnly ? count() : -1;
  int i = 0;
  if (data.kind == NODE_YEAR) {
    StopThumbnails();
    auto* year = static_cast<const YearRecord*>(data.target);
    for (int m = 1; m <= 12; ++m)
      if (year->months[m].count > 0 && i++ >= existing)
        model_->add({QString::fromLatin1(MonthName(m)), kImageFolder, nullptr, QPixmap()});
  } else if (data.kind == NODE_MONTH) {
    StopThumbnails();
    auto* month = static_cast<const MonthSlot*>(data.target);
    for (int d = 1; d <= 31; ++d)
      if (month->days[d].count > 0 && i++ >= existing)
        model_->add({QString::number(d), kImageFolder, nullptr, QPixmap()});
  } else if (data.kind == NODE_FILES) {
    auto* folder = static_cast<const FileFolder*>(data.target);
    if (!folder || folder->count <= 0) return;
    StopThumbnails();
    listSource_ = folder;
    if (thumbnails) {
      if (context_->scanState.load() != SCAN_RUNNING) StartThumbnails();
    } else {
      addFileEntries(*folder, existing);
    }
  }
}

void CLumicarveView::StartThumbnails() {
  StopThumbnails();
  if (!listSource_) return;
  showMode(true, true);
  std::vector<ListEntry> entries;
  entries.reserve(static_cast<size_t>(std::max(listSource_->count, 0)));
  for (FoundFile* f = FirstInChain(*listSource_); f; f = NextInChain(f))
    entries.push_back({FileLabel(*f, context_->thousandsSeparator),
                       IsVideoType(f->type) ? kImageVideo : kImagePicture, f, blankTile_});
  // Every label and blank tile goes in in one step: the list is complete
  // and usable at once, and the pictures follow.
  model_->setEntries(std::move(entries));

  ThumbnailInput input;
  input.handle = context_->ScannedHandle();
  input.filmStrip = filmStrip_;
  input.camera = camera_;
  for (int row = 0; row < count(); ++row) input.jobs.push_back({row, *item(row)->file});

  context_->activityFlags.fetch_or(kActivityThumbnails);
  stopRequested_.store(false);
  tilesMade_.store(0);
  workerRunning_.store(true);
  const unsigned generation = generation_;
  worker_ = std::thread([this, generation, input = std::move(input)] {
    RunThumbnailWorker(input, stopRequested_, [this, generation](ThumbnailTile tile) {
      tilesMade_.fetch_add(1);
      QMetaObject::invokeMethod(
          this, [this, generation, tile = std::move(tile)] { applyTile(generation, tile); },
          Qt::QueuedConnection);
    });
    context_->activityFlags.fetch_and(~kActivityThumbnails);
    workerRunning_.store(false);
  });
}

void CLumicarveView::StopThumbnails() {
  if (!worker_.joinable() || stopping_) return;
  stopping_ = true;
  stopRequested_.store(true);
  // The window keeps painting while the worker finishes its current file.
  while (workerRunning_.load()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(1);
  }
  worker_.join();
  stopRequested_.store(false);
  ++generation_;
  stopping_ = false;
}

void CLumicarveView::applyTile(unsigned generation, const ThumbnailTile& tile) {
  if (generation != generation_) return;
  const ListEntry* e = item(tile.row);
  if (!e) return;
  // The date a RAW walk found is written on this thread, which owns the copies.
  if (tile.hasDate && e->file) e->file->date = tile.date;
  model_->setTile(tile.row, QPixmap::fromImage(tile.image));
  emit tileShown(tile.row);
}

QMenu* CLumicarveView::makeContextMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  QAction* all = menu->addAction(tr("Select all files"));
  all->setObjectName(QStringLiteral("selectAllFiles"));
  connect(all, &QAction::triggered, this, &CLumicarveView::selectAllFiles);
  menu->addSeparator();
  QAction* recover = menu->addAction(tr("Recover selected files"));
  recover->setObjectName(QStringLiteral("recoverSelectedFiles"));
  recover->setEnabled(context_->commandEnable[1] && selectionModel()->hasSelection());
  connect(recover, &QAction::triggered, this, &CLumicarveView::recoverSelectedFiles);
  return menu;
}

void CLumicarveView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = makeContextMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
  event->accept();
}

void CLumicarveView::selectAllFiles() {
  // Every entry selected and nothing else marked, as a fresh selection.
  selectionModel()->clearCurrentIndex();
  selectAll();
}

void CLumicarveView::recoverSelectedFiles() {
  if (context_->commandEnable[1]) emit recoverRequested();
}

}  // namespace lumicarve
