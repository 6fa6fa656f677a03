#include "results/ui/lumicarve_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QThreadPool>

#include <cstring>

#include "results/ui/thumbnail_tiles.h"
#include "results/ui/thumbnail_worker.h"
#include "shell/app_context.h"
#include "text/string_table.h"
#include "text/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

// The bit of DisplayFlags a running scan adds.
constexpr int32_t kSuspendThumbnails = 0x1000;

bool ThumbnailsWanted(const AppContext& context, int32_t kind) {
  // Exactly 1: a running scan adds its suspend bit and so turns them off.
  return kind == NODE_FILES && context.displayFlags == 1;
}

}  // namespace

CLumicarveView::CLumicarveView(AppContext* context, QWidget* parent)
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
  filmStripTile_ = QPixmap::fromImage(filmStrip_);
  cameraTile_ = QPixmap::fromImage(camera_);
  viewMoved_.setSingleShot(true);
  viewMoved_.setInterval(30);
  connect(&viewMoved_, &QTimer::timeout, this, [this] { scheduleTiles(true); });
  auto moved = [this] {
    if (run_) viewMoved_.start();
  };
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, moved);
  connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, moved);
  showMode(false, false);
  connect(this, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { emit entryOpened(index.row()); });
}

CLumicarveView::~CLumicarveView() {
  StopThumbnails();
  // The scroll bars outlive this class's members while the base class goes.
  verticalScrollBar()->disconnect(this);
}

QString CLumicarveView::FileLabel(const FoundFile& file, bool original) {
  QString name = QString::fromLatin1(file.name, static_cast<int>(strnlen(file.name, sizeof file.name)));
  if (original && file.origin && !file.origin->name.empty()) {
    name = QString::fromStdString(file.origin->name);
    if (!file.origin->folder.empty()) name = QString::fromStdString(file.origin->folder) + u'/' + name;
  }
  return QStringLiteral("%1 (%2)").arg(name, SizeText(file.length));
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
  heldRows_.clear();
}

void CLumicarveView::clear() {
  StopThumbnails();
  listSource_ = nullptr;
  listed_ = {};
  model_->reset(false, model_->thumbnails());
  heldRows_.clear();
}

void CLumicarveView::addFileEntries(const FileFolder& folder, int existing) {
  int i = 0;
  for (FoundFile* f = FirstInChain(folder); f; f = NextInChain(f), ++i) {
    if (i < existing || !shows(*f)) continue;
    model_->add({FileLabel(*f, originalNames_),
                 IsVideoType(f->type) ? kImageVideo : kImagePicture, f, QPixmap()});
  }
  chainListed_ = i;
}

void CLumicarveView::setOriginalNames(bool on) {
  originalNames_ = on;
  if (listed_.kind == NODE_FILES) RefreshList(listed_, false);
}

void CLumicarveView::setDeletedOnly(bool on) {
  deletedOnly_ = on;
  if (listed_.kind == NODE_FILES) RefreshList(listed_, false);
}

