// The results storage: filing by date, labels with their counts, the order
// of the folders, the groups of undated files, and the list refresh for the
// folder being shown. The tree here is a plain in-memory one.
#include "results/results_storage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "scan/filetime.h"

namespace lumicarve {
namespace {

struct Node {
  std::string label;
  TreeItemData data;
  Node* parent = nullptr;
  std::vector<Node*> children;
};

class MemoryTree : public ResultsTree {
 public:
  TreeItem InsertItem(TreeItem parent, TreeItem after, const std::string& label, int, int,
                      TreeItemData data) override {
    Node* p = parent ? static_cast<Node*>(parent) : &root;
    auto& list = p->children;
    auto at = after ? std::find(list.begin(), list.end(), static_cast<Node*>(after)) + 1
                    : list.begin();
    return *list.insert(at, Make(p, label, data));
  }
  TreeItem AppendItem(TreeItem parent, const std::string& label, int, int,
                      TreeItemData data) override {
    Node* p = parent ? static_cast<Node*>(parent) : &root;
    p->children.push_back(Make(p, label, data));
    return p->children.back();
  }
  void SetItemText(TreeItem item, const std::string& label) override {
    static_cast<Node*>(item)->label = label;
  }
  void SortChildren(TreeItem parent) override {
    Node* p = parent ? static_cast<Node*>(parent) : &root;
    std::stable_sort(p->children.begin(), p->children.end(),
                     [](Node* a, Node* b) { return LabelLess(a->label, b->label); });
  }
  TreeItem CaretItem() override { return caret; }
  void SelectItem(TreeItem item) override { caret = static_cast<Node*>(item); }
  void DeleteAllItems() override {
    root.children.clear();
    nodes.clear();
    caret = nullptr;
  }
  void RefreshList(TreeItem item, bool appendOnly) override {
    refreshes.push_back({static_cast<Node*>(item), appendOnly});
  }

  std::vector<std::string> Labels(const Node* n) const {
    std::vector<std::string> out;
    for (const Node* c : n->children) out.push_back(c->label);
    return out;
  }

  Node root;
  Node* caret = nullptr;
  std::vector<std::pair<Node*, bool>> refreshes;

 private:
  Node* Make(Node* parent, const std::string& label, TreeItemData data) {
    nodes.push_back(std::make_unique<Node>(Node{label, data, parent, {}}));
    return nodes.back().get();
  }
  std::vector<std::unique_ptr<Node>> nodes;
};

FoundFile File(int number, int year = 0, int month = 0, int day = 0) {
  FoundFile f{};
  std::snprintf(f.name, sizeof f.name, "%08d.JPG", number);
  f.length = 1000;
  f.type = FT_JPG;
  if (year) {
    CalendarTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = 12;
    EXPECT_TRUE(CalendarToFiletime(t, f.date));
  }
  return f;
}

class ResultsStorageTest : public ::testing::Test {
 protected:
  void SetUp() override { storage.CreateRoot(tree, ','); }
  Node* Top(size_t i) { return tree.root.children.at(i); }

