#include "services/http.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "platform/net/cookies.h"
#include "platform/net/internet.h"
#include "platform/text/ascii.h"
#include "platform/text/codepage.h"
#include "services/hosts.h"

char g_CookieBuffer[kCookieBufferSize] = {0};

std::mutex& CookieBufferLock() {
  static std::mutex lock;
  return lock;
}

CString CookieBufferText() {
  std::lock_guard<std::mutex> lock(CookieBufferLock());
  return CString(std::string(g_CookieBuffer, strnlen(g_CookieBuffer, kCookieBufferSize)));
}

namespace {

constexpr DWORD kGetFlags = INTERNET_FLAG_TRANSFER_ASCII;
constexpr DWORD kReloadGetFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_ASCII;
constexpr DWORD kHttpConnectionFlags = INTERNET_FLAG_KEEP_CONNECTION;
constexpr DWORD kHttpsConnectionFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_SECURE;
constexpr DWORD kHttpPostFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kHttpsPostFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                  INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;

}  // namespace

// The cookie domain of the marketplace, from its www host: every host of the
// marketplace must receive the session, so "www.taobao.com" gives the domain
// cookie ".taobao.com". An address or a single name ("127.0.0.1:8080",
// "localhost") cannot carry a domain cookie; a cookie for that host reaches it
// on every port.
std::string MarketplaceCookieDomain(const CString& www_host) {
  std::string host = AsciiLower(www_host.str());
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    return host.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  size_t colon = host.rfind(':');
  if (colon != std::string::npos) host.resize(colon);
  if (host.find_first_not_of("0123456789.") == std::string::npos) return host;
  size_t dot = host.find('.');
  if (dot == std::string::npos) return host;
  if (host.find('.', dot + 1) == std::string::npos) return "." + host;
  return host.substr(dot);
}

namespace {

// Hands g_CookieBuffer to the cookie store as the cookies of the marketplace's
// home address, one cookie per name=value pair; only when the text has
// changed since it last went in (the store keeps it, and the fifteen sync
// producers need not rewrite it before every page).
void SetSessionCookieText() {
  SetCookieTextOnce(MarketplaceCookieDomain(Hosts().www), CookieBufferText().str());
}

// Through UTF-16 and back in the ANSI code page: valid GBK stays as it is,
// bytes that are not GBK come back as the conversion's replacement.
CString AnsiRoundTrip(const CString& text) {
  return CString(Utf16ToCodePage(CP_ACP, CodePageToUtf16(CP_ACP, text.str())));
}

// Reads every line of `file`, each followed by CR LF.
void ReadLines(CHttpFile* file, CString& result) {
  CString line;
  while (file->ReadString(line)) {
    result += line;
    result += "\r\n";
  }
}

// GET of `url` into lines; throws CInternetException*. A scheme the library
// cannot open gives no text.
CString GetLines(const CString& url, DWORD flags, bool with_session) {
  CString result;
  CInternetSession session;
  if (with_session) SetSessionCookieText();
  std::unique_ptr<CHttpFile> file(session.OpenURL(url, 1, flags));
  if (file) {
    ReadLines(file.get(), result);
    file->Close();
  }
  session.Close();
  return result;
}

}  // namespace

CString HttpGetWithCookie(CString url) {
  Hosts();  // the trusted CAs are in place before the first request
  return AnsiRoundTrip(GetLines(url, kGetFlags, true));
}

namespace {

// An internet exception that carries the text of its error box.
class NamedInternetException : public CInternetException {
 public:
  NamedInternetException(DWORD error, CString text)
      : CInternetException(error), text_(std::move(text)) {}
  BOOL GetErrorMessage(char* out, UINT size, UINT* help_context = nullptr) const override {
    (void)help_context;
    return CopyMessage(text_, out, size);
  }

 private:
  CString text_;
};

}  // namespace

CString NetworkFailureText(const CString& what, const CString& url, const CString& missing,
                           const CInternetException& error) {
  DWORD service = 0;
  CString host, object;
  INTERNET_PORT port = 0;
  if (!AfxParseURL(url, service, host, object, port)) host = url;
  char reason[512] = "";
  error.GetErrorMessage(reason, sizeof reason);
  return "无法连接" + what + "（" + host + "），" + missing + "：" + reason;
}

CString HttpGetWithCookieNaming(const CString& url, const char* what, const char* missing) {
  try {
    return HttpGetWithCookie(url);
  } catch (CInternetException* error) {
    CString text = NetworkFailureText(what, url, missing, *error);
    const DWORD number = error->m_dwError;
    error->Delete();
    throw new NamedInternetException(number, std::move(text));
  }
}

CString HttpGetUtf8(CString url) {
  Hosts();
  CString result = GetLines(url, kReloadGetFlags, false);
  return CString(Utf16ToCodePage(CP_ACP, CodePageToUtf16(CP_UTF8, result.str())));
}

