// The results of the current scan: a copy of every found file, filed by its
// capture date into year, month and day folders, undated files into groups of
// 1000 under "unsorted". The storage keeps the counts and the labels; it shows
// them through the ResultsTree interface, so it holds no widget itself.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scan/file_types.h"

namespace lumicarve {

// An item of the folder tree, as the tree hands it out. Null is no item.
using TreeItem = void*;

enum NodeKind : int32_t { NODE_FILES = 1, NODE_MONTH = 2, NODE_YEAR = 3, NODE_UNSORTED = 4 };

// What each tree item carries: its kind and the storage record behind it.
struct TreeItemData {
  int32_t kind = 0;
  void* target = nullptr;
};

// A folder of files: a day, or a group of undated files. Both begin with
// these fields, so the file list treats them alike.
struct FileFolder {
  int32_t count = 0;
  TreeItem item = nullptr;
  FoundFile* first = nullptr;
  FoundFile* last = nullptr;  // where the next copy is linked
};

using DaySlot = FileFolder;

struct UnsortedGroup : FileFolder {
  UnsortedGroup* next = nullptr;
};

struct MonthSlot {
  int32_t month = 0;  // 1..12 once in use
  int32_t count = 0;
  TreeItem item = nullptr;
  std::array<DaySlot, 32> days{};  // 1..31
};

struct YearRecord {
  int32_t year = 0;  // 0 for the unsorted record
  int32_t count = 0;
  TreeItem item = nullptr;
  std::array<MonthSlot, 13> months{};  // 1..12
  UnsortedGroup* firstGroup = nullptr;  // unsorted record only
};

// The tree the storage files into. Calls come on the user-interface thread.
class ResultsTree {
 public:
  virtual ~ResultsTree() = default;
  // Inserts a child of `parent` (null: the root) right after `after`, or
  // first among the children when `after` is null.
  virtual TreeItem InsertItem(TreeItem parent, TreeItem after, const std::string& label,
                              int image, int selectedImage, TreeItemData data) = 0;
  // Inserts a child of `parent` (null: the root) after all its children.
  virtual TreeItem AppendItem(TreeItem parent, const std::string& label, int image,
                              int selectedImage, TreeItemData data) = 0;
  virtual void SetItemText(TreeItem item, const std::string& label) = 0;
  // The shown form of a folder name ("unsorted", a month's name): the
  // window's tree gives it in the user's language.
  virtual std::string NameText(const char* name) { return name; }
  // Orders the children of `parent` (null: the root) by LabelLess.
  virtual void SortChildren(TreeItem parent) = 0;
  virtual TreeItem CaretItem() = 0;
  virtual void SelectItem(TreeItem item) = 0;
  virtual void DeleteAllItems() = 0;
  // The list shows `item`; appendOnly adds only the entries new since then.
  virtual void RefreshList(TreeItem item, bool appendOnly) = 0;
};

// The order of sibling labels: case-insensitive, character by character, so
// four-digit years come in numeric order and "unsorted" after them.
bool LabelLess(const std::string& a, const std::string& b);

// "January" to "December" for 1 to 12; "" otherwise.
const char* MonthName(int month);

class ResultsStorage {
 public:
  ResultsStorage() = default;
  ~ResultsStorage();
  ResultsStorage(const ResultsStorage&) = delete;
  ResultsStorage& operator=(const ResultsStorage&) = delete;

  // Frees every record and copy and empties the tree (when one is attached).
  void Clear();
  // Clears, then makes the unsorted record with its first group and the
  // selected root item "unsorted".
  void CreateRoot(ResultsTree& tree, char separator);
  // Files a copy of `file` under its date. Without a root, does nothing.
  void AddFoundFile(const FoundFile& file);

  // Years in order of first appearance; the unsorted record (year 0) first.
  const std::vector<std::unique_ptr<YearRecord>>& Years() const { return years_; }
  YearRecord* Unsorted() const { return years_.empty() ? nullptr : years_.front().get(); }
  int64_t FileCount() const;

 private:
  YearRecord& CreateYear(int year, int month, int day);
  void AddToExistingYear(YearRecord& record, int month, int day);
  void InsertDay(MonthSlot& slot, int day);
  UnsortedGroup& AddUndated(YearRecord& unsorted);
  std::string Count(int64_t n) const;

  std::vector<std::unique_ptr<YearRecord>> years_;
  ResultsTree* tree_ = nullptr;
  char separator_ = ',';
};

// Appends `copy` to the folder's chain. The link is published with a release
// store after the copy is complete, so a worker walking the chain meanwhile
// always sees whole records.
void AppendToFolder(FileFolder& folder, FoundFile* copy);
// The next copy in a chain, read with acquire to pair with AppendToFolder.
FoundFile* NextInChain(const FoundFile* file);
FoundFile* FirstInChain(const FileFolder& folder);

}  // namespace lumicarve
