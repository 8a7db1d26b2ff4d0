// The user's actions on real widgets reach the control objects, and the
// objects' state, changed from any thread, reaches the widgets: clicks and
// typing through xdotool on the test's X server, message boxes, the menu
// frame's modal loop, the title bar's close button and pop-up menus.
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "platform/ui/wx/wx_testing.h"
#include "platform/ui/templates.h"
#include "tests/support/wx_env.h"

namespace wxtest {
namespace {

constexpr int kDlg = 9101;
constexpr int kMenuDlg = 9102;
constexpr int kMenu = 9103;
constexpr int kStatic = 10, kCheck = 11, kNumber = 12, kText = 13, kCombo = 14, kTree = 15,
              kRadio1 = 16, kRadio2 = 17, kButton = 18, kTab = 19, kList = 20;
constexpr int kCmdFirst = 33001, kCmdSecond = 33002;

const DialogTemplate& Dialog() {
  static const DialogTemplate t{
      kDlg, "交互测试", kDlgPopup | kDlgSysMenu, 300, 200, "MS Shell Dlg", 8, 0,
      {
          {kStatic, ControlKind::Static, kStyleVisible | kStyleNotify, "热烈祝贺发布！", 7, 4, 120, 8},
          {kCheck, ControlKind::CheckBox, kStyleVisible | kStyleTabStop, "关键字", 7, 16, 50, 10},
          {kNumber, ControlKind::Edit, kStyleVisible | kStyleBorder | kStyleNumber, "", 7, 30, 60, 14},
          {kText, ControlKind::Edit, kStyleVisible | kStyleBorder, "", 80, 30, 60, 14},
          {kCombo, ControlKind::ComboList, kStyleVisible | kStyleTabStop, "", 150, 30, 80, 80},
          {kTree, ControlKind::TreeView, kStyleVisible | kStyleBorder | kStyleLines, "", 7, 50, 100, 60},
          {kRadio1, ControlKind::RadioButton, kStyleVisible | kStyleGroup, "无操作", 120, 50, 50, 10},
          {kRadio2, ControlKind::RadioButton, kStyleVisible, "无货下架", 120, 64, 50, 10},
          {kButton, ControlKind::PushButton, kStyleVisible | kStyleTabStop, "开始同步", 180, 50, 60, 14},
          {kTab, ControlKind::Tab, kStyleVisible, "", 7, 116, 140, 30},
          {kList, ControlKind::ListView, kStyleVisible | kStyleBorder, "", 150, 116, 140, 70},
      }};
  return t;
}

const DialogTemplate& MenuDialog() {
  static const DialogTemplate t{kMenuDlg, "菜单窗口", kDlgPopup | kDlgSysMenu, 200, 100,
                                "MS Shell Dlg", 8, kMenu, {}};
  return t;
}

const MenuTemplate& Menu() {
  static const MenuTemplate m{kMenu, {{kCmdFirst, "登录淘宝网", {}}, {kCmdSecond, "清空数据库", {}}}};
  return m;
}

class TestDlg : public CDialog {
 public:
  explicit TestDlg(UINT id = kDlg) : CDialog(id) {}
  std::atomic<int> button_clicks{0}, static_clicks{0}, tab_changes{0}, tree_changes{0},
      edit_changes{0}, right_clicks{0};
  int last_command = 0;
  UINT popup_choice = 0;
  CBrush brush{RGB(245, 245, 245)};

  void OnButton() { ++button_clicks; }
  void OnStatic() { ++static_clicks; }
  void OnTab(NMHDR*, LRESULT*) { ++tab_changes; }
  void OnTree(NMHDR*, LRESULT*) { ++tree_changes; }
  void OnEdit() { ++edit_changes; }
  void OnListRClick(NMHDR*, LRESULT*) {
    ++right_clicks;
    POINT p;
    GetCursorPos(&p);
    CMenu menu;
    menu.LoadMenu(kMenu);
    popup_choice = static_cast<UINT>(
        menu.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, p.x, p.y, this));
  }
  void OnFirst() {
    last_command = kCmdFirst;
    EndDialog(IDOK);
  }
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT) {
    if (wnd != nullptr && wnd->GetDlgCtrlID() == kStatic) {
      dc->SetBkMode(TRANSPARENT);
      dc->SetTextColor(RGB(255, 0, 0));
      return brush;
    }
    return nullptr;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDlg, CDialog)
  ON_BN_CLICKED(kButton, &TestDlg::OnButton)
  ON_STN_CLICKED(kStatic, &TestDlg::OnStatic)
  ON_NOTIFY(TCN_SELCHANGE, kTab, &TestDlg::OnTab)
  ON_NOTIFY(TVN_SELCHANGED, kTree, &TestDlg::OnTree)
  ON_NOTIFY(NM_RCLICK, kList, &TestDlg::OnListRClick)
  ON_EN_CHANGE(kNumber, &TestDlg::OnEdit)
  ON_COMMAND(kCmdFirst, &TestDlg::OnFirst)
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// Runs xdotool from a helper thread while the UI thread pumps.
class Xdo {
 public:
  explicit Xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    thread_ = std::thread([this, args] { result_ = gui::RunCommand(args, Display()->Display()).code; done_ = true; });
  }
  ~Xdo() { thread_.join(); }
  bool Done() const { return done_.load(); }

