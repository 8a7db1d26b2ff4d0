#pragma once
// The sign-in dialog: the marketplace's login page in an embedded browser;
// "确定" takes the browser's cookies as the shop session and checks it.
// The dialog, its handlers and ShowLoginStatus belong to the UI thread;
// ShowAccountStatus and CheckSellerPage may be called from any thread.
#include "platform/ui/afxwin.h"

// Hosts the embedded web browser of the sign-in dialog.
class CExplorer1 : public CWebBrowserCtrl {
 public:
  // Loads `url` in the browser.
  void Navigate2(const char* url);
};

class Q_Web : public CDialogEx {
 public:
  enum { IDD = 137 };
  explicit Q_Web(CWnd* parent = nullptr);
  ~Q_Web() override;

  CExplorer1 m_Explorer;  // 1019

  BOOL OnInitDialog() override;
  void OnConfirmLogin();  // "确定"

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()
};

// Composes the account status "<product title>----淘宝账户状态：登陆成功/登陆失败"
// and shows it where the user sees it.
void ShowLoginStatus(bool logged_in);
// Shows the account status "<product title>----淘宝账户状态：" + `state`
// where ShowLoginStatus shows it. Any thread.
void ShowAccountStatus(const CString& state);
// The seller-page check: fetches /auction/sell.jhtml with the session and
// sets g_LoggedIn from whether it contains "卖家中心". Throws CInternetException*
// whose text names the seller page and its host.
bool CheckSellerPage();
