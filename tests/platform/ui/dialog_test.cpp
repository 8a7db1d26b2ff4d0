// Dialogs from templates: pixel rectangles, data exchange, realization, the
// modal loop, and message boxes with their captions and scripted answers.
#include <algorithm>
#include <thread>

#include "tests/platform/ui/ui_fixture.h"

namespace uitest {
namespace {

// Wraps the headless backend and records what the core asks of it. Refresh
// keeps the bits, as a backend that refreshes later does.
class RecordingBackend : public ui::Backend {
 public:
  std::vector<CWnd*> realized, unrealized, refreshed;
  std::unique_ptr<ui::Backend> inner = ui::headless::MakeBackend();

  void BaseUnits(const char* f, int pt, int* x, int* y) override { inner->BaseUnits(f, pt, x, y); }
  void Realize(CWnd* w) override { realized.push_back(w); }
  void Unrealize(CWnd* w) override { unrealized.push_back(w); }
  void Refresh(CWnd* w) override { refreshed.push_back(w); }
  void Wake() override {}
  void RunModal(CDialog* d) override { inner->RunModal(d); }
  void EndModal(CDialog* d) override { inner->EndModal(d); }
  int MessageBox(CWnd* o, const CString& t, const CString& c, UINT ty) override {
    return inner->MessageBox(o, t, c, ty);
  }
  UINT TrackPopupMenu(const std::vector<MenuItemTemplate>& i, int x, int y, CWnd* o) override {
    return inner->TrackPopupMenu(i, x, y, o);
  }
  POINT CursorPos() override { return inner->CursorPos(); }
  void Navigate(CWebBrowserCtrl* b, const CString& u) override { inner->Navigate(b, u); }
  bool OpenUrl(const CString& u, std::function<void()> f) override {
    return inner->OpenUrl(u, std::move(f));
  }
};

class Page : public CDialog {
 public:
  Page() : CDialog(kTestPage) {}
  CStatic text;

 protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kPageText, text); }
};

// A dialog binding members, as the program's pages do, and making a child
// page during its own initialisation.
class BoundDlg : public CDialog {
 public:
  BoundDlg() : CDialog(kTestDlg) {}
  CStatic banner;
  CListCtrl list;
  CTabCtrl tab;
  CComboBox combo;
  CEdit edit;
  int radio = 1;
  CString edit_text = "初始";
  Page page;
  bool page_realized_during_init = true;
  bool make_page = false;
  bool throw_in_init = false;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, kBanner, banner);
    DDX_Control(dx, kList, list);
    DDX_Control(dx, kTab, tab);
    DDX_Control(dx, kCombo, combo);
    DDX_Control(dx, kEdit, edit);
    DDX_Radio(dx, kRadioA, radio);
    DDX_Text(dx, kEdit, edit_text);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (make_page) {
      page.Create(kTestPage, &tab);
      page_realized_during_init = page.IsRealized();
    }
    if (throw_in_init) throw std::runtime_error("notice page unreachable");
    SetWindowText("after init");
    return TRUE;
  }
};

class DialogTest : public UiTest {};