void CLumicarveView::RefreshList(TreeItemData data, bool appendOnly) {
  listed_ = data;
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
        model_->add({QCoreApplication::translate("Lumicarve", MonthName(m)), kImageFolder, nullptr, QPixmap()});
  } else if (data.kind == NODE_MONTH) {
    StopThumbnails();
    auto* month = static_cast<const MonthSlot*>(data.target);
    for (int d = 1; d <= 31; ++d)
      if (month->days[d].count > 0 && i++ >= existing)
        model_->add({QString::number(d), kImageFolder, nullptr, QPixmap()});
  } else if (data.kind == NODE_UNSORTED && data.target) {
    StopThumbnails();
    int number = 1;
    for (const UnsortedGroup* g = static_cast<const YearRecord*>(data.target)->firstGroup; g; g = g->next, ++number)
      if (g->count > 0 && i++ >= existing) model_->add({QString::number(number), kImageFolder, nullptr, QPixmap()});
  } else if (data.kind == NODE_FILES) {
    auto* folder = static_cast<const FileFolder*>(data.target);
    if (!folder || folder->count <= 0) return;
    StopThumbnails();
    listSource_ = folder;
    if (thumbnails) {
      if (context_->scanState.load() != SCAN_RUNNING) StartThumbnails();
    } else {
      addFileEntries(*folder, appendOnly ? chainListed_ : -1);
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
    if (shows(*f))
      entries.push_back({FileLabel(*f, originalNames_),
                         IsVideoType(f->type) ? kImageVideo : kImagePicture, f, blankTile_});
  // Every label and blank tile goes in in one step: the list is complete
  // and usable at once, and the pictures follow.
  model_->setEntries(std::move(entries));

  std::vector<FoundFile> files;
  files.reserve(static_cast<size_t>(count()));
  for (int row = 0; row < count(); ++row) files.push_back(*item(row)->file);
  ThumbnailInput input;
  input.handle = context_->ScannedHandle();
  input.filmStrip = filmStrip_;
  input.camera = camera_;
  run_ = std::make_shared<ThumbnailRun>(std::move(files), std::move(input));
  const unsigned generation = generation_;
  run_->connect(
      this, [this, generation](const ThumbnailTile& tile) { applyTile(generation, tile); },
      [this, generation] { workersIdle(generation); });
  tilesMade_ = 0;
  scheduleTiles(false);
}

std::pair<int, int> CLumicarveView::visibleRows() const {
  const int n = count();
  const QRect shown = viewport()->rect();
  // Rows are laid out in order, left to right and then down, so "reaches
  // below the top" and "starts below the bottom" each switch from false to
  // true once along the rows. A row not laid out yet has no rectangle and
  // counts as below the view.
  auto firstWhere = [n](auto&& test) {
    int lo = 0, hi = n;
    while (lo < hi) {
      const int mid = lo + (hi - lo) / 2;
      if (test(mid))
        hi = mid;
      else
        lo = mid + 1;
    }
    return lo;
  };
  const int first = firstWhere([&](int row) {
    const QRect r = visualRect(model_->index(row));
    return !r.isValid() || r.bottom() >= shown.top();
  });
  const int end = firstWhere([&](int row) {
    const QRect r = visualRect(model_->index(row));
    return !r.isValid() || r.top() > shown.bottom();
  });
  const int clampedFirst = std::min(first, n - 1);
  return {clampedFirst, std::max(clampedFirst, std::min(end, n) - 1)};
}

void CLumicarveView::scheduleTiles(bool resumed) {
  // A scan about to start sets its suspend bit before it stops the workers;
  // a scroll meanwhile must not start others.
  if (!run_ || (resumed && (context_->displayFlags & kSuspendThumbnails))) return;
  const int n = count();
  if (n == 0) return;
  const int window = std::min(n, tileLimit_);
  auto [first, last] = visibleRows();
  last = std::min(last, first + window - 1);
  // The kept rows: those in view with as many before as after them, moved
  // inwards at either end of the list.
  keepFirst_ = std::clamp(first - (window - (last - first + 1)) / 2, 0, n - window);
  keepLast_ = keepFirst_ + window - 1;
  std::vector<int> rows;
  auto wanted = [&](int row) {
    if (item(row)->tile.cacheKey() == blankTile_.cacheKey()) rows.push_back(row);
  };
  for (int row = first; row <= last; ++row) wanted(row);
  for (int row = last + 1; row <= keepLast_; ++row) wanted(row);
  for (int row = first - 1; row >= keepFirst_; --row) wanted(row);
  if (const int start = run_->queue.schedule(rows, ThumbnailPool().maxThreadCount())) startWorkers(start);
}

void CLumicarveView::startWorkers(int count) {
  if (!workersBusy_) {
    workersBusy_ = true;
    context_->activityFlags.fetch_or(kActivityThumbnails);
  }
  for (int i = 0; i < count; ++i) ThumbnailPool().start([run = run_] { RunThumbnailWorker(*run); });
}

void CLumicarveView::StopThumbnails() {
  viewMoved_.stop();
  if (!run_) return;
  // The workers finish the file in hand on their own; what they make goes nowhere.
  run_->disconnect();
  run_.reset();
  ++generation_;
  endWorkers();
}

void CLumicarveView::endWorkers() {
  if (!workersBusy_) return;
  workersBusy_ = false;
  context_->activityFlags.fetch_and(~kActivityThumbnails);
}

void CLumicarveView::workersIdle(unsigned generation) {
  // Rows scheduled after the last worker left have started new ones.
  if (generation != generation_ || !run_ || run_->queue.busy()) return;
  endWorkers();
  emit thumbnailsIdle();
}

void CLumicarveView::applyTile(unsigned generation, const ThumbnailTile& tile) {
  if (generation != generation_) return;
  ++tilesMade_;
  if (run_) run_->queue.landed(tile.row);
  const ListEntry* e = item(tile.row);
  if (!e) return;
  // The date a RAW walk found is written on this thread, which owns the copies.
  if (tile.hasDate && e->file) e->file->date = tile.date;
  const qint64 key = tile.image.cacheKey();
  if (key == filmStrip_.cacheKey()) {
    model_->setTile(tile.row, filmStripTile_);
  } else if (key == camera_.cacheKey()) {
    model_->setTile(tile.row, cameraTile_);
  } else {
    // Room is made before the tile goes in, so the bound holds at every
    // moment; a tile that would itself be the farthest is not put in.
    heldRows_.insert(tile.row);
    evictFarthest();
    if (!heldRows_.count(tile.row)) return;
    model_->setTile(tile.row, QPixmap::fromImage(tile.image));
  }
  emit tileShown(tile.row);
}

void CLumicarveView::evictFarthest() {
  while (static_cast<int>(heldRows_.size()) > tileLimit_) {
    // At most tileLimit_ rows are kept, so past the bound the outermost held
    // row on one side or the other lies outside them.
    const int low = *heldRows_.begin(), high = *heldRows_.rbegin();
    const int row = high - keepLast_ >= keepFirst_ - low ? high : low;
    heldRows_.erase(row);
    if (item(row)->tile.cacheKey() != blankTile_.cacheKey()) model_->setTile(row, blankTile_);
  }
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

void CLumicarveView::setEmptyHint(const QString& hint) {
  emptyHint_ = hint;
  viewport()->update();
}

void CLumicarveView::paintEvent(QPaintEvent* event) {
  QListView::paintEvent(event);
  if (count() > 0 || emptyHint_.isEmpty()) return;
  QPainter p(viewport());
  p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
  p.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, emptyHint_);
}

void CLumicarveView::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
    emit entryOpened(currentIndex().row());
    event->accept();
    return;
  }
  QListView::keyPressEvent(event);
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
