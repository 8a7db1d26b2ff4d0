#include "platform/net/cookies.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/net/curl_share.h"
#include "platform/net/internet.h"
#include "platform/text/ascii.h"

using namespace netlayer;

namespace {

std::string Trim(std::string_view text) {
  size_t first = 0, last = text.size();
  while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
  while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
  return std::string(text.substr(first, last - first));
}

// A field of curl's cookie file line may hold neither a TAB nor a line end.
bool FitsLine(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

// The host (lowercase) and path of a URL; false when it has no host.
bool HostAndPath(LPCSTR url, std::string& host, std::string& path, bool& secure) {
  DWORD service = 0;
  CString server, object;
  INTERNET_PORT port = 0;
  if (!AfxParseURL(url, service, server, object, port) || server.IsEmpty()) return false;
  host = AsciiLower(server.str());
  path = object.str();
  size_t cut = path.find_first_of("?#");
  if (cut != std::string::npos) path.resize(cut);
  if (path.empty()) path = "/";
  secure = service == AFX_INET_SERVICE_HTTPS;
  return true;
}

bool DomainMatches(const CookieRecord& cookie, const std::string& host) {
  std::string domain = AsciiLower(cookie.domain);
  if (!domain.empty() && domain.front() == '.') {
    domain.erase(0, 1);
    if (host == domain) return true;
    return host.size() > domain.size() &&
           host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
           host[host.size() - domain.size() - 1] == '.';
  }
  return host == domain;
}

bool PathMatches(const std::string& cookie_path, const std::string& path) {
  if (cookie_path.empty() || cookie_path == "/") return true;
  if (path.compare(0, cookie_path.size(), cookie_path) != 0) return false;
  return path.size() == cookie_path.size() || cookie_path.back() == '/' ||
         path[cookie_path.size()] == '/';
}

// What SetCookieTextOnce put in last; guarded by its mutex, which
// ClearCookieStore takes too.
struct CookieTextMemo {
  std::mutex mutex;
  bool valid = false;
  std::string domain;
  std::string text;
};

CookieTextMemo& Memo() {
  static auto* memo = new CookieTextMemo();
  return *memo;
}

// Every cookie that `handle`'s store holds, expired ones too.
std::vector<CookieRecord> ReadStore(CURL* handle) {
  std::vector<CookieRecord> cookies;
  curl_slist* list = nullptr;
  curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &list);
  for (curl_slist* item = list; item; item = item->next) {
    std::string line = item->data;
    CookieRecord cookie;
    const char kHttpOnly[] = "#HttpOnly_";
    if (line.compare(0, sizeof(kHttpOnly) - 1, kHttpOnly) == 0) {
      cookie.http_only = true;
      line.erase(0, sizeof(kHttpOnly) - 1);
    }
    std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() < 6) continue;
    bool tail = fields[1] == "TRUE";
    cookie.domain = fields[0];
    if (tail && (cookie.domain.empty() || cookie.domain.front() != '.'))
      cookie.domain.insert(cookie.domain.begin(), '.');
    if (!tail && !cookie.domain.empty() && cookie.domain.front() == '.')
      cookie.domain.erase(0, 1);
    cookie.path = fields[2];
    cookie.secure = fields[3] == "TRUE";
    cookie.expires = std::strtoll(fields[4].c_str(), nullptr, 10);
    cookie.name = fields[5];
    cookie.value = fields.size() > 6 ? fields[6] : std::string();
    cookies.push_back(std::move(cookie));
  }
  curl_slist_free_all(list);
  return cookies;
}

}  // namespace

std::vector<CookieRecord> ParseCookieText(std::string_view text) {
  std::vector<CookieRecord> cookies;
  while (!text.empty()) {
    size_t semicolon = text.find(';');
    std::string pair = Trim(text.substr(0, semicolon));
    text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    size_t equals = pair.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    CookieRecord cookie;
    cookie.name = Trim(std::string_view(pair).substr(0, equals));
    cookie.value = Trim(std::string_view(pair).substr(equals + 1));
    cookies.push_back(std::move(cookie));
  }
  return cookies;
}

