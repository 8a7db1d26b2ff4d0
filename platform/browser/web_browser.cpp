#include "platform/browser/web_browser.h"

#include <webkit2/webkit2.h>
#include <wx/timer.h>
#include <wx/webview.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file/file.h"
#include "platform/net/cookies.h"
#include "platform/text/codepage.h"
#include "services/hosts.h"

namespace browser {
namespace {

// Every browser alive (UI thread).
std::vector<wxWebView*> g_browsers;

WebKitWebView* NativeView(wxWebView* view) {
  return WEBKIT_WEB_VIEW(view->GetNativeBackend());
}

// ---- cookies ------------------------------------------------------------------

void StoreCookie(SoupCookie* c) {
  CookieRecord r;
  r.name = soup_cookie_get_name(c) ? soup_cookie_get_name(c) : "";
  r.value = soup_cookie_get_value(c) ? soup_cookie_get_value(c) : "";
  r.domain = soup_cookie_get_domain(c) ? soup_cookie_get_domain(c) : "";
  r.path = soup_cookie_get_path(c) ? soup_cookie_get_path(c) : "/";
  r.secure = soup_cookie_get_secure(c) != FALSE;
  r.http_only = soup_cookie_get_http_only(c) != FALSE;
  if (SoupDate* expires = soup_cookie_get_expires(c)) r.expires = soup_date_to_time_t(expires);
  AddCookieToStore(r);
}

// One round of reading the cookie managers; `pending` counts the replies
// still to come (shared with a waiting FlushCookies, which may give up).
struct CookieRequest {
  std::shared_ptr<std::atomic<int>> pending;
};

void OnCookies(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<CookieRequest> request(static_cast<CookieRequest*>(data));
  GError* error = nullptr;
#if WEBKIT_CHECK_VERSION(2, 42, 0)
  GList* cookies =
      webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
#else
  GList* cookies =
      webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
#endif
  if (error != nullptr) g_error_free(error);
  for (GList* l = cookies; l != nullptr; l = l->next) StoreCookie(static_cast<SoupCookie*>(l->data));
  g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
  request->pending->fetch_sub(1);
}

WebKitCookieManager* CookieManager(WebKitWebView* view) {
  WebKitWebContext* context = webkit_web_view_get_context(view);
  return webkit_website_data_manager_get_cookie_manager(
      webkit_web_context_get_website_data_manager(context));
}

// Asks every browser's cookie manager for its cookies; the replies come
// through the event loop.
std::shared_ptr<std::atomic<int>> RequestCookies() {
  auto pending = std::make_shared<std::atomic<int>>(0);
#if WEBKIT_CHECK_VERSION(2, 42, 0)
  // All cookies of a manager at once: the sign-in may have set them for
  // hosts other than the page's.
  std::set<WebKitCookieManager*> asked;
  for (wxWebView* view : g_browsers) {
    WebKitCookieManager* manager = CookieManager(NativeView(view));
    if (!asked.insert(manager).second) continue;
    pending->fetch_add(1);
    webkit_cookie_manager_get_all_cookies(manager, nullptr, OnCookies, new CookieRequest{pending});
  }
#else
  for (wxWebView* view : g_browsers) {
    WebKitWebView* native = NativeView(view);
    const gchar* uri = webkit_web_view_get_uri(native);
    if (uri == nullptr || *uri == '\0') continue;
    pending->fetch_add(1);
    webkit_cookie_manager_get_cookies(CookieManager(native), uri, nullptr, OnCookies,
                                      new CookieRequest{pending});
  }
#endif
  return pending;
}

// Reads the cookies once a second while a browser exists.
class CookieTimer : public wxTimer {
 public:
  void Notify() override { RequestCookies(); }
};
CookieTimer* g_timer = nullptr;

// ---- certificates ---------------------------------------------------------------

std::string ExtraCaFile() {
  const CString& ca = Hosts().caFile;
  return ca.IsEmpty() ? std::string() : NativePath(ca);
}

// Hosts and certificates already let through: a certificate that fails
// again after being allowed is not retried forever.
std::set<std::pair<std::string, std::string>> g_allowed;

std::string Fingerprint(GTlsCertificate* certificate) {
  GByteArray* der = nullptr;
  g_object_get(certificate, "certificate", &der, nullptr);
  if (der == nullptr) return {};
  gchar* sum = g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len);
  std::string out = sum != nullptr ? sum : "";
  g_free(sum);
  g_byte_array_unref(der);
  return out;
}

// The extra CA file vouches for `certificate` as the server `uri` names.
bool TrustedByExtraCa(const std::string& ca_file, const char* uri, GTlsCertificate* certificate) {
  GError* error = nullptr;
  GTlsDatabase* database = g_tls_file_database_new(ca_file.c_str(), &error);
  if (database == nullptr) {
    if (error != nullptr) g_error_free(error);
    return false;
  }
  GSocketConnectable* identity = g_network_address_parse_uri(uri, 443, &error);
  bool trusted = false;
  if (identity != nullptr) {
    const GTlsCertificateFlags flags = g_tls_database_verify_chain(
        database, certificate, G_TLS_DATABASE_PURPOSE_AUTHENTICATE_SERVER, identity, nullptr,
        G_TLS_DATABASE_VERIFY_NONE, nullptr, &error);
    trusted = flags == 0 && error == nullptr;
    g_object_unref(identity);
  }
  if (error != nullptr) g_error_free(error);
  g_object_unref(database);
  return trusted;
}

gboolean OnTlsErrors(WebKitWebView* view, gchar* failing_uri, GTlsCertificate* certificate,
                     GTlsCertificateFlags, gpointer) {
  const std::string ca_file = ExtraCaFile();
  if (ca_file.empty() || failing_uri == nullptr || certificate == nullptr) return FALSE;
  GUri* parsed = g_uri_parse(failing_uri, G_URI_FLAGS_NONE, nullptr);
  if (parsed == nullptr) return FALSE;
  const std::string host = g_uri_get_host(parsed) ? g_uri_get_host(parsed) : "";
  g_uri_unref(parsed);
  if (host.empty()) return FALSE;
  const auto key = std::make_pair(host, Fingerprint(certificate));
  if (g_allowed.count(key) != 0) return FALSE;  // allowed once, failed again
  if (!TrustedByExtraCa(ca_file, failing_uri, certificate)) return FALSE;
  g_allowed.insert(key);
  webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(view), certificate,
                                                    host.c_str());
  webkit_web_view_load_uri(view, failing_uri);
  return TRUE;
}

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_FINISHED) RequestCookies();
}

