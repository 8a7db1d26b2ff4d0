#include "app/MainDlg.h"

#include "app/UpdateNotice.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "shop/Q_Web.h"
#include "store/item_db.h"
#include "store/save_run.h"

MainDlg::MainDlg(CWnd* parent) : CDialogEx(IDD, parent) {}
MainDlg::~MainDlg() = default;

void MainDlg::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_MAIN_TAB, m_Tab);
}

BEGIN_MESSAGE_MAP(MainDlg, CDialogEx)
  ON_NOTIFY(TCN_SELCHANGE, IDC_MAIN_TAB, &MainDlg::OnTabSelChange)
  ON_COMMAND(ID_LOGIN_TAOBAO, &MainDlg::OnLoginTaobao)
  ON_WM_CTLCOLOR()
  ON_COMMAND(ID_CLEAR_DATABASE, &MainDlg::OnClearDatabase)
  ON_STN_CLICKED(IDC_MAIN_BANNER, &MainDlg::OnBannerClicked)
  ON_COMMAND(ID_SET_ALL_NOT_UPDATED, &MainDlg::OnSetAllNotUpdated)
  ON_COMMAND(ID_COUNT_RECORDS, &MainDlg::OnCountRecords)
END_MESSAGE_MAP()

BOOL MainDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();

  m_Tab.InsertItem(0, "宝贝查询");
  m_Tab.InsertItem(1, "宝贝同步");
  m_Tab.InsertItem(2, "当当同步");
  m_Tab.InsertItem(3, "查重");

  // Each page publishes its controls in its own OnInitDialog, so the item
  // page's globals exist before the sync pages are built.
  m_TaoBao.Create(TaoBao::IDD, &m_Tab);
  m_TongBu.Create(TongBu::IDD, &m_Tab);
  m_DangDangTongBu.Create(DangDangTongBu::IDD, &m_Tab);
  m_QuChongFu.Create(QuChongFu::IDD, &m_Tab);

  PlacePages(0);

  SetWindowText(g_SoftName + ":" + g_Version);

  // One blocking GET. A page that cannot be fetched throws on out of here:
  // the framework shows its error box, the banner keeps its template text
  // and the window opens all the same.
  CheckUpdateNotice(g_SoftName, g_NoticeText, g_NoticeUrl);

  GetDlgItem(IDC_MAIN_BANNER)->SetWindowText(g_NoticeText);
  return TRUE;
}

void MainDlg::OnCancel() {
  if (m_Closing) return;
  m_Closing = true;
  CloseWhenSaved();
}

void MainDlg::CloseWhenSaved() {
  // A run started while the saves were written has its edits saved too.
  m_TongBu.EndUnendedPriceRun();
  if (!ItemSaveRun::AllWritten()) {
    const HWND self = m_hWnd;
    ItemSaveRun::WhenAllWritten([self] {
      if (auto* main = dynamic_cast<MainDlg*>(CWnd::FromHandle(self))) main->CloseWhenSaved();
    });
    return;
  }
  CDialogEx::OnCancel();
}

CRect MainDlg::PageRect() const {
  CRect client;
  m_Tab.GetClientRect(client);
  return CRect(client.left + 1, client.top + CTabCtrl::kHeaderHeight, client.right - 1,
               client.bottom - 1);
}

void MainDlg::PlacePages(int shown) {
  const CRect r = PageRect();
  CDialog* pages[] = {&m_TaoBao, &m_TongBu, &m_DangDangTongBu, &m_QuChongFu};
  for (int i = 0; i < 4; ++i) {
    pages[i]->SetWindowPos(wndTop, r.left, r.top, r.Width(), r.Height(),
                           i == shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
  }
}

void MainDlg::OnTabSelChange(NMHDR* header, LRESULT* result) {
  (void)header;
  (void)result;
  const int selected = m_Tab.GetCurSel();
  if (selected < 0 || selected > 3) return;
  PlacePages(selected);
}

HBRUSH MainDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctl_color) {
  if (wnd && wnd->GetDlgCtrlID() == IDC_MAIN_BANNER) {
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(255, 0, 0));
    return m_BannerBrush;
  }
  return CDialogEx::OnCtlColor(dc, wnd, ctl_color);
}

void MainDlg::OnBannerClicked() {
  if (g_NoticeUrl.IsEmpty()) g_NoticeUrl = Hosts().homeUrl;
  ShellExecuteA(nullptr, nullptr, g_NoticeUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

void MainDlg::OnLoginTaobao() {
  Q_Web dlg;
  dlg.DoModal();
}

void MainDlg::RunConfirmedStatement(const char* question, const char* sql) {
  if (MessageBox(question, g_SoftName, MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) return;
  ExecItemSql(sql);
  // Shown whatever the statement's outcome: ExecItemSql reports nothing.
  AfxMessageBox("成功清空", MB_OK | MB_ICONWARNING);
}

void MainDlg::OnClearDatabase() {
  RunConfirmedStatement("你要清空数据库吗？", "Delete from DDItems ");
}

void MainDlg::OnSetAllNotUpdated() {
  RunConfirmedStatement("你确定要将数据库全部设置为未更新状态吗？",
                        "UPDATE DDItems SET IsUpdate = '0'");
}

void MainDlg::OnCountRecords() {
  CString count = QueryItemScalar("SELECT COUNT(*) FROM DDItems");
  if (g_TotalCountEdit) g_TotalCountEdit->SetWindowText(count);
}
