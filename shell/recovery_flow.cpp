#include "shell/recovery_flow.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTreeWidget>

#include <algorithm>

#include "results/ui/folder_view_pane.h"
#include "results/ui/lumicarve_view.h"
#include "shell/app_context.h"
#include "shell/recovery_dialog.h"
#include "recovery/recovery_worker.h"
#include "shell/recovery_target_dialog.h"
#include "shell/settings.h"
#include "shell/settings_text.h"
#include "text/string_table.h"
#include "shell/window_strings.h"

namespace lumicarve {
namespace {

void AddFilesBelow(const QTreeWidgetItem* item, std::vector<FoundFile>& out) {
  const TreeItemData data = FolderViewPane::DataOf(item);
  if (data.kind == NODE_FILES && data.target) {
    for (const FoundFile* f = FirstInChain(*static_cast<const FileFolder*>(data.target)); f; f = NextInChain(f))
      out.push_back(*f);
    return;
  }
  for (int i = 0; i < item->childCount(); ++i) AddFilesBelow(item->child(i), out);
}

// A checked folder takes everything below it; a partly checked one only its
// checked parts.
void AddCheckedFiles(const QTreeWidgetItem* item, std::vector<FoundFile>& out) {
  for (int i = 0; i < item->childCount(); ++i) {
    const QTreeWidgetItem* child = item->child(i);
    if (child->checkState(0) == Qt::Checked)
      AddFilesBelow(child, out);
    else if (child->checkState(0) == Qt::PartiallyChecked)
      AddCheckedFiles(child, out);
  }
}

void AddSelectedEntries(const QAbstractItemView& list, std::vector<FoundFile>& out) {
  if (!list.selectionModel()) return;
  const QModelIndexList rows = list.selectionModel()->selectedIndexes();
  for (const QModelIndex& index : rows) {
    const auto* file = reinterpret_cast<const FoundFile*>(index.data(CLumicarveView::kFileRole).value<quintptr>());
    if (file) out.push_back(*file);
  }
}

void Tell(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplication), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

std::vector<FoundFile> CollectRecoveryFiles(const QTreeWidget& tree, const QAbstractItemView& list,
                                            bool selectedOnly, const QTreeWidgetItem* shown) {
  if (!shown) shown = tree.currentItem();
  std::vector<FoundFile> files;
  if (!selectedOnly) AddCheckedFiles(tree.invisibleRootItem(), files);
  const bool anyChecked = !files.empty();
  AddSelectedEntries(list, files);
  if (!selectedOnly && !anyChecked && files.empty() && shown) AddFilesBelow(shown, files);
  // One device sector starts at most one found file, and the scan finds
  // them in sector order.
  std::sort(files.begin(), files.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.startSector < b.startSector; });
  files.erase(std::unique(files.begin(), files.end(),
                          [](const FoundFile& a, const FoundFile& b) { return a.startSector == b.startSector; }),
              files.end());
  for (FoundFile& f : files) f.next = nullptr;
  return files;
}

bool RecoverTo(const QString& destination, std::vector<FoundFile> files, const AppContext& context,
               QWidget* parent, bool* completed) {
  const int handle = context.ScannedHandle();
  Message detail;
  const DeviceEntry* scanned = context.ScannedDevice();
  // The message names the destination and the scanned disk (and what was found or missing).
  const QString where = QStringLiteral("\n%1\n%2 (%3)")
                            .arg(destination, QString::fromUtf8(scanned ? scanned->path : ""));
  switch (CheckDestination(destination.toStdString(), handle, &detail)) {
    case DestinationProblem::kInvalid:
      Tell(parent, Text(IDS_INVALID_FOLDER));
      return false;
    case DestinationProblem::kSameDrive:
      Tell(parent, Text(IDS_SAME_DRIVE) + where.arg(MessageText(detail)));
      return false;
    case DestinationProblem::kUnresolved:
      Tell(parent, Text(IDS_DESTINATION_UNRESOLVED) + where.arg(MessageText(detail)));
      return false;
    case DestinationProblem::kNone:
      break;
  }
  RecoveryJob job;
  job.deviceFd = handle;
  job.files = std::move(files);
  job.destination = destination.toStdString();
  while (job.destination.size() > 1 && job.destination.back() == '/') job.destination.pop_back();
  job.nameTemplate = context.namingTemplate;
  job.createDataFolders = context.createDataFolders != 0;
  job.catalogue = context.catalogue;
  RecoveryDialog dialog(std::move(job), parent);
  dialog.exec();
  if (completed) *completed = dialog.recoveryState() == RECOVERY_COMPLETE;
  return true;
}

bool RunRecoveryFlow(std::vector<FoundFile> files, AppContext& context, QWidget* parent) {
  if (files.empty()) {
    Tell(parent, Text(IDS_NO_FILES_SELECTED));
    return false;
  }
  RecoveryTargetDialog target(LastDestination(), QString::fromStdString(context.namingTemplate), files.front(),
                              context.catalogue, context.createDataFolders != 0, parent);
  // A refused destination brings the choice back, with what was typed.
  for (;;) {
    if (target.exec() != QDialog::Accepted) return false;
    const std::string nameTemplate = target.nameTemplate().toStdString();
    if (nameTemplate != context.namingTemplate) {
      CopyCut(nameTemplate, context.namingTemplate, sizeof context.namingTemplate);
      SaveSettings(context);
    }
    bool completed = false;
    if (RecoverTo(target.destination(), files, context, parent, &completed)) {
      SaveLastDestination(target.destination());
      return completed;
    }
  }
}

}  // namespace lumicarve