 private:
  std::thread thread_;
  std::atomic<bool> done_{false};
  int result_ = -1;
};

// A press as a hand makes it: button down, 100 ms, button up.
std::vector<std::string> Press(int button = 1) {
  const std::string b = std::to_string(button);
  return {"mousedown", b, "sleep", "0.1", "mouseup", b};
}

std::vector<std::string> ClickAt(const RECT& r) {
  std::vector<std::string> args = {"mousemove", std::to_string((r.left + r.right) / 2),
                                   std::to_string((r.top + r.bottom) / 2), "sleep", "0.1"};
  for (std::string& a : Press()) args.push_back(std::move(a));
  return args;
}

// From a helper thread: waits for a shown window titled `title` (UTF-8),
// gives it the keyboard and presses `keys`. False when none came.
bool AnswerWindow(const std::string& title, const std::vector<std::string>& keys) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (const std::string& id : gui::FindWindows(Display()->Display(), title)) {
      std::vector<std::string> args = {"xdotool", "windowfocus", "--sync", id, "sleep", "0.3",
                                       "key",     "--delay",     "100"};
      args.insert(args.end(), keys.begin(), keys.end());
      if (gui::RunCommand(args, Display()->Display(), 10s).code == 0) return true;
    }
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

class WxInteraction : public ::testing::Test {
 protected:
  void SetUp() override {
    WX_REQUIRE_DISPLAY();
    ui::RegisterDialogTemplate(&Dialog());
    ui::RegisterDialogTemplate(&MenuDialog());
    ui::RegisterMenuTemplate(&Menu());
  }
  // Shows `dlg` and pumps until the X server shows it: a click sent before
  // would land on no window.
  bool ShowOnScreen(CDialog& dlg) {
    dlg.ShowWindow(SW_SHOW);
    return Pump([&] {
      return wxui::testing::ShownVisible(&dlg) &&
             !gui::FindWindows(Display()->Display(), wxui::testing::ShownText(&dlg)).empty();
    });
  }
  // Acts, then pumps until `done` holds; false on a time-out.
  bool Act(std::vector<std::string> xdo, const std::function<bool()>& done) {
    Xdo run(std::move(xdo));
    const bool ok = Pump([&] { return run.Done() && done(); }, 10s);
    Pump([&] { return run.Done(); }, 10s);
    return ok;
  }
  CWnd* Item(CDialog& d, int id) { return d.GetDlgItem(id); }
};

