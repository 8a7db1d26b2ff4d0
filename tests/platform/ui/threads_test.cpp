// Controls written by many threads at once while the UI thread reads them
// (run this one under ThreadSanitizer too).
#include <atomic>
#include <string>
#include <thread>

#include "tests/platform/ui/ui_fixture.h"

namespace uitest {
namespace {

class ThreadsTest : public UiTest {};

TEST_F(ThreadsTest, TwentyWritersAndAReadingUiThread) {
  CDialog dlg(kTestDlg);
  ASSERT_TRUE(dlg.Create(kTestDlg));  // realized: every change asks for a refresh
  auto* list = dynamic_cast<CListCtrl*>(dlg.GetDlgItem(kList));
  auto* combo = dynamic_cast<CComboBox*>(dlg.GetDlgItem(kCombo));
  auto* edit = dynamic_cast<CEdit*>(dlg.GetDlgItem(kEdit));
  auto* check = dynamic_cast<CButton*>(dlg.GetDlgItem(kCheck));
  auto* tree = dynamic_cast<CTreeCtrl*>(dlg.GetDlgItem(kTree));
  ASSERT_TRUE(list && combo && edit && check && tree);
  for (int c = 0; c < 4; ++c) list->InsertColumn(c, "col");
  HTREEITEM root = tree->InsertItem("root");

  constexpr int kThreads = 20, kEach = 300;
  std::atomic<int> finished{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const std::string id = std::to_string(t) + "-" + std::to_string(i);
        int row = list->InsertItem(i % 2 ? INT_MAX : 0, id.c_str());
        list->SetItemText(row, 1, "x");  // the row may have moved: any row will do
        list->InsertRow(list->GetItemCount(), {id.c_str(), "1", "2", "3"});
        list->SetCheck(i % 7, i % 2);
        combo->AddString(id.c_str());
        if (i % 10 == 0) combo->SetCurSel(i % 5);
        edit->SetWindowText(id.c_str());
        check->SetCheck(i % 2);
        tree->InsertItem(id.c_str(), root);
        dlg.PostMessage(WM_USER + 50);  // nobody handles it: dropped quietly
      }
      ++finished;
    });
  }
  long reads = 0;
  auto readers = [&] {
    CListCtrl::RowView view;
    for (int i = 0; i < list->GetItemCount(); i += 97) {
      list->GetRowView(i, view);
      list->GetItemText(i, 0);
    }
    CString s;
    combo->GetLBText(combo->GetCurSel(), s);
    edit->GetWindowText(s);
    tree->VisitItems([](const TreeItem&, int) {});
    ++reads;
    return finished.load() == kThreads;
  };
  EXPECT_TRUE(ui::PumpUntil(readers, std::chrono::seconds(120)));
  for (auto& th : threads) th.join();
  ui::RunPending();

  EXPECT_GT(reads, 0);
  EXPECT_EQ(list->GetItemCount(), 2 * kThreads * kEach);
  EXPECT_EQ(combo->GetCount(), kThreads * kEach);
  EXPECT_EQ(tree->GetCount(), 1 + kThreads * kEach);
  // The sorted combo stayed sorted under concurrent inserts.
  CString a, b;
  for (int i = 1; i < combo->GetCount(); ++i) {
    combo->GetLBText(i - 1, a);
    combo->GetLBText(i, b);
    ASSERT_LE(a.Compare(b), 0) << i;
  }
  EXPECT_EQ(list->pending_changes.load(), 0u);  // headless: refreshed at once
}

}  // namespace
}  // namespace uitest
