#pragma once
// The main window: four tab pages, the menu of sign-in and item-database
// commands, and the notice banner. Lives for the whole program; every handler
// runs on the user-interface thread.
#include "platform/ui/afxwin.h"
#include "resources/resource_ids.h"
#include "shop/QuChongFu.h"
#include "shop/TaoBao.h"
#include "sync/DangDangTongBu.h"
#include "sync/EmptyStorePages.h"
#include "sync/TongBu.h"

class MainDlg : public CDialogEx {
 public:
  enum { IDD = IDD_MAINDLG };
  explicit MainDlg(CWnd* parent = nullptr);
  ~MainDlg() override;

  // Pages, constructed in this order and destroyed in reverse. The empty
  // store pages are never created as windows.
  QuChongFu m_QuChongFu;            // tab 3 "查重"
  WenXuanTongBu m_WenXuanTongBu;
  TongBu m_TongBu;                  // tab 1 "宝贝同步"
  TaoBao m_TaoBao;                  // tab 0 "宝贝查询"
  JoyoTongbu m_JoyoTongbu;
  JDTongbu m_JDTongbu;
  BoKuTongbu m_BoKuTongbu;
  DangDangTongBu m_DangDangTongBu;  // tab 2 "当当同步"
  CTabCtrl m_Tab;                   // 1018

  BOOL OnInitDialog() override;

  // Handlers. Public so that tests can drive them as the user would.
  void OnTabSelChange(NMHDR* header, LRESULT* result);
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctl_color);
  void OnLoginTaobao();
  void OnClearDatabase();
  void OnSetAllNotUpdated();
  void OnCountRecords();
  void OnBannerClicked();

  // Where the pages go: the tab control's client rectangle less the row of
  // tab headers, in the tab control's client pixels.
  CRect PageRect() const;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  // The close box. The program ends once the saves under way have been
  // written, a price run's confirmed edits among them; meanwhile the window
  // stays, its pages showing the saves' progress.
  void OnCancel() override;
  DECLARE_MESSAGE_MAP()

 private:
  // Puts the four created pages on the page rectangle and shows the page of
  // tab `shown` (0..3), hiding the others.
  void PlacePages(int shown);
  // Asks `question` in a box of this window; runs `sql` on OK.
  void RunConfirmedStatement(const char* question, const char* sql);

  // After the close box: ends the program when every save is written, or
  // waits for that again.
  void CloseWhenSaved();

  CBrush m_BannerBrush{RGB(245, 245, 245)};
  bool m_Closing = false;
};
