// Message maps and dispatch: the derived map before the base map, command
// and notification routing, the default OK and Cancel, exceptions that
// escape a handler, and messages posted or sent from other threads.
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/platform/ui/ui_fixture.h"

namespace uitest {
namespace {

std::atomic<int> g_exceptions_alive{0};

class TestException : public CException {
 public:
  explicit TestException(const char* text) : text_(text) { ++g_exceptions_alive; }
  ~TestException() override { --g_exceptions_alive; }
  BOOL GetErrorMessage(char* out, UINT size, UINT* = nullptr) const override {
    return CopyMessage(text_, out, size);
  }

 private:
  const char* text_;
};

class BaseDlg : public CDialog {
 public:
  BaseDlg() : CDialog(kTestDlg) {}
  std::vector<std::string> log;

 protected:
  void OnFirst() { log.push_back("base-first"); }
  void OnSecond() { log.push_back("base-second"); }
  LRESULT OnUser1(WPARAM w, LPARAM l) {
    log.push_back("user1:" + std::to_string(w) + ":" + std::to_string(l));
    return 7;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseDlg, CDialog)
  ON_COMMAND(kCmdFirst, &BaseDlg::OnFirst)
  ON_COMMAND(kCmdSecond, &BaseDlg::OnSecond)
  ON_MESSAGE(WM_USER + 1, &BaseDlg::OnUser1)
END_MESSAGE_MAP()

constexpr UINT kThrowCException = WM_USER + 10;
constexpr UINT kThrowStd = WM_USER + 11;
constexpr UINT kCount = WM_USER + 12;

class DerivedDlg : public BaseDlg {
 public:
  std::atomic<int> counted{0};
  std::vector<int> order[20];
  int ok_calls = 0;
  NMITEMACTIVATE last_list_click;

  void OnOK() override {
    ++ok_calls;
    CDialog::OnOK();
  }

 protected:
  void OnSecondDerived() { log.push_back("derived-second"); }
  void OnBanner() { log.push_back("banner"); }
  void OnListRClick(NMHDR* header, LRESULT* result) {
    last_list_click = *reinterpret_cast<NMITEMACTIVATE*>(header);
    log.push_back("list-rclick");
    *result = 5;
  }
  void OnTreeRClick(NMHDR*, LRESULT*) { log.push_back("tree-rclick"); }
  void OnHeaderDblClk(NMHDR* header, LRESULT*) {
    log.push_back("header:" + std::to_string(reinterpret_cast<NMHEADER*>(header)->iItem));
  }
  LRESULT OnThrowCException(WPARAM, LPARAM) { throw new TestException("数据库打不开"); }
  LRESULT OnThrowStd(WPARAM, LPARAM) { throw std::runtime_error("regex gave up"); }
  LRESULT OnCount(WPARAM thread, LPARAM n) {
    order[thread].push_back(static_cast<int>(n));
    ++counted;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedDlg, BaseDlg)
  ON_COMMAND(kCmdSecond, &DerivedDlg::OnSecondDerived)
  ON_STN_CLICKED(kBanner, &DerivedDlg::OnBanner)
  ON_NOTIFY(NM_RCLICK, kList, &DerivedDlg::OnListRClick)
  ON_NOTIFY(NM_RCLICK, kTree, &DerivedDlg::OnTreeRClick)
  ON_NOTIFY(HDN_ITEMDBLCLICK, kList, &DerivedDlg::OnHeaderDblClk)
  ON_MESSAGE(kThrowCException, &DerivedDlg::OnThrowCException)
  ON_MESSAGE(kThrowStd, &DerivedDlg::OnThrowStd)
  ON_MESSAGE(kCount, &DerivedDlg::OnCount)
END_MESSAGE_MAP()

class DispatchTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(dlg.Create(kTestDlg));
  }
  LRESULT Command(UINT id, UINT code = 0) {
    LRESULT r = 0;
    handled = dlg.Dispatch(WM_COMMAND, MAKEWPARAM_(id, code), 0, &r);
    return r;
  }
  DerivedDlg dlg;
  bool handled = false;
};

TEST_F(DispatchTest, DerivedMapComesFirstAndBaseMapStillAnswers) {
  Command(kCmdSecond);
  EXPECT_TRUE(handled);
  Command(kCmdFirst);
  EXPECT_TRUE(handled);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"derived-second", "base-first"}));

  Command(31999);  // nobody's
  EXPECT_FALSE(handled);
  Command(kCmdFirst, CBN_SELCHANGE);  // right id, wrong code
  EXPECT_FALSE(handled);
  EXPECT_EQ(dlg.log.size(), 2u);

  LRESULT r = 0;
  EXPECT_TRUE(dlg.Dispatch(WM_USER + 1, 3, 4, &r));
  EXPECT_EQ(r, 7);
  EXPECT_EQ(dlg.log.back(), "user1:3:4");
  EXPECT_FALSE(dlg.Dispatch(WM_USER + 2, 0, 0, &r));
}

