#include "results/lumicarve_view.h"

#include <QStyle>

#include "scan/scan_context.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/window_strings.h"

namespace lumicarve {

CLumicarveView::CLumicarveView(ScanContext* context, QWidget* parent)
    : QListWidget(parent), context_(context) {
  setViewMode(QListView::ListMode);
  setFlow(QListView::TopToBottom);
  setWrapping(true);
  setResizeMode(QListView::Adjust);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setIconSize(QSize(16, 16));
  folderIcon_ = style()->standardIcon(QStyle::SP_DirOpenIcon);
  pictureIcon_ = QIcon::fromTheme(QStringLiteral("image-x-generic"),
                                  style()->standardIcon(QStyle::SP_FileIcon));
  videoIcon_ = QIcon::fromTheme(QStringLiteral("video-x-generic"),
                                style()->standardIcon(QStyle::SP_MediaPlay));
  connect(this, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { emit entryOpened(row(item)); });
}

QString CLumicarveView::FileLabel(const FoundFile& file, char separator) {
  QString name = QString::fromLatin1(file.name, static_cast<int>(strnlen(file.name, sizeof file.name)));
  // Rounded up without overflow for lengths near the 64-bit limit.
  int64_t kb = static_cast<int64_t>(file.length / 1024 + (file.length % 1024 ? 1 : 0));
  return QStringLiteral("%1 (%2 %3)")
      .arg(name, QString::fromStdString(FormatWithSeparators(kb, separator)), Text(IDS_KB));
}

void CLumicarveView::addEntry(const QString& label, const QIcon& icon, const FoundFile* file) {
  auto* item = new QListWidgetItem(icon, label);
  item->setData(kFileRole, QVariant::fromValue(reinterpret_cast<quintptr>(file)));
  addItem(item);
}

void CLumicarveView::RefreshList(TreeItemData data, bool appendOnly) {
  if (!appendOnly) {
    clear();
    listSource_ = nullptr;
    setSortingEnabled(data.kind == NODE_FILES);
    if (data.kind == NODE_FILES) sortItems(Qt::AscendingOrder);
  }
  int existing = appendOnly ? count() : -1;
  int i = 0;
  if (data.kind == NODE_YEAR) {
    auto* year = static_cast<const YearRecord*>(data.target);
    for (int m = 1; m <= 12; ++m)
      if (year->months[m].count > 0 && i++ >= existing)
        addEntry(QString::fromLatin1(MonthName(m)), folderIcon_, nullptr);
  } else if (data.kind == NODE_MONTH) {
    auto* month = static_cast<const MonthSlot*>(data.target);
    for (int d = 1; d <= 31; ++d)
      if (month->days[d].count > 0 && i++ >= existing)
        addEntry(QString::number(d), folderIcon_, nullptr);
  } else if (data.kind == NODE_FILES) {
    auto* folder = static_cast<const FileFolder*>(data.target);
    listSource_ = folder;
    for (const FoundFile* f = FirstInChain(*folder); f; f = NextInChain(f))
      if (i++ >= existing)
        addEntry(FileLabel(*f, context_->thousandsSeparator),
                 IsVideoType(f->type) ? videoIcon_ : pictureIcon_, f);
  }
}

}  // namespace lumicarve