void Forget(wxWebView* view) {
  g_browsers.erase(std::remove(g_browsers.begin(), g_browsers.end(), view), g_browsers.end());
  if (g_browsers.empty() && g_timer != nullptr) g_timer->Stop();
}

}  // namespace

wxWindow* CreateBrowser(wxWindow* parent, CWebBrowserCtrl* control, const wxPoint& pos,
                        const wxSize& size) {
  if (!wxWebView::IsBackendAvailable(wxWebViewBackendWebKit)) return nullptr;
  const CString start = control != nullptr ? control->LocationURL() : CString();
  wxWebView* view = wxWebView::New(parent, wxID_ANY, wxString(wxWebViewDefaultURLStr), pos, size,
                                   wxWebViewBackendWebKit);
  if (view == nullptr) return nullptr;
  WebKitWebView* native = NativeView(view);
  // No GPU under a virtual display or a remote desktop: draw in software.
  webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(native),
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  g_signal_connect(native, "load-failed-with-tls-errors", G_CALLBACK(OnTlsErrors), nullptr);
  g_signal_connect(native, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
  g_browsers.push_back(view);
  view->Bind(wxEVT_DESTROY, [view](wxWindowDestroyEvent& e) {
    if (e.GetEventObject() == view) Forget(view);
    e.Skip();
  });
  if (g_timer == nullptr) g_timer = new CookieTimer;
  if (!g_timer->IsRunning()) g_timer->Start(1000);
  if (!start.IsEmpty()) Navigate(view, start);
  return view;
}

void Navigate(wxWindow* browser, const CString& url) {
  auto* view = dynamic_cast<wxWebView*>(browser);
  if (view == nullptr || url.IsEmpty()) return;
  view->LoadURL(wxString::FromUTF8(GbkToUtf8(url.str())));
}

bool AnyBrowser() { return !g_browsers.empty(); }

void FlushCookies(int timeout_ms) {
  if (g_browsers.empty()) return;
  std::shared_ptr<std::atomic<int>> pending = RequestCookies();
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeout_ms) * 1000;
  GMainContext* context = g_main_context_default();
  while (pending->load() > 0 && g_get_monotonic_time() < deadline) {
    // Short waits: the reply arrives through this context.
    if (!g_main_context_iteration(context, FALSE)) g_usleep(2000);
  }
}

}  // namespace browser
