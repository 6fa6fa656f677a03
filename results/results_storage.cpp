#include "results/results_storage.h"

#include <atomic>
#include <cctype>
#include <cstdio>

#include "scan/filetime.h"
#include "text/string_table.h"
#include "text/text_format.h"

// lupdate finds the month names by this macro's name; the window's tree
// translates them through ResultsTree::NameText.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace lumicarve {
namespace {

constexpr int kGroupSize = 1000;
constexpr int kImageOpen = 0;
constexpr int kImageClosed = 1;

std::string NumberLabel(int number, const std::string& count) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", number);
  return std::string(text) + " (" + count + ")";
}

std::string NameLabel(const std::string& name, const std::string& count) {
  return name + " (" + count + ")";
}

void FreeChain(FileFolder& folder) {
  FoundFile* f = folder.first;
  while (f) {
    FoundFile* next = f->next;
    delete f;
    f = next;
  }
  folder.first = folder.last = nullptr;
}

}  // namespace

bool LabelLess(const std::string& a, const std::string& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

const char* MonthName(int month) {
  static const char* const kNames[12] = {
      QT_TRANSLATE_NOOP("Lumicarve", "January"),   QT_TRANSLATE_NOOP("Lumicarve", "February"),
      QT_TRANSLATE_NOOP("Lumicarve", "March"),     QT_TRANSLATE_NOOP("Lumicarve", "April"),
      QT_TRANSLATE_NOOP("Lumicarve", "May"),       QT_TRANSLATE_NOOP("Lumicarve", "June"),
      QT_TRANSLATE_NOOP("Lumicarve", "July"),      QT_TRANSLATE_NOOP("Lumicarve", "August"),
      QT_TRANSLATE_NOOP("Lumicarve", "September"), QT_TRANSLATE_NOOP("Lumicarve", "October"),
      QT_TRANSLATE_NOOP("Lumicarve", "November"),  QT_TRANSLATE_NOOP("Lumicarve", "December")};
  return month >= 1 && month <= 12 ? kNames[month - 1] : "";
}

void AppendToFolder(FileFolder& folder, FoundFile* copy) {
  copy->next = nullptr;
  if (folder.last)
    std::atomic_ref<FoundFile*>(folder.last->next).store(copy, std::memory_order_release);
  else
    std::atomic_ref<FoundFile*>(folder.first).store(copy, std::memory_order_release);
  folder.last = copy;
}

FoundFile* NextInChain(const FoundFile* file) {
  return std::atomic_ref<FoundFile*>(const_cast<FoundFile*&>(file->next))
      .load(std::memory_order_acquire);
}

FoundFile* FirstInChain(const FileFolder& folder) {
  return std::atomic_ref<FoundFile*>(const_cast<FoundFile*&>(folder.first))
      .load(std::memory_order_acquire);
}

ResultsStorage::~ResultsStorage() {
  tree_ = nullptr;  // the tree may already be gone at exit
  Clear();
}

void ResultsStorage::Clear() {
  for (auto& record : years_) {
    for (MonthSlot& m : record->months)
      for (DaySlot& d : m.days) FreeChain(d);
    for (UnsortedGroup* g = record->firstGroup; g;) {
      UnsortedGroup* next = g->next;
      FreeChain(*g);
      delete g;
      g = next;
    }
  }
  years_.clear();
  if (tree_) tree_->DeleteAllItems();
}

void ResultsStorage::CreateRoot(ResultsTree& tree, char separator) {
  Clear();
  tree_ = &tree;
  separator_ = separator;
  tree.DeleteAllItems();
  auto record = std::make_unique<YearRecord>();
  record->firstGroup = new UnsortedGroup();
  record->item = tree.AppendItem(nullptr, tree.NameText(LoadString(IDS_UNSORTED)), kImageOpen, kImageOpen,
                                 {NODE_UNSORTED, &record->months[0]});
  tree.SelectItem(record->item);
  years_.push_back(std::move(record));
}

int64_t ResultsStorage::FileCount() const {
  int64_t n = 0;
  for (const auto& record : years_) n += record->count;
  return n;
}

std::string ResultsStorage::Count(int64_t n) const { return FormatWithSeparators(n, separator_); }

void ResultsStorage::AddFoundFile(const FoundFile& file) {
  if (!tree_ || years_.empty()) return;
  TreeItem caret = tree_->CaretItem();

  CalendarTime t;
  int year = 0, month = 0, day = 0;
  // The zero date converts to 1601; it means "no date", not a date.
  if (FiletimeToCalendar(file.date, t) && t.year != 1601) {
    year = t.year;
    month = t.month;
    day = t.day;
  }

  YearRecord* record = nullptr;
  for (auto& r : years_)
    if (r->year == year) record = r.get();

  FileFolder* folder = nullptr;
  if (year == 0) {
    folder = &AddUndated(*record);
  } else if (!record) {
    record = &CreateYear(year, month, day);
    folder = &record->months[month].days[day];
  } else {
    AddToExistingYear(*record, month, day);
    folder = &record->months[month].days[day];
  }

  record->count += 1;
  if (year == 0)
    tree_->SetItemText(record->item, NameLabel(tree_->NameText(LoadString(IDS_UNSORTED)), Count(record->count)));
  else
    tree_->SetItemText(record->item, NumberLabel(year, Count(record->count)));

  auto* copy = new FoundFile(file);
  AppendToFolder(*folder, copy);
  if (caret && caret == folder->item) tree_->RefreshList(folder->item, true);
}

YearRecord& ResultsStorage::CreateYear(int year, int month, int day) {
  auto owned = std::make_unique<YearRecord>();
  YearRecord& record = *owned;
  years_.push_back(std::move(owned));
  record.year = year;
  record.item = tree_->AppendItem(nullptr, NumberLabel(year, "1"), kImageOpen, kImageOpen,
                                  {NODE_YEAR, &record});
  tree_->SortChildren(nullptr);

  MonthSlot& m = record.months[month];
  m.month = month;
  m.count = 1;
  m.item = tree_->AppendItem(record.item, NameLabel(tree_->NameText(MonthName(month)), "1"), kImageOpen,
                             kImageClosed, {NODE_MONTH, &m});
  DaySlot& d = m.days[day];
  d.count = 1;
  d.item = tree_->AppendItem(m.item, NumberLabel(day, "1"), kImageOpen, kImageClosed,
                             {NODE_FILES, &d});
  return record;
}

void ResultsStorage::AddToExistingYear(YearRecord& record, int month, int day) {
  MonthSlot& m = record.months[month];
  if (m.count == 0) {
    m.month = month;
    m.count = 1;
    // Months stay in calendar order: after the latest earlier month with files.
    TreeItem after = nullptr;
    for (int e = month - 1; e >= 1 && !after; --e)
      if (record.months[e].count > 0) after = record.months[e].item;
    m.item = tree_->InsertItem(record.item, after, NameLabel(tree_->NameText(MonthName(month)), Count(1)),
                               kImageOpen, kImageClosed, {NODE_MONTH, &m});
    InsertDay(m, day);
    return;
  }
  m.count += 1;
  tree_->SetItemText(m.item, NameLabel(tree_->NameText(MonthName(month)), Count(m.count)));
  DaySlot& d = m.days[day];
  if (d.count == 0) {
    InsertDay(m, day);
    return;
  }
  d.count += 1;
  tree_->SetItemText(d.item, NumberLabel(day, Count(d.count)));
}

void ResultsStorage::InsertDay(MonthSlot& m, int day) {
  DaySlot& d = m.days[day];
  d.count = 1;
  TreeItem after = nullptr;
  for (int e = day - 1; e >= 1 && !after; --e)
    if (m.days[e].count > 0) after = m.days[e].item;
  d.item = tree_->InsertItem(m.item, after, NumberLabel(day, Count(1)), kImageOpen, kImageClosed,
                             {NODE_FILES, &d});
}

UnsortedGroup& ResultsStorage::AddUndated(YearRecord& unsorted) {
  int n = unsorted.count;
  UnsortedGroup* g = unsorted.firstGroup;
  while (g->next) g = g->next;
  int number = n / kGroupSize + 1;
  if (n % kGroupSize == 0) {
    if (n > 0) {
      g->next = new UnsortedGroup();
      g = g->next;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    g->item = tree_->AppendItem(unsorted.item, text, kImageOpen, kImageClosed, {NODE_FILES, g});
  }
  g->count += 1;
  tree_->SetItemText(g->item, NumberLabel(number, Count(g->count)));
  return *g;
}

}  // namespace lumicarve
