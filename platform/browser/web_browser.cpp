#include "platform/browser/web_browser.h"

#include <webkit2/webkit2.h>
#include <wx/timer.h>
#include <wx/webview.h>

#include <algorithm>
#include <atomic>
#include <map>
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

// What the tests look at (UI thread).
int g_refused_certificates = 0;
int g_page_crashes = 0;

// A page process that crashes takes the page with it and WebKit shows
// nothing in its place: the browser loads the page again, a few times at
// most for one address, so a page that crashes it every time does not loop.
constexpr int kMaxReloadsAfterCrash = 3;

// Per browser, owned by its WebKit view (UI thread).
struct PageState {
  std::string address;      // the latest page asked for or started, UTF-8
  bool navigating = false;  // `address` was asked for and its load has not begun
  int reloads = 0;          // reloads of `address` after a crash
};

PageState* StateOf(WebKitWebView* view) {
  return static_cast<PageState*>(g_object_get_data(G_OBJECT(view), "tovrane-page"));
}

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

// Hosts and certificates already let through, with how often. A network
// process started anew has forgotten an allowance: a certificate that fails
// again is allowed again, a few times at most, never forever.
std::map<std::pair<std::string, std::string>, int> g_allowed;
constexpr int kMaxAllowances = 3;

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

// A load asked for once an allowance has reached the network process.
struct PendingReload {
  GWeakRef view;
  std::string uri;
};

void OnAllowanceArrived(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PendingReload> reload(static_cast<PendingReload*>(data));
  GList* found = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(source),
                                                          result, nullptr);
  g_list_free_full(found, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
  auto* view = static_cast<WebKitWebView*>(g_weak_ref_get(&reload->view));
  g_weak_ref_clear(&reload->view);
  if (view == nullptr) return;
  if (StateOf(view) != nullptr) webkit_web_view_load_uri(view, reload->uri.c_str());
  g_object_unref(view);
}

// Lets the load of `failing_uri` go on when the extra CA file vouches for
// its certificate: WebKit is told to accept the certificate for that host
// and the page is loaded again. The allowance goes straight to the network
// process while a load goes there through the page process, and on a
// loaded machine the load may come first and fail again: the load waits
// for the answer to a request sent behind the allowance on the same way.
bool AllowThroughExtraCa(WebKitWebView* view, const gchar* failing_uri,
                         GTlsCertificate* certificate) {
  const std::string ca_file = ExtraCaFile();
  if (ca_file.empty() || failing_uri == nullptr || certificate == nullptr) return false;
  GUri* parsed = g_uri_parse(failing_uri, G_URI_FLAGS_NONE, nullptr);
  if (parsed == nullptr) return false;
  const std::string host = g_uri_get_host(parsed) ? g_uri_get_host(parsed) : "";
  g_uri_unref(parsed);
  if (host.empty()) return false;
  const auto key = std::make_pair(host, Fingerprint(certificate));
  if (g_allowed[key] >= kMaxAllowances) return false;
  if (!TrustedByExtraCa(ca_file, failing_uri, certificate)) return false;
  ++g_allowed[key];
  WebKitWebContext* context = webkit_web_view_get_context(view);
  webkit_web_context_allow_tls_certificate_for_host(context, certificate, host.c_str());
  auto* reload = new PendingReload{{}, failing_uri};
  g_weak_ref_init(&reload->view, view);
  webkit_website_data_manager_fetch(webkit_web_context_get_website_data_manager(context),
                                    WEBKIT_WEBSITE_DATA_COOKIES, nullptr, OnAllowanceArrived,
                                    reload);
  return true;
}

gboolean OnTlsErrors(WebKitWebView* view, gchar* failing_uri, GTlsCertificate* certificate,
                     GTlsCertificateFlags, gpointer) {
  if (AllowThroughExtraCa(view, failing_uri, certificate)) return TRUE;
  // Refused: WebKit ends the load and shows its error page.
  ++g_refused_certificates;
  return FALSE;
}