bool AddCookieToStore(const CookieRecord& cookie) {
  std::string domain = AsciiLower(cookie.domain);
  if (cookie.name.empty() || domain.empty() || domain == "." || !FitsLine(cookie.name) ||
      !FitsLine(cookie.value) || !FitsLine(domain) || !FitsLine(cookie.path) ||
      cookie.name.find('=') != std::string::npos || cookie.name.find(';') != std::string::npos ||
      cookie.value.find(';') != std::string::npos) {
    return false;
  }
  std::string path = cookie.path.empty() || cookie.path.front() != '/' ? "/" : cookie.path;
  bool tail = domain.front() == '.';
  // curl's cookie file format: domain, tail match, path, secure, expiry,
  // name, value; "#HttpOnly_" in front of the domain marks HttpOnly.
  std::string line = (cookie.http_only ? "#HttpOnly_" : "") + domain + "\t" +
                     (tail ? "TRUE" : "FALSE") + "\t" + path + "\t" +
                     (cookie.secure ? "TRUE" : "FALSE") + "\t" +
                     std::to_string(cookie.expires > 0 ? cookie.expires : 0) + "\t" + cookie.name +
                     "\t" + cookie.value;
  CURL* handle = NewSharedHandle();
  if (!handle) return false;
  bool kept = curl_easy_setopt(handle, CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
  // curl drops some cookies without a word (a "__Secure-" or "__Host-" one
  // without the secure flag, for one): only a cookie that the store now
  // holds counts as set.
  if (kept) {
    kept = false;
    for (const CookieRecord& held : ReadStore(handle)) {
      if (held.name == cookie.name && held.value == cookie.value &&
          AsciiLower(held.domain) == domain) {
        kept = true;
        break;
      }
    }
  }
  curl_easy_cleanup(handle);
  return kept;
}

std::vector<CookieRecord> ListCookieStore() {
  std::vector<CookieRecord> cookies;
  CURL* handle = NewSharedHandle();
  if (!handle) return cookies;
  long long now = static_cast<long long>(std::time(nullptr));
  for (CookieRecord& cookie : ReadStore(handle)) {
    if (cookie.expires > 0 && cookie.expires <= now) continue;
    cookies.push_back(std::move(cookie));
  }
  curl_easy_cleanup(handle);
  return cookies;
}

void SetCookieTextOnce(const std::string& domain, const std::string& text) {
  CookieTextMemo& memo = Memo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  if (memo.valid && memo.domain == domain && memo.text == text) return;
  for (CookieRecord& cookie : ParseCookieText(text)) {
    cookie.domain = domain;
    AddCookieToStore(cookie);
  }
  memo.valid = true;
  memo.domain = domain;
  memo.text = text;
}

void ClearCookieStore() {
  CookieTextMemo& memo = Memo();
  std::lock_guard<std::mutex> lock(memo.mutex);
  memo.valid = false;
  CURL* handle = NewSharedHandle();
  if (!handle) return;
  curl_easy_setopt(handle, CURLOPT_COOKIELIST, "ALL");
  curl_easy_cleanup(handle);
}

BOOL InternetSetCookieA(LPCSTR url, LPCSTR name, LPCSTR data) {
  std::string host, path;
  bool secure = false;
  if (!HostAndPath(url, host, path, secure)) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return FALSE;
  }
  std::vector<CookieRecord> cookies;
  if (name && *name) {
    CookieRecord cookie;
    cookie.name = name;
    cookie.value = data ? data : "";
    cookies.push_back(cookie);
  } else {
    cookies = ParseCookieText(data ? data : "");
  }
  // TRUE only when the store keeps every cookie of the text.
  BOOL all = cookies.empty() ? FALSE : TRUE;
  for (CookieRecord& cookie : cookies) {
    cookie.domain = host;
    if (!AddCookieToStore(cookie)) all = FALSE;
  }
  if (!all) SetLastError(87);  // ERROR_INVALID_PARAMETER
  return all;
}

BOOL InternetGetCookieExA(LPCSTR url, LPCSTR name, LPSTR data, DWORD* size, DWORD flags,
                          LPVOID reserved) {
  (void)reserved;
  std::string host, path;
  bool secure = false;
  if (!size || !HostAndPath(url, host, path, secure)) {
    SetLastError(87);
    return FALSE;
  }
  std::vector<CookieRecord> matching;
  for (CookieRecord& cookie : ListCookieStore()) {
    if (!DomainMatches(cookie, host) || !PathMatches(cookie.path, path)) continue;
    if (cookie.secure && !secure) continue;
    if (cookie.http_only && !(flags & INTERNET_COOKIE_HTTPONLY)) continue;
    if (name && *name && cookie.name != name) continue;
    matching.push_back(std::move(cookie));
  }
  if (matching.empty()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  std::stable_sort(matching.begin(), matching.end(),
                   [](const CookieRecord& a, const CookieRecord& b) {
                     return a.path.size() > b.path.size();
                   });
  std::string text;
  for (const CookieRecord& cookie : matching) {
    if (!text.empty()) text += "; ";
    text += cookie.name + "=" + cookie.value;
  }
  DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!data) {
    *size = needed;
    return TRUE;
  }
  if (*size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(data, text.c_str(), needed);
  *size = needed;
  return TRUE;
}
