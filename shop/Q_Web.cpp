// The sign-in dialog. The user signs in by hand in the embedded browser;
// "确定" copies the browser's cookies (they live in the process-wide store
// the browser fills) into g_CookieBuffer and checks them on the seller page.
#include "shop/Q_Web.h"

#include <string>

#include "platform/net/cookies.h"
#include "platform/ui/backend.h"
#include "resources/resource_ids.h"
#include "services/globals.h"
#include "services/hosts.h"
#include "services/http.h"

void CExplorer1::Navigate2(const char* url) { Navigate(url); }

Q_Web::Q_Web(CWnd* parent) : CDialogEx(IDD, parent) {}

Q_Web::~Q_Web() = default;

void Q_Web::DoDataExchange(CDataExchange* dx) {
  CDialogEx::DoDataExchange(dx);
  DDX_Control(dx, IDC_WEB_BROWSER, m_Explorer);
}

BEGIN_MESSAGE_MAP(Q_Web, CDialogEx)
  ON_BN_CLICKED(IDOK, &Q_Web::OnConfirmLogin)
END_MESSAGE_MAP()

BOOL Q_Web::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SetWindowText(g_SoftName);
  CString url = CString("https://") + Hosts().login + "/";
  m_Explorer.Navigate2(url);
  return TRUE;
}

void Q_Web::OnConfirmLogin() {
  // A different host from the login page's, inside the marketplace's cookie
  // domain: the text then holds the domain-wide session cookies, HttpOnly
  // ones included. When they do not fit, the buffer keeps its old text.
  CString cookie_url = CString("http://") + Hosts().www;
  {
    std::lock_guard<std::mutex> lock(CookieBufferLock());
    DWORD size = kCookieBufferSize;
    InternetGetCookieExA(cookie_url, nullptr, g_CookieBuffer, &size, INTERNET_COOKIE_HTTPONLY,
                         nullptr);
  }

  // A network failure throws out of here: the dispatcher shows it and the
  // dialog stays open with the flag and the status as they were.
  bool logged_in = CheckSellerPage();
  ShowLoginStatus(logged_in);
  EndDialog(IDOK);
}

bool CheckSellerPage() {
  CString url = CString("http://") + Hosts().upload + "/auction/sell.jhtml";
  CString page = HttpGetWithCookieNaming(url, "淘宝卖家页面", "未能检查登录状态");
  // A plain byte search: the page is GBK and the marker is GBK.
  bool logged_in = page.str().find("卖家中心") != std::string::npos;
  g_LoggedIn = logged_in ? 1 : 0;
  return logged_in;
}

void ShowLoginStatus(bool logged_in) { ShowAccountStatus(logged_in ? "登陆成功" : "登陆失败"); }

void ShowAccountStatus(const CString& state) {
  const CString text = g_SoftName + "----淘宝账户状态：" + state;
  // The item page keeps the text as its window text (it has no title bar to
  // show it); the main window's status line is where the user reads it.
  if (CWnd* page = CWnd::FromHandle(g_TaoBaoHwnd)) page->SetWindowText(text);
  ui::SetStatusText(text);
}
