// Control state: list rows and their indexes, sorted and plain combo boxes,
// tree items and their owned data, tabs, edits and times.
#include <climits>
#include <functional>
#include <thread>
#include <vector>

#include "tests/platform/ui/ui_fixture.h"

namespace uitest {
namespace {

class ControlsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(dlg.Create(kTestDlg));
    list = dynamic_cast<CListCtrl*>(dlg.GetDlgItem(kList));
    combo = dynamic_cast<CComboBox*>(dlg.GetDlgItem(kCombo));
    plain = dynamic_cast<CComboBox*>(dlg.GetDlgItem(kPlainCombo));
    tree = dynamic_cast<CTreeCtrl*>(dlg.GetDlgItem(kTree));
    tab = dynamic_cast<CTabCtrl*>(dlg.GetDlgItem(kTab));
    ASSERT_TRUE(list && combo && plain && tree && tab);
    for (int c = 0; c < 4; ++c) list->InsertColumn(c, "col");
  }
  std::vector<std::string> Column0() {
    std::vector<std::string> out;
    for (int i = 0; i < list->GetItemCount(); ++i) out.push_back(Show(list->GetItemText(i, 0)));
    return out;
  }
  CDialog dlg{kTestDlg};
  CListCtrl* list = nullptr;
  CComboBox* combo = nullptr;
  CComboBox* plain = nullptr;
  CTreeCtrl* tree = nullptr;
  CTabCtrl* tab = nullptr;
};

TEST_F(ControlsTest, ListInsertBeyondTheEndAppendsAndAtZeroGoesAhead) {
  EXPECT_EQ(list->InsertItem(5, "a"), 0);  // empty list: index 5 is the end
  EXPECT_EQ(list->InsertItem(INT_MAX, "b"), 1);
  EXPECT_EQ(list->InsertItem(0, "x"), 0);
  EXPECT_EQ(list->InsertItem(1, "y"), 1);
  EXPECT_EQ(list->InsertItem(-1, "never"), -1);
  EXPECT_EQ(Column0(), (std::vector<std::string>{"x", "y", "a", "b"}));

  // Cells and ticks stay with their rows when rows go in ahead of them.
  ASSERT_TRUE(list->SetItemText(2, 3, "价格"));
  ASSERT_TRUE(list->SetCheck(2));
  list->InsertItem(0, "z");
  EXPECT_EQ(Show(list->GetItemText(3, 3)), Show("价格"));
  EXPECT_TRUE(list->GetCheck(3));
  EXPECT_FALSE(list->GetCheck(2));

  // Out of range reads give nothing; out of range writes fail.
  EXPECT_EQ(list->GetItemText(99, 0), CString());
  EXPECT_EQ(list->GetItemText(0, 2), CString());  // never set
  EXPECT_FALSE(list->SetItemText(99, 0, "no"));
  EXPECT_FALSE(list->SetItemText(0, 4, "no column"));
  EXPECT_FALSE(list->SetCheck(-1));
  EXPECT_FALSE(list->DeleteItem(5));
}

TEST_F(ControlsTest, ListInsertRowFillsTheRowAtOnce) {
  list->InsertItem(0, "old");
  EXPECT_EQ(list->InsertRow(0, {"1", "123456", "9787", "35.00", "extra"}), 0);
  EXPECT_EQ(list->InsertRow(100, {"2"}), 2);
  EXPECT_EQ(Show(list->GetItemText(0, 3)), "35.00");
  EXPECT_EQ(list->GetItemText(0, 4), CString());  // beyond the columns: dropped
  CListCtrl::RowView view;
  ASSERT_TRUE(list->GetRowView(0, view));
  EXPECT_EQ(view.cells.size(), 4u);
  EXPECT_FALSE(list->GetRowView(3, view));
  EXPECT_TRUE(list->DeleteAllItems());
  EXPECT_EQ(list->GetItemCount(), 0);
}