// Addresses as WebKit reports them may differ from the ones asked for by a
// "/" for an empty path.
bool SameAddress(std::string a, std::string b) {
  if (!a.empty() && a.back() == '/') a.pop_back();
  if (!b.empty() && b.back() == '/') b.pop_back();
  return a == b;
}

// Records the address a load is on: the one to load again after a crash.
// A new address starts a new count of reloads.
void SetAddress(PageState* state, const std::string& address) {
  if (state == nullptr || address.empty()) return;
  if (!SameAddress(address, state->address)) state->reloads = 0;
  state->address = address;
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_FINISHED) {
    RequestCookies();
    return;
  }
  PageState* state = StateOf(view);
  const gchar* uri = webkit_web_view_get_uri(view);
  if (state == nullptr || uri == nullptr) return;
  // Events of a load that began before the last Navigate (the blank page a
  // view starts with) must not take the place of the page asked for.
  if (state->navigating) {
    if (!SameAddress(uri, state->address)) return;
    state->navigating = false;
  }
  SetAddress(state, uri);
}

void OnPageProcessGone(WebKitWebView* view, WebKitWebProcessTerminationReason reason, gpointer) {
  // Ended by the browser's own call is no crash.
  if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API) return;
  ++g_page_crashes;
  PageState* state = StateOf(view);
  if (state == nullptr || state->address.empty() || state->reloads >= kMaxReloadsAfterCrash) return;
  ++state->reloads;
  webkit_web_view_load_uri(view, state->address.c_str());
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
  const std::string start_utf8 = start.IsEmpty() ? std::string() : GbkToUtf8(start.str());
  // The view starts its first load at once, so it is given the page itself
  // rather than a blank page with the real one asked for behind it.
  //
  // WebKit's drawing is left as WebKit chooses: it draws in software by
  // itself where there is no GPU (a virtual display, a remote desktop).
  // Switching hardware acceleration off here, after the view has started
  // that first load, crashes WebKitGTK 2.50's page process as soon as the
  // view is shown, and the page never loads.
  wxWebView* view = wxWebView::New(
      parent, wxID_ANY,
      start_utf8.empty() ? wxString(wxWebViewDefaultURLStr) : wxString::FromUTF8(start_utf8), pos,
      size, wxWebViewBackendWebKit);
  if (view == nullptr) return nullptr;
  WebKitWebView* native = NativeView(view);
  g_object_set_data_full(G_OBJECT(native), "tovrane-page", new PageState{start_utf8, false, 0},
                         [](gpointer p) { delete static_cast<PageState*>(p); });
  g_signal_connect(native, "load-failed-with-tls-errors", G_CALLBACK(OnTlsErrors), nullptr);
  g_signal_connect(native, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
  g_signal_connect(native, "web-process-terminated", G_CALLBACK(OnPageProcessGone), nullptr);
  g_browsers.push_back(view);
  view->Bind(wxEVT_DESTROY, [view](wxWindowDestroyEvent& e) {
    if (e.GetEventObject() == view) Forget(view);
    e.Skip();
  });
  if (g_timer == nullptr) g_timer = new CookieTimer;
  if (!g_timer->IsRunning()) g_timer->Start(1000);
  return view;
}

void Navigate(wxWindow* browser, const CString& url) {
  auto* view = dynamic_cast<wxWebView*>(browser);
  if (view == nullptr || url.IsEmpty()) return;
  const std::string utf8 = GbkToUtf8(url.str());
  if (PageState* state = StateOf(NativeView(view))) {
    SetAddress(state, utf8);
    state->navigating = true;
  }
  view->LoadURL(wxString::FromUTF8(utf8));
}

bool AnyBrowser() { return !g_browsers.empty(); }

int RefusedCertificates() { return g_refused_certificates; }

int PageCrashes() { return g_page_crashes; }

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
