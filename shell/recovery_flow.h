// The recovery flow behind "Recover files" and "Recover selected files":
// which found files are taken, the destination chooser and its checks, and
// the modal recovery dialog.
#pragma once

#include <QString>

#include <vector>

#include "scan/file_types.h"

class QAbstractItemView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace lumicarve {

struct AppContext;

// The files a recovery takes, each once, in scan order. `selectedOnly`: the
// selected list entries. Otherwise the files below every checked folder of
// the tree plus the selected list entries; with no folder checked, the
// selected entries; with none of those, every file below `shown`, the folder
// the list shows (the tree's current item when null).
std::vector<FoundFile> CollectRecoveryFiles(const QTreeWidget& tree, const QAbstractItemView& list,
                                            bool selectedOnly, const QTreeWidgetItem* shown = nullptr);

// Checks `destination` and runs the recovery dialog over `files`. Returns
// false when the destination was refused (the user has been told why);
// `completed` says whether every file was saved.
bool RecoverTo(const QString& destination, std::vector<FoundFile> files, const AppContext& context,
               QWidget* parent, bool* completed = nullptr);

// Asks where and under which names (starting from the last destination and
// the template), keeps a changed template, then RecoverTo. True when every
// file was saved; nothing happens when the user cancels.
bool RunRecoveryFlow(std::vector<FoundFile> files, AppContext& context, QWidget* parent);

}  // namespace lumicarve
