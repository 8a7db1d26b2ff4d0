#pragma once
// The four blocking request functions. Each call opens its own internet
// session; all share the process-wide cookie store. Callable from any thread.
#include <mutex>
#include <string>

#include "platform/text/CString.h"

class CInternetException;

// The signed-in session's cookie text ("name=value; name=value"), zero-terminated.
// Written on the user-interface thread at sign-in; read before every request
// to the marketplace.
constexpr int kCookieBufferSize = 8192;
extern char g_CookieBuffer[kCookieBufferSize];
// Guards g_CookieBuffer: a sign-in may rewrite it while workers read it.
// Hold it only to copy the text in or out, never across a request.
std::mutex& CookieBufferLock();
// A copy of the cookie text, taken under the lock.
CString CookieBufferText();

// GET with the shop session. Lines joined by "\r\n". Throws CInternetException*.
CString HttpGetWithCookie(CString url);
// GET of a UTF-8 page without the session, converted to GBK. Throws CInternetException*.
CString HttpGetUtf8(CString url);
// The text of a network error box for a request to `url`: what was tried
// and on which host, what is missing for it, and the network's reason:
// "无法连接<what>（<host of url>），<missing>：<reason>".
CString NetworkFailureText(const CString& what, const CString& url, const CString& missing,
                           const CInternetException& error);
// HttpGetWithCookie, except that a network failure comes out as an internet
// exception (its error number kept) whose text is NetworkFailureText's for
// `what` on the host of `url`: the error box the dispatcher shows says what
// could not be reached, not only why.
CString HttpGetWithCookieNaming(const CString& url, const char* what, const char* missing);
// GET without the session; network errors give what was read so far (maybe empty).
CString HttpGetQuiet(CString url);
// Form POST with the session. Returns 0 done, 1 not http(s) or a network error,
// 2 a time-out; `reply` holds the body of a 200 answer, empty for another
// status, or "dwError = <n>" after a network error. `reserved` and `unused`
// are carried for callers that fill them; they are never read. `final_url`,
// when given, receives the address the reply came from after redirects
// (empty when no reply came). `body`, when given, receives the bytes of a
// 200 answer's body as they came, zero bytes included, before `reply`'s
// round trip through the ANSI code page (empty for any other outcome).
int HttpPostForm(int reserved, CString url, CString form, CString& reply, CString unused,
                 CString* final_url = nullptr, std::string* body = nullptr);

// Whether `reply` is HttpPostForm's text for a request that failed
// ("dwError = <n>": no answer came).
bool IsPostFailure(const CString& reply);

// HttpPostForm's reply to a seller-centre form, except that a request that
// a redirect took to the Login host is taken for what it is, an ended
// session (the seller centre sends a signed-out request to the sign-in
// page): the reply is then empty, as an ended session's answer, and
// `signed_out` is set. `body` as HttpPostForm's (empty when signed out).
CString PostSellerForm(const CString& url, const CString& form, bool* signed_out = nullptr,
                       std::string* body = nullptr);

// The cookie domain under which the session's cookie text is set before a
// request: ".taobao.com" for the www host "www.taobao.com", so that every host
// of the marketplace receives it; the host itself for an address or a single
// name ("127.0.0.1:8080" gives "127.0.0.1", which serves every port).
std::string MarketplaceCookieDomain(const CString& www_host);