  MemoryTree tree;
  ResultsStorage storage;
};

TEST_F(ResultsStorageTest, aScanStartsWithTheSelectedRootUnsortedAlone) {
  ASSERT_EQ(tree.Labels(&tree.root), std::vector<std::string>{"unsorted"});
  EXPECT_EQ(tree.caret, Top(0));
  EXPECT_EQ(Top(0)->data.kind, NODE_UNSORTED);
}

TEST_F(ResultsStorageTest, theFirstDatedFileMakesItsYearMonthAndDayAndTheSecondCountsTwo) {
  storage.AddFoundFile(File(1, 2012, 5, 17));
  Node* year = Top(0);
  ASSERT_EQ(year->label, "2012 (1)");
  ASSERT_EQ(year->children.size(), 1u);
  Node* month = year->children[0];
  EXPECT_EQ(month->label, "May (1)");
  ASSERT_EQ(month->children.size(), 1u);
  EXPECT_EQ(month->children[0]->label, "17 (1)");
  EXPECT_EQ(year->data.kind, NODE_YEAR);
  EXPECT_EQ(month->data.kind, NODE_MONTH);
  EXPECT_EQ(month->children[0]->data.kind, NODE_FILES);

  storage.AddFoundFile(File(2, 2012, 5, 17));
  EXPECT_EQ(year->label, "2012 (2)");
  EXPECT_EQ(month->label, "May (2)");
  EXPECT_EQ(month->children[0]->label, "17 (2)");
  // Both copies hang from the day in order of arrival.
  auto* day = static_cast<FileFolder*>(month->children[0]->data.target);
  ASSERT_EQ(day->count, 2);
  EXPECT_STREQ(FirstInChain(*day)->name, "00000001.JPG");
  EXPECT_STREQ(NextInChain(FirstInChain(*day))->name, "00000002.JPG");
  EXPECT_EQ(NextInChain(NextInChain(FirstInChain(*day))), nullptr);
}

TEST_F(ResultsStorageTest, monthsAndDaysStandInCalendarOrderWhateverTheArrival) {
  storage.AddFoundFile(File(1, 2011, 3, 20));
  storage.AddFoundFile(File(2, 2011, 1, 5));
  storage.AddFoundFile(File(3, 2011, 3, 2));
  storage.AddFoundFile(File(4, 2011, 3, 31));
  storage.AddFoundFile(File(5, 2011, 12, 1));
  storage.AddFoundFile(File(6, 2011, 2, 9));
  Node* year = Top(0);
  EXPECT_EQ(tree.Labels(year),
            (std::vector<std::string>{"January (1)", "February (1)", "March (3)", "December (1)"}));
  EXPECT_EQ(tree.Labels(year->children[2]), (std::vector<std::string>{"2 (1)", "20 (1)", "31 (1)"}));
}

TEST_F(ResultsStorageTest, yearsAreOrderedByTheirLabelTextWithUnsortedLast) {
  storage.AddFoundFile(File(1, 2011, 1, 1));
  storage.AddFoundFile(File(2, 2009, 1, 1));
  storage.AddFoundFile(File(3));
  storage.AddFoundFile(File(4, 2010, 1, 1));
  storage.AddFoundFile(File(5, 1999, 1, 1));
  storage.AddFoundFile(File(6, 1601 + 400, 1, 1));
  EXPECT_EQ(tree.Labels(&tree.root),
            (std::vector<std::string>{"1999 (1)", "2001 (1)", "2009 (1)", "2010 (1)", "2011 (1)",
                                      "unsorted (1)"}));
  // The storage keeps the years in order of first appearance.
  std::vector<int> years;
  for (const auto& r : storage.Years()) years.push_back(r->year);
  EXPECT_EQ(years, (std::vector<int>{0, 2011, 2009, 2010, 1999, 2001}));
}

TEST(ResultsStorageOrder, aYearOfFewerThanFourDigitsSortsAsText) {
  EXPECT_TRUE(LabelLess("2011 (1)", "999 (1)"));
  EXPECT_TRUE(LabelLess("999 (1)", "unsorted"));
  EXPECT_TRUE(LabelLess("2009 (5)", "2010 (1)"));
}

TEST_F(ResultsStorageTest, undatedFilesFillGroupsOfAThousand) {
  // The zero date converts to 1601: it means "no date".
  FoundFile zero = File(1);
  zero.date = 0;
  storage.AddFoundFile(zero);
  // A date that does not convert at all.
  FoundFile bad = File(2);
  bad.date = ~uint64_t{0};
  storage.AddFoundFile(bad);
  for (int i = 3; i <= 1000; ++i) storage.AddFoundFile(File(i));
  Node* unsorted = Top(0);
  ASSERT_EQ(tree.Labels(unsorted), std::vector<std::string>{"1 (1,000)"});
  EXPECT_EQ(unsorted->label, "unsorted (1,000)");
  storage.AddFoundFile(File(1001));
  EXPECT_EQ(tree.Labels(unsorted), (std::vector<std::string>{"1 (1,000)", "2 (1)"}));
  EXPECT_EQ(unsorted->label, "unsorted (1,001)");
  auto* second = static_cast<UnsortedGroup*>(unsorted->children[1]->data.target);
  EXPECT_STREQ(FirstInChain(*second)->name, "00001001.JPG");
  EXPECT_EQ(storage.FileCount(), 1001);
}

TEST_F(ResultsStorageTest, countsOfAThousandOrMoreCarryTheSeparator) {
  for (int i = 1; i <= 1234; ++i) storage.AddFoundFile(File(i, 2011, 7, 1 + i % 28));
  EXPECT_EQ(Top(0)->label, "2011 (1,234)");
  EXPECT_EQ(Top(0)->children[0]->label, "July (1,234)");
}

TEST_F(ResultsStorageTest, onlyAFileOfTheFolderShownExtendsTheList) {
  storage.AddFoundFile(File(1, 2012, 5, 17));
  Node* day = Top(0)->children[0]->children[0];
  tree.caret = day;
  storage.AddFoundFile(File(2, 2012, 5, 17));
  storage.AddFoundFile(File(3, 2012, 5, 18));
  ASSERT_EQ(tree.refreshes.size(), 1u);
  EXPECT_EQ(tree.refreshes[0].first, day);
  EXPECT_TRUE(tree.refreshes[0].second);
}

TEST_F(ResultsStorageTest, clearingEmptiesTheTreeAndTheStorage) {
  storage.AddFoundFile(File(1, 2012, 5, 17));
  storage.AddFoundFile(File(2));
  storage.Clear();
  EXPECT_TRUE(tree.root.children.empty());
  EXPECT_TRUE(storage.Years().empty());
  // Without a root nothing is filed.
  storage.AddFoundFile(File(3, 2012, 5, 17));
  EXPECT_TRUE(tree.root.children.empty());
}

}  // namespace
}  // namespace lumicarve