TEST_F(WxInteraction, ClicksReachButtonsCheckBoxesNotifyingStaticsAndTabs) {
  TestDlg dlg;
  ASSERT_TRUE(dlg.Create(kDlg));
  auto* tab = dynamic_cast<CTabCtrl*>(Item(dlg, kTab));
  ASSERT_NE(tab, nullptr);
  for (const char* t : {"宝贝查询", "宝贝同步", "当当同步"}) tab->InsertItem(tab->GetItemCount(), t);
  tab->SetCurSel(0);
  ASSERT_TRUE(ShowOnScreen(dlg));

  EXPECT_TRUE(Act(ClickAt(wxui::testing::ScreenRect(Item(dlg, kButton))),
                  [&] { return dlg.button_clicks == 1; }));
  auto* check = dynamic_cast<CButton*>(Item(dlg, kCheck));
  EXPECT_TRUE(Act(ClickAt(wxui::testing::ScreenRect(check)), [&] { return check->GetCheck() == BST_CHECKED; }));
  EXPECT_TRUE(Act(ClickAt(wxui::testing::ScreenRect(Item(dlg, kStatic))), [&] { return dlg.static_clicks == 1; }));
  EXPECT_TRUE(Act(ClickAt(wxui::testing::TabHeaderRect(tab, 2)), [&] { return dlg.tab_changes == 1; }));
  EXPECT_EQ(tab->GetCurSel(), 2);
  // The tab already selected: no change, no notification. The click on the
  // first tab comes after it: once that one is seen, so would the first.
  Act(ClickAt(wxui::testing::TabHeaderRect(tab, 2)), [] { return true; });
  EXPECT_TRUE(Act(ClickAt(wxui::testing::TabHeaderRect(tab, 0)), [&] { return tab->GetCurSel() == 0; }));
  EXPECT_EQ(dlg.tab_changes, 2);

  // Radio buttons: the object keeps the group, the widgets follow it.
  auto* r1 = dynamic_cast<CButton*>(Item(dlg, kRadio1));
  auto* r2 = dynamic_cast<CButton*>(Item(dlg, kRadio2));
  r1->SetCheck(BST_CHECKED);
  EXPECT_TRUE(Act(ClickAt(wxui::testing::ScreenRect(r2)), [&] { return r2->GetCheck() == BST_CHECKED; }));
  EXPECT_EQ(r1->GetCheck(), BST_UNCHECKED);
  EXPECT_TRUE(Pump([&] {
    return wxui::testing::ShownChecked(r2) && !wxui::testing::ShownChecked(r1);
  }));
  // A group with none checked shows none.
  r2->SetCheck(BST_UNCHECKED);
  EXPECT_TRUE(Pump([&] { return !wxui::testing::ShownChecked(r2) && !wxui::testing::ShownChecked(r1); }));
  EXPECT_TRUE(wxui::testing::ShownChecked(check));

  // A disabled button ignores the click (seen once the click on the static
  // after it is).
  Item(dlg, kButton)->EnableWindow(FALSE);
  Act(ClickAt(wxui::testing::ScreenRect(Item(dlg, kButton))), [] { return true; });
  EXPECT_TRUE(Act(ClickAt(wxui::testing::ScreenRect(Item(dlg, kStatic))), [&] { return dlg.static_clicks == 2; }));
  EXPECT_EQ(dlg.button_clicks, 1);

  // The parent's control colours reach the notifying static.
  EXPECT_EQ(wxui::testing::ShownBackground(Item(dlg, kStatic)), 0xF5F5F5);
  EXPECT_EQ(wxui::testing::ShownForeground(Item(dlg, kStatic)), 0x0000FF);
  EXPECT_EQ(wxui::testing::ShownText(Item(dlg, kStatic)), Utf8("热烈祝贺发布！"));
  gui::Screenshot(Display()->Display(), "wx_interaction");
  dlg.DestroyWindow();
}

TEST_F(WxInteraction, TypingReachesEditsAsGbkAndDigitsOnlyEditsKeepDigits) {
  TestDlg dlg;
  ASSERT_TRUE(dlg.Create(kDlg));
  ASSERT_TRUE(ShowOnScreen(dlg));
  CWnd* number = Item(dlg, kNumber);
  CWnd* text = Item(dlg, kText);

  std::vector<std::string> typing = ClickAt(wxui::testing::ScreenRect(number));
  for (const char* s : {"type", "--delay", "40", "12ab3"}) typing.push_back(s);
  EXPECT_TRUE(Act(typing, [&] { return number->GetWindowText() == "123"; }));
  EXPECT_GE(dlg.edit_changes.load(), 3);
  EXPECT_EQ(wxui::testing::ShownText(number), "123");

  typing = ClickAt(wxui::testing::ScreenRect(text));
  for (std::string s : {"type", "--delay", "60"}) typing.push_back(s);
  typing.push_back(Utf8("价格 35"));  // xdotool reads UTF-8
  gui::BindCharacters(Display()->Display(), Utf8("价格 35"));
  EXPECT_TRUE(Act(typing, [&] { return text->GetWindowText() == "价格 35"; }))
      << Utf8(text->GetWindowText());
  dlg.DestroyWindow();
}