TEST_F(DialogTest, ControlsGetPixelsFromDialogUnitsOfTheFont) {
  CDialog dlg(kTestDlg);
  ASSERT_TRUE(dlg.Create(kTestDlg));
  // 8 pt: 6 x 13 pixels per 4 x 8 dialog units, each value on its own.
  CRect ok = dlg.GetDlgItem(IDOK)->Rect();
  EXPECT_EQ(ok, CRect(15, 276, 15 + 75, 276 + 22));
  CRect client;
  dlg.GetClientRect(client);
  EXPECT_EQ(client, CRect(0, 0, 450, 325));
  EXPECT_EQ(Show(dlg.GetWindowText()), Show("测试窗口"));

  Page page;  // 9 pt: 7 x 15
  ASSERT_TRUE(page.Create(kTestPage, &dlg));
  EXPECT_EQ(page.GetDlgItem(kPageText)->Rect(), CRect(8, 9, 8 + 70, 9 + 15));
  EXPECT_EQ(page.GetParent(), &dlg);

  CDialog missing(4711);
  EXPECT_FALSE(missing.Create(4711));
  EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(DialogTest, DdxControlTakesOverTheTemplateControl) {
  BoundDlg dlg;
  ASSERT_TRUE(dlg.Create(kTestDlg));
  const auto& t = TestDialog();
  // Same number of children as template controls: every generic that a
  // member took over is gone, and the member sits in its place.
  ASSERT_EQ(dlg.Children().size(), t.controls.size());
  for (size_t i = 0; i < t.controls.size(); ++i) {
    EXPECT_EQ(dlg.Children()[i]->GetDlgCtrlID(), t.controls[i].id) << i;
  }
  EXPECT_EQ(dlg.GetDlgItem(kBanner), &dlg.banner);
  EXPECT_EQ(dlg.Children()[2], &dlg.banner);
  EXPECT_EQ(CWnd::FromHandle(dlg.banner.m_hWnd), &dlg.banner);
  EXPECT_EQ(Show(dlg.banner.GetWindowText()), Show("横幅文字"));
  EXPECT_EQ(dlg.banner.Rect(), CRect(7 * 6 / 4, 0, 7 * 6 / 4 + 300, 13));
  EXPECT_EQ(dlg.banner.GetStyle() & kStyleNotify, static_cast<DWORD>(kStyleNotify));
  EXPECT_EQ(dlg.banner.GetParent(), &dlg);
  EXPECT_EQ(dlg.combo.GetStyle() & kStyleSort, static_cast<DWORD>(kStyleSort));

  // Binding again does nothing; the member keeps its window.
  HWND before = dlg.list.m_hWnd;
  dlg.UpdateData(FALSE);
  EXPECT_EQ(dlg.list.m_hWnd, before);
  EXPECT_EQ(dlg.Children().size(), t.controls.size());
}

TEST_F(DialogTest, DdxRadioAndTextGoBothWays) {
  BoundDlg dlg;
  ASSERT_TRUE(dlg.Create(kTestDlg));
  auto radio = [&](int id) { return dynamic_cast<CButton*>(dlg.GetDlgItem(id)); };
  EXPECT_EQ(radio(kRadioA)->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(radio(kRadioB)->GetCheck(), BST_CHECKED);
  EXPECT_EQ(Show(dlg.edit.GetWindowText()), Show("初始"));

  radio(kRadioC)->UserClick();
  dlg.edit.UserSetText("改过");
  dlg.UpdateData(TRUE);
  EXPECT_EQ(dlg.radio, 2);
  EXPECT_EQ(Show(dlg.edit_text), Show("改过"));

  // A group with nothing checked reads -1; -1 shown unchecks them all.
  dlg.radio = -1;
  dlg.UpdateData(FALSE);
  dlg.UpdateData(TRUE);
  EXPECT_EQ(dlg.radio, -1);
}

TEST_F(DialogTest, RadioClickUnchecksOnlyItsOwnGroup) {
  CDialog dlg(kTestDlg);
  ASSERT_TRUE(dlg.Create(kTestDlg));
  auto button = [&](int id) { return dynamic_cast<CButton*>(dlg.GetDlgItem(id)); };
  button(kRadioY)->UserClick();
  button(kCheck)->UserClick();
  button(kRadioA)->UserClick();
  button(kRadioB)->UserClick();
  EXPECT_EQ(button(kRadioA)->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(button(kRadioB)->GetCheck(), BST_CHECKED);
  EXPECT_EQ(button(kRadioC)->GetCheck(), BST_UNCHECKED);
  // The label between the groups ends nothing; the next group style does.
  EXPECT_EQ(button(kRadioY)->GetCheck(), BST_CHECKED);
  EXPECT_EQ(button(kCheck)->GetCheck(), BST_CHECKED);

  button(kRadioX)->UserClick();
  EXPECT_EQ(button(kRadioX)->GetCheck(), BST_CHECKED);
  EXPECT_EQ(button(kRadioY)->GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(button(kRadioB)->GetCheck(), BST_CHECKED);

  button(kCheck)->UserClick();  // a check box toggles
  EXPECT_EQ(button(kCheck)->GetCheck(), BST_UNCHECKED);
  button(kRadioC)->EnableWindow(FALSE);
  button(kRadioC)->UserClick();
  EXPECT_EQ(button(kRadioB)->GetCheck(), BST_CHECKED);
}

// Installs a recording backend for one test and puts the headless one back.
struct BackendSwap {
  RecordingBackend* backend;
  BackendSwap() {
    auto owned = std::make_unique<RecordingBackend>();
    backend = owned.get();
    ui::SetBackend(std::move(owned));
  }
  ~BackendSwap() { ui::SetBackend(ui::headless::MakeBackend()); }
};

TEST_F(DialogTest, PagesAreRealizedWithTheirParentOrOnTheirOwnWhenLater) {
  BackendSwap swap;
  RecordingBackend* backend = swap.backend;
  {
    BoundDlg dlg;
    dlg.make_page = true;
    ASSERT_TRUE(dlg.Create(kTestDlg));
    EXPECT_FALSE(dlg.page_realized_during_init);
    ASSERT_EQ(backend->realized.size(), 1u);  // one call for the whole tree
    EXPECT_EQ(backend->realized[0], &dlg);
    EXPECT_TRUE(dlg.page.IsRealized());
    EXPECT_TRUE(dlg.page.text.IsRealized());
    EXPECT_EQ(dlg.page.GetParent(), &dlg.tab);
    EXPECT_EQ(Show(dlg.page.text.GetWindowText()), Show("页面"));

    Page later;
    ASSERT_TRUE(later.Create(kTestPage, &dlg.tab));
    ASSERT_EQ(backend->realized.size(), 2u);
    EXPECT_EQ(backend->realized[1], &later);

    // Refresh only when the bits go from none to some.
    backend->refreshed.clear();
    dlg.list.InsertItem(0, "a");
    dlg.list.SetItemText(0, 0, "b");
    dlg.banner.SetWindowText("c");
    EXPECT_EQ(backend->refreshed, (std::vector<CWnd*>{&dlg.list, &dlg.banner}));
    EXPECT_EQ(dlg.list.pending_changes.load(), static_cast<unsigned>(kChangeItems));
    dlg.list.pending_changes = 0;  // what the backend does when it has drawn
    dlg.list.SetCheck(0, TRUE);
    EXPECT_EQ(backend->refreshed.size(), 3u);

    HWND later_text = later.text.m_hWnd;
    later.DestroyWindow();
    EXPECT_EQ(backend->unrealized, (std::vector<CWnd*>{&later}));
    EXPECT_EQ(CWnd::FromHandle(later_text), nullptr);
    EXPECT_FALSE(later.text.IsRealized());
  }
  // A window that was never realized is never refreshed.
  backend->refreshed.clear();
  CDialog unshown(kTestDlg);
  unshown.SetWindowText("x");
  EXPECT_TRUE(backend->refreshed.empty());
}

TEST_F(DialogTest, DestroyingTheParentEndsTheChildrensWindows) {
  auto dlg = std::make_unique<BoundDlg>();
  dlg->make_page = true;
  ASSERT_TRUE(dlg->Create(kTestDlg));
  HWND page = dlg->page.m_hWnd;
  HWND generic_edit = dlg->GetDlgItem(kDigits)->m_hWnd;
  dlg->tab.DestroyWindow();  // the page's parent goes first, as members die
  EXPECT_EQ(CWnd::FromHandle(page), nullptr);
  EXPECT_EQ(dlg->page.m_hWnd, nullptr);
  EXPECT_EQ(dlg->page.text.m_hWnd, nullptr);
  EXPECT_EQ(dlg->page.GetParent(), nullptr);
  dlg->page.SetWindowText("still an object");
  dlg.reset();
  EXPECT_EQ(CWnd::FromHandle(generic_edit), nullptr);
}

TEST_F(DialogTest, ModalRunsTheScriptThenEnds) {
  ui::headless::ScriptModal([](CDialog& d) {
    auto* b = dynamic_cast<BoundDlg*>(&d);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->IsModalRunning());
    EXPECT_TRUE(b->IsWindowVisible());
    EXPECT_EQ(Show(b->GetWindowText()), "after init");
    dynamic_cast<CButton*>(b->GetDlgItem(kRadioA))->UserClick();
    dynamic_cast<CButton*>(b->GetDlgItem(IDOK))->UserClick();
  });
  ui::headless::ScriptModal([](CDialog& d) {
    // Ends later, from a posted message.
    d.PostMessage(WM_COMMAND, MAKEWPARAM_(IDCANCEL, BN_CLICKED), 0);
  });
  ui::headless::ScriptModal([](CDialog& d) { d.EndDialog(42); });

  BoundDlg first;
  EXPECT_EQ(first.DoModal(), IDOK);
  EXPECT_EQ(first.radio, 0);          // OK saved the data
  EXPECT_EQ(first.m_hWnd, nullptr);   // the window ends with the loop
  EXPECT_EQ(first.banner.m_hWnd, nullptr);
  BoundDlg second;
  EXPECT_EQ(second.DoModal(), IDCANCEL);
  BoundDlg third;
  EXPECT_EQ(third.DoModal(), 42);
  BoundDlg unscripted;
  EXPECT_EQ(unscripted.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, ExceptionInInitDialogIsReportedAndTheDialogOpens) {
  ui::headless::ScriptModal([](CDialog& d) { d.EndDialog(IDOK); });
  BoundDlg dlg;
  dlg.throw_in_init = true;
  EXPECT_EQ(dlg.DoModal(), IDOK);
  auto boxes = ui::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(Show(boxes[0].text), "notice page unreachable");
  EXPECT_EQ(Show(boxes[0].caption), "test_platform_ui");
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONSTOP);
}

TEST_F(DialogTest, MessageBoxesAreAnsweredFromTheScriptAndRecorded) {
  CDialog dlg(kTestDlg);
  ASSERT_TRUE(dlg.Create(kTestDlg));
  ui::headless::ScriptMessageBoxAnswers({IDCANCEL});
  EXPECT_EQ(dlg.MessageBox("你要清空数据库吗？", "VorlupTovrane", MB_OKCANCEL | MB_ICONWARNING),
            IDCANCEL);
  EXPECT_EQ(dlg.MessageBox("无标题"), IDOK);  // script used up: OK
  EXPECT_EQ(AfxMessageBox("成功清空", MB_ICONEXCLAMATION), IDOK);
  EXPECT_EQ(::MessageBoxA(nullptr, "全部下载完毕！", "提示", MB_YESNO), IDYES);

  auto boxes = ui::headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(Show(boxes[0].caption), "VorlupTovrane");
  EXPECT_EQ(boxes[0].type, MB_OKCANCEL | MB_ICONWARNING);
  EXPECT_EQ(boxes[0].owner, dlg.m_hWnd);
  EXPECT_EQ(boxes[0].answer, IDCANCEL);
  EXPECT_EQ(Show(boxes[1].caption), Show(AfxGetAppName()));
  EXPECT_EQ(Show(boxes[2].text), Show("成功清空"));
  EXPECT_EQ(Show(boxes[2].caption), "test_platform_ui");
  EXPECT_EQ(boxes[3].owner, nullptr);
  EXPECT_EQ(Show(boxes[3].caption), Show("提示"));
}

TEST_F(DialogTest, MessageBoxFromAWorkerIsShownByTheUiThread) {
  ui::headless::ScriptMessageBoxAnswers({IDCANCEL});
  std::atomic<int> answer{0};
  std::thread worker([&] { answer = AfxMessageBox("从线程", MB_OKCANCEL); });
  EXPECT_TRUE(ui::PumpUntil([&] { return answer.load() != 0; }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_EQ(answer.load(), IDCANCEL);
  EXPECT_EQ(ui::headless::MessageBoxes().size(), 1u);
}

TEST_F(DialogTest, ShellOpenGoesToTheBackend) {
  EXPECT_GT(ShellExecuteA(nullptr, nullptr, "http://maker.example/", nullptr, nullptr,
                          SW_SHOWNORMAL),
            32);
  EXPECT_LE(ShellExecuteA(nullptr, nullptr, "", nullptr, nullptr, SW_SHOWNORMAL), 32);
  auto urls = ui::headless::OpenedUrls();
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(Show(urls[0]), "http://maker.example/");

  ui::headless::SetCursorPos(POINT{300, 200});
  POINT p;
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(GetMessagePos(), (200u << 16) | 300u);
}

}  // namespace
}  // namespace uitest