// The same steps on an indexed column and on a walked one: a text is held
// while a row carries it in that column, through edits and deletes.
TEST_F(ControlsTest, ListInsertRowUnlessHeldFollowsEditsAndDeletes) {
  struct Step {
    const char* name;
    std::function<void()> change;
    const char* text;
    bool added;
  };
  const Step steps[] = {
      {"first", nullptr, "A", true},
      {"held", nullptr, "A", false},
      {"another", nullptr, "B", true},
      {"edited away", [&] { list->SetItemText(0, 1, "C"); }, "A", true},
      {"edited in", nullptr, "C", false},
      {"deleted", [&] { list->DeleteItem(1); }, "B", true},
      {"a short row holds the empty text", [&] { list->InsertRow(0, {"short"}); }, "", false},
      {"emptied", [&] { list->DeleteAllItems(); }, "C", true},
      {"a short row added unless held, then deleted",
       [&] { list->InsertRowUnlessHeld(0, 1, {"short"}); list->DeleteItem(0); }, "", true},
      {"two rows of one text, one deleted",
       [&] { list->InsertRow(0, {"x", "D"}); list->InsertRow(0, {"y", "D"}); list->DeleteItem(0); },
       "D", false},
  };
  for (const bool indexed : {true, false}) {
    SCOPED_TRACE(indexed ? "indexed" : "walked");
    list->DeleteAllItems();
    list->IndexColumn(indexed ? 1 : -1);
    for (const Step& step : steps) {
      SCOPED_TRACE(step.name);
      if (step.change) step.change();
      const int count = list->GetItemCount();
      EXPECT_EQ(list->InsertRowUnlessHeld(count, 1, {"n", step.text}) >= 0, step.added);
      EXPECT_EQ(list->GetItemCount(), count + (step.added ? 1 : 0));
    }
  }

  // Twenty threads adding the same 300 texts: each goes in once.
  list->DeleteAllItems();
  list->IndexColumn(1);
  std::vector<std::thread> threads;
  for (int t = 0; t < 20; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 300; ++i) list->InsertRowUnlessHeld(INT_MAX, 1, {"n", std::to_string(i).c_str()});
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(list->GetItemCount(), 300);
}

TEST_F(ControlsTest, ListSelectionFollowsItsRow) {
  for (int i = 0; i < 5; ++i) list->InsertItem(i, std::to_string(i).c_str());
  list->UserSelect(2);
  EXPECT_EQ(list->GetSelectionMark(), 2);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), 2);
  list->InsertItem(0, "new");
  EXPECT_EQ(list->GetSelectionMark(), 3);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), 3);
  EXPECT_EQ(Show(list->GetItemText(3, 0)), "2");
  list->DeleteItem(3);
  EXPECT_EQ(list->GetSelectionMark(), -1);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), -1);

  // SetItemState -1 touches every row; GetNextItem starts after `start`.
  list->SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(list->GetNextItem(1, LVNI_SELECTED), 2);
  EXPECT_EQ(list->GetNextItem(4, LVNI_ALL), -1);
  list->UserClick(-1, POINT{});  // below the rows clears the selection
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), -1);
}

TEST_F(ControlsTest, SortedComboOrdersByGbkBytesIgnoringAsciiCase) {
  EXPECT_EQ(combo->AddString("出售中的宝贝"), 0);
  EXPECT_EQ(combo->AddString("仓库中的宝贝"), 0);  // 0xB2D6 sorts before 0xB3F6
  CString text;
  combo->GetLBText(0, text);
  EXPECT_EQ(Show(text), Show("仓库中的宝贝"));
  combo->GetLBText(1, text);
  EXPECT_EQ(Show(text), Show("出售中的宝贝"));

  combo->ResetContent();
  combo->AddString("beta");
  combo->AddString("Alpha");
  combo->AddString("alpha");  // equal without case: after the first
  combo->AddString("Gamma");
  std::vector<std::string> order;
  for (int i = 0; i < combo->GetCount(); ++i) {
    combo->GetLBText(i, text);
    order.push_back(Show(text));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"Alpha", "alpha", "beta", "Gamma"}));

  // A trail byte that happens to be an ASCII letter does not fold: 0x81 0x41
  // and 0x81 0x61 are two different characters.
  combo->ResetContent();
  combo->AddString("\x81\x61");
  combo->AddString("\x81\x41");
  combo->GetLBText(0, text);
  EXPECT_EQ(text, CString("\x81\x41"));
  EXPECT_EQ(combo->FindStringExact(-1, "\x81\x61"), 1);
  EXPECT_EQ(combo->FindStringExact(-1, "ALPHA"), -1);
}