TEST_F(WxInteraction, StateChangedByTwentyThreadsEndsUpShown) {
  TestDlg dlg;
  ASSERT_TRUE(dlg.Create(kDlg));
  dlg.ShowWindow(SW_SHOW);
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownVisible(&dlg); }));
  auto* combo = dynamic_cast<CComboBox*>(Item(dlg, kCombo));
  auto* tree = dynamic_cast<CTreeCtrl*>(Item(dlg, kTree));
  auto* list = dynamic_cast<CListCtrl*>(Item(dlg, kList));
  ASSERT_TRUE(combo && tree && list);
  list->InsertColumn(0, "编号", LVCFMT_LEFT, 60);
  combo->AddString("出售中的宝贝");
  combo->AddString("仓库中的宝贝");

  std::vector<std::thread> workers;
  for (int t = 0; t < 20; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        CString s;
        s.Format("第%d行", t * 1000 + i);
        Item(dlg, kText)->SetWindowText(s);
        Item(dlg, kStatic)->SetWindowText(s);
        combo->SetCurSel(i % 2);
        list->InsertItem(0, s);
        if (i % 100 == 0) tree->InsertItem(s);
      }
    });
  }
  // The UI thread pumps meanwhile; refreshes come and are drained.
  Pump([] { return false; }, 300ms);
  for (std::thread& w : workers) w.join();
  Item(dlg, kText)->SetWindowText("全部同步 完毕！");
  Item(dlg, kStatic)->SetWindowText("登陆成功");
  combo->SetCurSel(1);
  EXPECT_TRUE(Pump([&] {
    return wxui::testing::ShownText(Item(dlg, kText)) == Utf8("全部同步 完毕！") &&
           wxui::testing::ShownText(Item(dlg, kStatic)) == Utf8("登陆成功") &&
           wxui::testing::ShownRowCount(list) == 10000 &&
           wxui::testing::ShownText(combo) == Utf8("仓库中的宝贝");  // not sorted: index 1
  }));
  // The tree holds its 100 items, in order of insertion under the root.
  EXPECT_TRUE(Pump([&] {
    const std::string shown = wxui::testing::ShownTree(tree);
    return std::count(shown.begin(), shown.end(), '\n') == 100;
  }));
  dlg.DestroyWindow();
}

TEST_F(WxInteraction, TreeShowsItsItemsAndKeyboardSelectionNotifies) {
  TestDlg dlg;
  ASSERT_TRUE(dlg.Create(kDlg));
  ASSERT_TRUE(ShowOnScreen(dlg));
  auto* tree = dynamic_cast<CTreeCtrl*>(Item(dlg, kTree));
  HTREEITEM all = tree->InsertItem("全部类目");
  HTREEITEM books = tree->InsertItem("图书");
  tree->InsertItem("小说", books);
  tree->Expand(books, TVE_EXPAND);
  EXPECT_TRUE(Pump([&] {
    return wxui::testing::ShownTree(tree) == Utf8("全部类目\n图书\n  小说\n");
  })) << wxui::testing::ShownTree(tree);
  tree->SelectItem(all);
  EXPECT_TRUE(Pump([&] { return wxui::testing::ShownTreeSelection(tree) == Utf8("全部类目"); }));
  EXPECT_EQ(dlg.tree_changes, 0);  // the program's own selection sends nothing

  // Down from the selected item: the user selects "图书".
  std::vector<std::string> keys = ClickAt(wxui::testing::ScreenRect(tree));
  // The click itself may select the item under it; then the arrow moves.
  keys.push_back("key");
  keys.push_back("End");
  EXPECT_TRUE(Act(keys, [&] { return tree->GetSelectedItem() != all && dlg.tree_changes > 0; }));
  dlg.DestroyWindow();
}