CString HttpGetQuiet(CString url) {
  Hosts();
  CString result;
  CInternetSession session;
  try {
    std::unique_ptr<CHttpFile> file(session.OpenURL(url, 1, kReloadGetFlags));
    if (file) ReadLines(file.get(), result);
  } catch (CInternetException* error) {
    // What was read before the failure is the answer.
    error->Delete();
  }
  return result;
}

int HttpPostForm(int reserved, CString url, CString form, CString& reply, CString unused,
                 CString* final_url, std::string* body) {
  (void)reserved;
  (void)unused;
  const HostSettings& hosts = Hosts();
  reply.Empty();
  if (final_url) final_url->Empty();
  if (body) body->clear();
  CInternetSession session(nullptr, 1);

  DWORD service = 0;
  CString server, object;
  INTERNET_PORT port = 0;
  AfxParseURL(url, service, server, object, port);
  if (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS) return 1;
  const bool https = service == AFX_INET_SERVICE_HTTPS;

  try {
    SetSessionCookieText();
    std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection(
        server, https ? kHttpsConnectionFlags : kHttpConnectionFlags, port));
    std::unique_ptr<CHttpFile> file(connection->OpenRequest(
        "POST", object, nullptr, 1, nullptr, nullptr, https ? kHttpsPostFlags : kHttpPostFlags));
    CString referer = "Referer:\thttps://" + hosts.seller +
                      "/auction/merchandise/auction_list.htm?spm=0.0.0.0.CLyroS";
    const char* headers[] = {
        "User-Agent: Mozilla/5.0 (Windows NT 6.1; rv:2.0) Gecko/20100101 Firefox/4.0",
        "Accept:\ttext/html, application/xhtml+xml, */*",
        "Accept-Language:\tzh-CN",
        "Accept-Charset: GBK",
        "Keep-Alive: 115",
        "DNT: 1",
        "Connection:Keep-Alive",
        referer,
        "Content-Type:\tapplication/x-www-form-urlencoded",
    };
    for (const char* header : headers) file->AddRequestHeaders(header, HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    file->SendRequest(nullptr, 0, const_cast<char*>(form.GetString()),
                      static_cast<DWORD>(form.GetLength()));

    DWORD status = 0;
    file->QueryInfoStatusCode(status);
    if (final_url) file->QueryOption(INTERNET_OPTION_URL, *final_url);
    CString text;
    if (status == 200) {
      char buffer[1025];
      while (true) {
        std::memset(buffer, 0, sizeof(buffer));
        UINT count = file->Read(buffer, 1024);
        if (count == 0) break;
        if (body) body->append(buffer, count);
        buffer[count] = '\0';
        text += buffer;  // up to the first zero byte of the chunk
      }
      text = AnsiRoundTrip(text);
    }
    reply = text;
    return 0;
  } catch (CInternetException* error) {
    if (body) body->clear();  // a part of a body is no answer
    reply.Format("dwError = %d", static_cast<int>(GetLastError()));
    int code = error->m_dwError == ERROR_INTERNET_TIMEOUT ? 2 : 1;
    error->Delete();
    return code;
  }
}

namespace {

// `host` without the final dot that may end a fully qualified name
// ("login.taobao.com." names the same host as "login.taobao.com").
std::string WithoutFinalDot(std::string host) {
  if (host.size() > 1 && host.back() == '.') host.pop_back();
  return host;
}

// Whether `url` lies on the Login host (with its port when the setting names one).
bool IsSignInAddress(const CString& url) {
  DWORD service = 0;
  CString server, object;
  INTERNET_PORT port = 0;
  if (!AfxParseURL(url, service, server, object, port)) return false;
  std::string login = AsciiLower(Hosts().login.str());
  size_t colon = login.rfind(':');
  if (colon != std::string::npos && login.find(']', colon) == std::string::npos) {
    if (login.substr(colon + 1) != std::to_string(port)) return false;
    login.resize(colon);
  }
  if (login.size() > 1 && login.front() == '[' && login.back() == ']')
    login = login.substr(1, login.size() - 2);
  login = WithoutFinalDot(login);
  return !login.empty() && WithoutFinalDot(AsciiLower(server.str())) == login;
}

}  // namespace

bool IsPostFailure(const CString& reply) { return reply.Find("dwError = ") == 0; }

CString PostSellerForm(const CString& url, const CString& form, bool* signed_out,
                       std::string* body) {
  CString reply, final_url;
  HttpPostForm(0, url, form, reply, "", &final_url, body);
  // Sent there by a redirect (a setting that puts the sign-in and the
  // seller centre on one host leaves nothing to tell them apart).
  const bool on_sign_in = IsSignInAddress(final_url) && !IsSignInAddress(url);
  if (signed_out) *signed_out = on_sign_in;
  if (on_sign_in) {
    reply.Empty();
    if (body) body->clear();
  }
  return reply;
}