TEST_F(ControlsTest, ComboSelectionFollowsInsertsAndDeletes) {
  for (const char* t : {"全部", "售完下架", "我下架的"}) plain->InsertString(-1, t);
  EXPECT_EQ(plain->InsertString(9, "too far"), -1);
  EXPECT_EQ(plain->SetCurSel(1), 1);
  EXPECT_EQ(Show(plain->GetWindowText()), Show("售完下架"));
  plain->InsertString(0, "即将开始");
  EXPECT_EQ(plain->GetCurSel(), 2);  // still on the same entry
  plain->DeleteString(0);
  EXPECT_EQ(plain->GetCurSel(), 1);
  plain->DeleteString(1);  // the selected one
  EXPECT_EQ(plain->GetCurSel(), -1);
  EXPECT_EQ(plain->GetWindowText(), CString());

  EXPECT_EQ(plain->SetCurSel(7), -1);  // out of range clears
  EXPECT_EQ(plain->GetCurSel(), -1);
  EXPECT_EQ(plain->SelectString(-1, "我"), 1);
  EXPECT_EQ(plain->SelectString(1, "全"), 0);  // wraps round
  EXPECT_EQ(plain->SelectString(-1, "无"), -1);
  EXPECT_EQ(plain->GetCurSel(), 0);  // a failed search leaves the selection
  CString text;
  EXPECT_EQ(plain->GetLBText(5, text), -1);
  EXPECT_EQ(plain->GetLBTextLen(0), 4);
}

TEST_F(ControlsTest, TreeItemsOwnTheirDataAndDieWithTheirParent) {
  HTREEITEM all = tree->InsertItem("全部类目");
  HTREEITEM books = tree->InsertItem("图书", TVI_ROOT, TVI_LAST);
  HTREEITEM first = tree->InsertItem("最前", TVI_ROOT, TVI_FIRST);
  tree->SetItemDataText(books, CString(std::string(10000, 'c')));
  HTREEITEM child = tree->InsertItem("小说", books);
  tree->SetItemDataText(child, "child data");
  HTREEITEM grandchild = tree->InsertItem("长篇", child);
  ASSERT_TRUE(all && books && first && child && grandchild);

  EXPECT_EQ(tree->GetRootItem(), first);
  EXPECT_EQ(tree->GetNextSiblingItem(first), all);
  EXPECT_EQ(tree->GetNextSiblingItem(books), nullptr);
  EXPECT_EQ(tree->GetParentItem(child), books);
  EXPECT_EQ(tree->GetParentItem(books), nullptr);
  EXPECT_EQ(tree->GetChildItem(books), child);
  EXPECT_TRUE(tree->ItemHasChildren(books));
  EXPECT_EQ(tree->GetCount(), 5);
  EXPECT_EQ(tree->GetItemDataText(books).GetLength(), 10000);
  EXPECT_EQ(tree->GetItemDataText(all), CString());

  tree->SelectItem(grandchild);
  const auto generation = tree->Generation();
  EXPECT_TRUE(tree->DeleteItem(books));  // with its children and their data
  EXPECT_NE(tree->Generation(), generation);
  EXPECT_EQ(tree->GetCount(), 2);
  EXPECT_EQ(tree->GetSelectedItem(), nullptr);
  // The deleted handles are no items any more.
  EXPECT_EQ(tree->GetItemText(child), CString());
  EXPECT_FALSE(tree->DeleteItem(grandchild));
  EXPECT_EQ(tree->InsertItem("orphan", child), nullptr);

  int visited = 0;
  tree->VisitItems([&](const TreeItem&, int depth) {
    EXPECT_EQ(depth, 0);
    ++visited;
  });
  EXPECT_EQ(visited, 2);
  tree->SetItemDataText(all, "x");
  EXPECT_TRUE(tree->DeleteAllItems());
  EXPECT_EQ(tree->GetRootItem(), nullptr);
}