TEST_F(DispatchTest, ControlNotificationsReachTheParentsMap) {
  auto* banner = dynamic_cast<CStatic*>(dlg.GetDlgItem(kBanner));
  ASSERT_NE(banner, nullptr);
  banner->UserClick();
  banner->EnableWindow(FALSE);
  banner->UserClick();  // a disabled control sends nothing
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"banner"}));

  // A static without the notify style sends no click.
  auto* label = dynamic_cast<CStatic*>(dlg.GetDlgItem(kLabel));
  ASSERT_NE(label, nullptr);
  label->UserClick();
  EXPECT_EQ(dlg.log.size(), 1u);
}

TEST_F(DispatchTest, NotifyMatchesCodeAndId) {
  auto* list = dynamic_cast<CListCtrl*>(dlg.GetDlgItem(kList));
  auto* tree = dynamic_cast<CTreeCtrl*>(dlg.GetDlgItem(kTree));
  ASSERT_NE(list, nullptr);
  ASSERT_NE(tree, nullptr);
  list->InsertItem(0, "a");
  list->UserRightClick(0, POINT{12, 34});
  EXPECT_EQ(dlg.last_list_click.iItem, 0);
  EXPECT_EQ(dlg.last_list_click.ptAction.x, 12);
  EXPECT_EQ(dlg.last_list_click.hdr.idFrom, static_cast<std::uintptr_t>(kList));
  EXPECT_EQ(dlg.last_list_click.hdr.hwndFrom, list->m_hWnd);
  EXPECT_EQ(list->GetItemState(0, LVIS_SELECTED), LVIS_SELECTED);

  list->UserRightClick(7, POINT{});  // below the rows
  EXPECT_EQ(dlg.last_list_click.iItem, -1);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), -1);

  tree->UserRightClick(POINT{});
  list->UserDoubleClick(0, POINT{});  // no handler for NM_DBLCLK
  list->UserHeaderDoubleClick(0);     // no column yet: nothing
  list->InsertColumn(0, "编号");
  list->UserHeaderDoubleClick(0);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"list-rclick", "list-rclick", "tree-rclick",
                                               "header:0"}));
}

TEST_F(DispatchTest, UnhandledOkAndCancelEndAModelessDialogByHidingIt) {
  dlg.ShowWindow(SW_SHOW);
  auto* ok = dynamic_cast<CButton*>(dlg.GetDlgItem(IDOK));
  ASSERT_NE(ok, nullptr);
  ok->UserClick();
  EXPECT_EQ(dlg.ok_calls, 1);
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.ModalResult(), IDOK);
  EXPECT_TRUE(dlg.IsWindow());  // hidden, not destroyed

  dlg.ShowWindow(SW_SHOW);
  dynamic_cast<CButton*>(dlg.GetDlgItem(IDCANCEL))->UserClick();
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_EQ(dlg.ModalResult(), IDCANCEL);

  // WM_CLOSE of a dialog is its Cancel.
  dlg.ShowWindow(SW_SHOW);
  LRESULT r;
  dlg.Dispatch(WM_CLOSE, 0, 0, &r);
  EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST_F(DispatchTest, EscapedExceptionShowsOneBoxAndTheWindowGoesOn) {
  ASSERT_TRUE(dlg.PostMessage(kThrowCException));
  ASSERT_TRUE(dlg.PostMessage(kThrowStd));
  ASSERT_TRUE(dlg.PostMessage(kCount, 0, 1));
  EXPECT_EQ(ui::RunPending(), 3);

  auto boxes = ui::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(Show(boxes[0].text), Show("数据库打不开"));
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONSTOP);
  EXPECT_EQ(Show(boxes[0].caption), "test_platform_ui");
  EXPECT_EQ(Show(boxes[1].text), "regex gave up");
  EXPECT_EQ(g_exceptions_alive.load(), 0);  // deleted by the dispatcher
  EXPECT_EQ(dlg.counted.load(), 1);         // the next message still came
}

