// The recovery flow behind "Recover files" and "Recover selected files":
// which found files are taken, the destination chooser and its checks, and
// the modal recovery dialog.
#pragma once

#include <QString>

#include <vector>

#include "scan/file_types.h"

class QAbstractItemView;
class QTreeWidget;
class QWidget;

namespace lumicarve {

struct AppContext;

// The files a recovery takes, each once, in scan order. `selectedOnly`: the
// selected list entries. Otherwise the files below every checked folder of
// the tree plus the selected list entries; with no folder checked, the
// selected entries; with none of those, every file below the tree's
// current folder.
std::vector<FoundFile> CollectRecoveryFiles(const QTreeWidget& tree, const QAbstractItemView& list,
                                            bool selectedOnly);

// Checks `destination` and runs the recovery dialog over `files`. Returns
// false when the destination was refused (the user has been told why).
bool RecoverTo(const QString& destination, std::vector<FoundFile> files, const AppContext& context,
               QWidget* parent);

// Asks for the destination folder, then RecoverTo. Nothing happens when the
// user cancels the chooser.
void RunRecoveryFlow(std::vector<FoundFile> files, const AppContext& context, QWidget* parent);

}  // namespace lumicarve