class TreeOwner : public CDialog {
 public:
  TreeOwner() : CDialog(kTestDlg) {}
  std::vector<std::pair<HTREEITEM, HTREEITEM>> changes;

 protected:
  void OnSelChanged(NMHDR* header, LRESULT*) {
    auto* n = reinterpret_cast<NMTREEVIEW*>(header);
    changes.emplace_back(n->itemOld, n->itemNew);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TreeOwner, CDialog)
  ON_NOTIFY(TVN_SELCHANGED, kTree, &TreeOwner::OnSelChanged)
END_MESSAGE_MAP()

TEST(TreeNotifications, UserSelectTellsOldAndNewItem) {
  ui::SetUiThread();
  ui::RegisterDialogTemplate(&TestDialog());
  TreeOwner owner;
  ASSERT_TRUE(owner.Create(kTestDlg));
  auto* tree = dynamic_cast<CTreeCtrl*>(owner.GetDlgItem(kTree));
  HTREEITEM a = tree->InsertItem("a");
  HTREEITEM b = tree->InsertItem("b");
  tree->UserSelect(a);
  tree->UserSelect(b);
  tree->UserSelect(b);  // the same item again: no change
  tree->SelectItem(a);  // by the program: no notification
  ASSERT_EQ(owner.changes.size(), 2u);
  EXPECT_EQ(owner.changes[0], std::make_pair(HTREEITEM{nullptr}, a));
  EXPECT_EQ(owner.changes[1], std::make_pair(a, b));
}

TEST_F(ControlsTest, TabsSelectTheFirstAndRejectOutOfRange) {
  EXPECT_EQ(tab->GetCurSel(), -1);
  for (const char* t : {"宝贝查询", "宝贝同步", "当当同步", "查重"}) {
    tab->InsertItem(tab->GetItemCount(), t);
  }
  EXPECT_EQ(tab->GetCurSel(), 0);
  EXPECT_EQ(tab->SetCurSel(2), 0);
  EXPECT_EQ(tab->SetCurSel(4), -1);  // no such tab: nothing changes
  EXPECT_EQ(tab->GetCurSel(), 2);
  EXPECT_EQ(tab->SetCurSel(-1), 2);  // none selected
  EXPECT_EQ(tab->GetCurSel(), -1);
  EXPECT_EQ(Show(tab->GetItemText(3)), Show("查重"));
  EXPECT_EQ(tab->GetItemText(9), CString());
}

TEST_F(ControlsTest, EditsTakeWhatTheUserMayType) {
  auto* digits = dynamic_cast<CEdit*>(dlg.GetDlgItem(kDigits));
  ASSERT_NE(digits, nullptr);
  EXPECT_EQ(Show(digits->GetWindowText()), "4000");
  digits->UserSetText("a1b2中3");
  EXPECT_EQ(Show(digits->GetWindowText()), "123");
  digits->SetReadOnly();
  digits->UserSetText("9");
  EXPECT_EQ(Show(digits->GetWindowText()), "123");
  digits->SetWindowText("abc");  // the program may set anything
  EXPECT_EQ(digits->GetWindowTextLength(), 3);
  EXPECT_EQ(digits->EnableWindow(FALSE), FALSE);  // was enabled
  EXPECT_EQ(digits->EnableWindow(TRUE), TRUE);    // was disabled
  EXPECT_EQ(digits->ShowWindow(SW_HIDE), TRUE);
  EXPECT_FALSE(digits->IsWindowVisible());
}

TEST(CTimeTest, PartsAndFormat) {
  CTime t(2024, 2, 29, 13, 5, 9);
  EXPECT_EQ(t.GetYear(), 2024);
  EXPECT_EQ(t.GetMonth(), 2);
  EXPECT_EQ(t.GetDay(), 29);
  EXPECT_EQ(Show(t.Format("%Y年%m月%d日 %H:%M:%S")), Show("2024年02月29日 13:05:09"));
  EXPECT_EQ(t.Format(""), CString());
}

}  // namespace
}  // namespace uitest