TEST_F(DispatchTest, PostsFromTwentyThreadsAllArriveInEachThreadsOrder) {
  constexpr int kThreads = 20, kEach = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < kEach; ++i) EXPECT_TRUE(dlg.PostMessage(kCount, t, i));
    });
  }
  EXPECT_TRUE(ui::PumpUntil([&] { return dlg.counted.load() == kThreads * kEach; },
                            std::chrono::seconds(30)));
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(dlg.order[t].size(), static_cast<size_t>(kEach));
    for (int i = 0; i < kEach; ++i) ASSERT_EQ(dlg.order[t][i], i);
  }
}

TEST_F(DispatchTest, MessageToAWindowThatDiedIsDropped) {
  auto doomed = std::make_unique<DerivedDlg>();
  ASSERT_TRUE(doomed->Create(kTestDlg));
  HWND h = doomed->m_hWnd;
  HWND edit = doomed->GetDlgItem(kEdit)->m_hWnd;
  ASSERT_TRUE(doomed->PostMessage(kThrowCException));  // would show a box if delivered
  std::thread late([h] { ::PostMessage(h, kThrowStd, 0, 0); });
  late.join();
  doomed.reset();
  EXPECT_EQ(CWnd::FromHandle(h), nullptr);
  EXPECT_EQ(CWnd::FromHandle(edit), nullptr);
  EXPECT_EQ(ui::RunPending(), 2);
  EXPECT_TRUE(ui::headless::MessageBoxes().empty());
  EXPECT_FALSE(::PostMessage(h, kCount, 0, 0));  // a dead handle takes no more
}

TEST_F(DispatchTest, SendFromAWorkerWaitsForTheUiThread) {
  std::atomic<LRESULT> got{-1};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    got = dlg.SendMessage(WM_USER + 1, 9, 8);
    done = true;
  });
  EXPECT_TRUE(ui::PumpUntil([&] { return done.load(); }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_EQ(got.load(), 7);
  EXPECT_EQ(dlg.log.back(), "user1:9:8");
}

TEST_F(DispatchTest, PopupCommandArrivesAfterTheMenuCloses) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(kTestMenu));
  EXPECT_EQ(menu.GetMenuItemCount(), 2);
  EXPECT_EQ(menu.GetSubMenu(5), nullptr);
  CMenu* popup = menu.GetSubMenu(1);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->GetMenuItemCount(), 3);
  EXPECT_EQ(popup->GetMenuItemID(2), static_cast<UINT>(kCmdSecond));
  EXPECT_EQ(popup->GetMenuItemID(1), 0u);  // separator
  EXPECT_EQ(menu.GetMenuItemID(0), 0u);    // pop-up

  ui::headless::ScriptPopupCommands({kCmdSecond, kCmdFirst, 0});
  EXPECT_TRUE(popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, 5, 5, &dlg));
  EXPECT_TRUE(dlg.log.empty());  // posted, not yet delivered
  ui::RunPending();
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"derived-second"}));

  EXPECT_EQ(popup->TrackPopupMenu(TPM_RETURNCMD, 5, 5, &dlg), kCmdFirst);
  EXPECT_FALSE(popup->TrackPopupMenu(0, 5, 5, &dlg));  // dismissed
  ui::RunPending();
  EXPECT_EQ(dlg.log.size(), 1u);

  auto shown = ui::headless::PopupMenusShown();
  ASSERT_EQ(shown.size(), 3u);
  ASSERT_EQ(shown[0].size(), 3u);
  EXPECT_EQ(Show(shown[0][0]), Show("第一"));
  EXPECT_EQ(Show(shown[0][2]), Show("第二"));
  EXPECT_FALSE(menu.LoadMenu(4242));
}

}  // namespace
}  // namespace uitest