TEST_F(WxInteraction, MessageBoxesAnswerWithTheButtonPressed) {
  // The UI thread waits in the box's own loop meanwhile.
  auto answer_with = [](const char* caption, std::vector<std::string> keys) {
    return std::thread([title = Utf8(caption), keys] {
      if (!AnswerWindow(title, keys)) ui::Post([] { wxui::testing::EndModalBoxes(); });
    });
  };
  std::thread helper = answer_with("确定框", {"Return"});
  EXPECT_EQ(MessageBoxA(nullptr, "成功清空", "确定框", MB_OK | MB_ICONWARNING), IDOK);
  helper.join();

  helper = answer_with("选择框", {"Tab", "Return"});
  EXPECT_EQ(MessageBoxA(nullptr, "你要清空数据库吗？", "选择框", MB_OKCANCEL | MB_ICONWARNING), IDCANCEL);
  helper.join();

  helper = answer_with("是否框", {"Escape", "Tab", "Return"});
  // Escape cannot dismiss a yes/no box; Tab then Return presses "否".
  EXPECT_EQ(MessageBoxA(nullptr, "继续吗？", "是否框", MB_YESNO | MB_ICONQUESTION), IDNO);
  helper.join();

  // Its text can be copied once the box shows: three clicks on it, right of
  // the icon, select its line. The copy is in the clipboard once the box
  // has taken the keys.
  const std::string text = Utf8("无法打开网址：http://maker/tovrane");
  std::string copied;
  helper = std::thread([&copied, &text, display = Display()->Display()] {
    std::vector<std::string> box;
    gui::WaitFor([&] { return !(box = gui::FindWindows(display, "copy box")).empty(); }, 30s);
    if (!box.empty()) {
      std::vector<std::string> copy = {"xdotool", "windowfocus", "--sync", box[0],
                                       "mousemove", "--window", box[0], "160", "35"};
      for (int press = 0; press < 3; ++press) {
        for (std::string& a : Press()) copy.push_back(std::move(a));
        for (const char* a : {"sleep", "0.05"}) copy.push_back(a);
      }
      for (const char* a : {"key", "ctrl+c"}) copy.push_back(a);
      gui::RunCommand(copy, display);
      copied = gui::WaitForClipboard(display, [&](const std::string& now) { return now == text; });
    }
    if (!AnswerWindow("copy box", {"Escape"})) ui::Post([] { wxui::testing::EndModalBoxes(); });
  });
  EXPECT_EQ(MessageBoxA(nullptr, "无法打开网址：http://maker/tovrane", "copy box", MB_ICONSTOP), IDOK);
  helper.join();
  EXPECT_EQ(copied, text);
}

TEST_F(WxInteraction, AMenuWindowRunsModallyUntilItsCommandEndsIt) {
  TestDlg dlg(kMenuDlg);
  std::thread helper([&dlg] {
    if (!AnswerWindow(Utf8("菜单窗口"), {"F10", "Return"})) dlg.EndDialog(IDABORT);
  });
  ui::Post([&] { dlg.SetWindowText("菜单窗口"); });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  helper.join();
  EXPECT_EQ(dlg.last_command, kCmdFirst);
}

TEST_F(WxInteraction, TheTitleBarCloseButtonIsCancel) {
  TestDlg dlg;
  // Once the loop runs, close the window as its title bar does.
  ui::Post([&] { wxui::testing::RequestClose(&dlg); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  TestDlg frame(kMenuDlg);
  ui::Post([&] { wxui::testing::RequestClose(&frame); });
  EXPECT_EQ(frame.DoModal(), IDCANCEL);
}

TEST_F(WxInteraction, ARightClickOnTheListTracksAPopupMenuThatReturnsTheChoice) {
  TestDlg dlg;
  ASSERT_TRUE(dlg.Create(kDlg));
  ASSERT_TRUE(ShowOnScreen(dlg));
  auto* list = dynamic_cast<CListCtrl*>(Item(dlg, kList));
  list->InsertColumn(0, "编号", LVCFMT_LEFT, 60);
  list->InsertItem(0, "1");
  ASSERT_TRUE(Pump([&] { return wxui::testing::ShownRowCount(list) == 1; }));
  const RECT r = wxui::testing::ScreenRect(list);
  // The keys go to the menu once it shows (the screen's windows change);
  // before, they would go to the list.
  std::atomic<bool> done{false};
  std::thread hand([&, display = Display()->Display()] {
    const std::vector<std::string> windows = {"xdotool", "search", "--onlyvisible", "--classname", "."};
    const std::string before = gui::RunCommand(windows, display).out;
    std::vector<std::string> press = {"xdotool", "mousemove", "--sync", std::to_string(r.left + 20),
                                      std::to_string(r.top + 40)};
    for (std::string& a : Press(3)) press.push_back(std::move(a));
    gui::RunCommand(press, display);
    gui::WaitForOutput(windows, display, [&](const std::string& now) { return now != before; });
    gui::RunCommand({"xdotool", "key", "--delay", "100", "Down", "Down", "Return"}, display);
    done = true;
  });
  EXPECT_TRUE(Pump([&] { return done && dlg.right_clicks == 1 && dlg.popup_choice != 0; }, 30s));
  hand.join();
  EXPECT_EQ(dlg.popup_choice, static_cast<UINT>(kCmdSecond));
  dlg.DestroyWindow();
}

}  // namespace
}  // namespace wxtest
