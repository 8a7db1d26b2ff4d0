#include "platform/net/internet.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/file/file.h"
#include "platform/net/curl_share.h"
#include "platform/text/ascii.h"
#include "platform/thread/thread.h"

using namespace netlayer;

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// The header name of one line ("Accept" of "Accept:\ttext/html"); empty when
// the line has no colon.
std::string HeaderName(const std::string& line) {
  size_t colon = line.find(':');
  if (colon == std::string::npos) return std::string();
  size_t end = colon;
  while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
  return line.substr(0, end);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool IsSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

using Clock = std::chrono::steady_clock;

// State of one transfer that curl's callbacks fill.
struct Transfer {
  std::string* body;
  long code = 0;
  bool location_seen = false;
  // The final reply's header block has ended: what fails after this is a cut
  // body, not a missing reply.
  bool reply_begun = false;
  // The idle limit: no byte up or down (headers included) for this long.
  std::chrono::milliseconds idle{0};
  Clock::time_point last_move = Clock::now();
  curl_off_t last_down = 0;
  curl_off_t last_up = 0;
  bool timed_out = false;
  // The body may hold this many bytes at most.
  size_t max_body = 0;
  bool too_big = false;
};

// "https://host:port" of an absolute URL: what a kept connection serves.
std::string Origin(const std::string& url) {
  size_t scheme_end = url.find("://");
  if (scheme_end == std::string::npos) return url;
  size_t end = url.find_first_of("/?#", scheme_end + 3);
  return AsciiLower(url.substr(0, end));
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  size_t room = transfer->max_body - std::min(transfer->max_body, transfer->body->size());
  if (size * count > room) {
    // The bytes up to the limit are kept, as those of a body cut there.
    transfer->body->append(data, room);
    transfer->too_big = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer->body->append(data, size * count);
  transfer->last_move = Clock::now();
  return size * count;
}

// curl calls this at least once a second while a transfer waits.
int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  // The program is ending: a worker waiting here for a slow site would hold
  // up the exit, which waits for every worker before the controls go away.
  if (worker_registry::StopRequested()) return 1;  // ERROR_INTERNET_OPERATION_CANCELLED
  auto* transfer = static_cast<Transfer*>(user);
  Clock::time_point now = Clock::now();
  if (down != transfer->last_down || up != transfer->last_up) {
    transfer->last_down = down;
    transfer->last_up = up;
    transfer->last_move = now;
    return 0;
  }
  if (now - transfer->last_move >= transfer->idle) {
    transfer->timed_out = true;
    return 1;  // ends the transfer with CURLE_ABORTED_BY_CALLBACK
  }
  return 0;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  transfer->last_move = Clock::now();
  std::string_view line(data, size * count);
  if (StartsWithNoCase(line, "HTTP/")) {
    // A new reply (after a redirect or an interim 1xx): start over.
    size_t space = line.find(' ');
    transfer->code = space == std::string_view::npos
                         ? 0
                         : std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
    transfer->location_seen = false;
    transfer->reply_begun = false;
    transfer->body->clear();
  } else if (StartsWithNoCase(line, "Location:")) {
    transfer->location_seen = true;
  } else if (line == "\r\n" || line == "\n") {
    long code = transfer->code;
    bool followed = code / 100 == 3 && code != 304 && transfer->location_seen;
    transfer->reply_begun = code >= 200 && !followed;
  }
  return size * count;
}

}  // namespace

// ---------------------------------------------------------------- exception

BOOL CInternetException::GetErrorMessage(char* out, UINT size, UINT* help_context) const {
  (void)help_context;
  const char* text = nullptr;
  switch (m_dwError) {
    case ERROR_INTERNET_TIMEOUT: text = "操作超时"; break;
    case ERROR_INTERNET_INTERNAL_ERROR: text = "出现了内部错误"; break;
    case ERROR_INTERNET_INVALID_URL: text = "URL 无效"; break;
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: text = "URL 中的协议无法识别，或者不受支持"; break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED: text = "无法解析服务器的名称或地址"; break;
    case ERROR_INTERNET_OPERATION_CANCELLED: text = "操作已取消"; break;
    case ERROR_INTERNET_INCORRECT_HANDLE_STATE: text = "句柄的状态不适合请求的操作"; break;
    case ERROR_INTERNET_CANNOT_CONNECT: text = "无法与服务器建立连接"; break;
    case ERROR_INTERNET_CONNECTION_ABORTED: text = "与服务器的连接意外终止"; break;
    case ERROR_INTERNET_CONNECTION_RESET: text = "与服务器的连接已被重置"; break;
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: text = "安全证书的日期无效"; break;
    case ERROR_INTERNET_SEC_CERT_CN_INVALID: text = "安全证书上的名称无效或与站点名称不匹配"; break;
    case ERROR_INTERNET_INVALID_CA: text = "证书颁发机构无效或不正确"; break;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: text = "服务器返回的响应无效或无法识别"; break;
    case ERROR_HTTP_REDIRECT_FAILED: text = "重定向失败"; break;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR: text = "安全通道支持中出现错误"; break;
    default: break;
  }
  if (text) return CopyMessage(text, out, size);
  char fallback[64];
  std::snprintf(fallback, sizeof(fallback), "Internet 错误 %u", static_cast<unsigned>(m_dwError));
  return CopyMessage(fallback, out, size);
}

void AfxThrowInternetException(DWORD_PTR context, DWORD error) {
  SetLastError(error);
  throw new CInternetException(error, context);
}

// ------------------------------------------------------------------- file

CHttpFile::CHttpFile(std::string url, std::string verb, std::string agent, DWORD flags,
                     DWORD_PTR context)
    : url_(std::move(url)),
      verb_(std::move(verb)),
      agent_(std::move(agent)),
      flags_(flags),
      context_(context) {}

CHttpFile::~CHttpFile() = default;

BOOL CHttpFile::AddRequestHeaders(LPCSTR headers, DWORD flags, int length) {
  if (sent_) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    return FALSE;
  }
  if (!headers) return FALSE;
  std::string text = length < 0 ? std::string(headers)
                                : std::string(headers, strnlen(headers, static_cast<size_t>(length)));
  BOOL all_added = TRUE;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string name = HeaderName(line);
    if (name.empty()) {
      all_added = FALSE;
      continue;
    }
    auto existing = headers_.end();
    for (auto it = headers_.begin(); it != headers_.end(); ++it) {
      if (SameName(HeaderName(*it), name)) {
        existing = it;
        break;
      }
    }
    if (flags & HTTP_ADDREQ_FLAG_REPLACE) {
      if (existing != headers_.end()) {
        *existing = line;
        continue;
      }
    } else if ((flags & HTTP_ADDREQ_FLAG_ADD_IF_NEW) && existing != headers_.end()) {
      SetLastError(12155);  // ERROR_HTTP_HEADER_ALREADY_EXISTS
      all_added = FALSE;
      continue;
    }
    headers_.push_back(line);
  }
  return all_added;
}

BOOL CHttpFile::SendRequest(LPCSTR headers, DWORD headers_length, LPVOID optional,
                            DWORD optional_length) {
  if (headers && *headers) {
    AddRequestHeaders(headers, HTTP_ADDREQ_FLAG_ADD,
                      headers_length ? static_cast<int>(headers_length) : -1);
  }
  request_body_.assign(static_cast<const char*>(optional ? optional : ""),
                       optional ? optional_length : 0);
  Perform();
  return TRUE;
}

void CHttpFile::Perform() {
  sent_ = true;
  status_ = 0;
  final_url_.clear();
  body_.clear();
  read_pos_ = 0;
  broken_error_ = 0;

  LentHandle lent(Origin(url_));
  CURL* handle = lent.get();
  if (!handle) AfxThrowInternetException(context_, ERROR_INTERNET_INTERNAL_ERROR);

  const bool is_post = verb_ == "POST";
  curl_slist* list = nullptr;
  bool has_content_type = false;
  for (const std::string& line : headers_) {
    std::string name = HeaderName(line);
    if (SameName(name, "Content-Type")) has_content_type = true;
    // curl takes "Name:" with nothing after it as "drop this header";
    // "Name;" is its way of sending an empty one.
    size_t colon = line.find(':');
    bool empty_value = true;
    for (size_t i = colon + 1; i < line.size(); ++i) {
      if (!IsSpaceOrTab(line[i])) empty_value = false;
    }
    list = curl_slist_append(list, empty_value ? (name + ";").c_str() : line.c_str());
  }
  if (is_post) {
    // Only what the caller added goes out: no type of curl's choosing, and no
    // "Expect: 100-continue" wait before the body.
    if (!has_content_type) list = curl_slist_append(list, "Content-Type:");
    list = curl_slist_append(list, "Expect:");
  }

  InternetTimeouts timeouts = GetInternetTimeouts();
  Transfer transfer;
  transfer.body = &body_;
  transfer.max_body = GetReplySizeLimit();

  curl_easy_setopt(handle, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION,
                   http10_ ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.total.count()));
  transfer.idle = timeouts.idle;
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  if (!agent_.empty()) curl_easy_setopt(handle, CURLOPT_USERAGENT, agent_.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST,
                   (flags_ & INTERNET_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
  std::shared_ptr<void> trust = UseTrustStore(handle);
  if (is_post) {
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request_body_.size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request_body_.data());
  } else if (verb_ == "HEAD") {
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  } else if (verb_ != "GET") {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, verb_.c_str());
  }

  CURLcode result = curl_easy_perform(handle);
  long code = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
  const char* final_url = nullptr;
  curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &final_url);
  DWORD error = transfer.timed_out ? ERROR_INTERNET_TIMEOUT : MapCurlError(result, handle);
  // An over-size reply, or a header line longer than curl takes (which it
  // reports as running out of memory), is not a reply of a real site.
  if (transfer.too_big || (result == CURLE_OUT_OF_MEMORY && !transfer.reply_begun))
    error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
  // The handle is reset, forgetting the list, when it goes back.
  curl_slist_free_all(list);

  if (result != CURLE_OK) {
    if (!transfer.reply_begun) {
      body_.clear();
      AfxThrowInternetException(context_, error);
    }
    broken_error_ = error;
  }
  status_ = code;
  final_url_ = final_url ? final_url : url_;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& status) const {
  if (!sent_ || status_ == 0) return FALSE;
  status = static_cast<DWORD>(status_);
  return TRUE;
}

BOOL CHttpFile::QueryOption(DWORD option, CString& value) const {
  if (option != INTERNET_OPTION_URL || !sent_ || status_ == 0) return FALSE;
  value = CString(final_url_);
  return TRUE;
}

void CHttpFile::ThrowIfBroken() const {
  if (broken_error_) AfxThrowInternetException(context_, broken_error_);
}

BOOL CHttpFile::ReadString(CString& line) {
  line.Empty();
  if (read_pos_ >= body_.size()) {
    ThrowIfBroken();
    return FALSE;
  }
  size_t newline = body_.find('\n', read_pos_);
  if (newline == std::string::npos) {
    // The last line has no LF: it is a line unless the transfer broke there.
    ThrowIfBroken();
    line = CString(body_.substr(read_pos_));
    read_pos_ = body_.size();
    return TRUE;
  }
  line = CString(body_.substr(read_pos_, newline - read_pos_));
  read_pos_ = newline + 1;
  return TRUE;
}

UINT CHttpFile::Read(void* buffer, UINT count) {
  size_t left = body_.size() - read_pos_;
  if (left == 0) {
    ThrowIfBroken();
    return 0;
  }
  size_t n = count < left ? count : left;
  std::memcpy(buffer, body_.data() + read_pos_, n);
  read_pos_ += n;
  return static_cast<UINT>(n);
}

void CHttpFile::Close() {
  body_.clear();
  body_.shrink_to_fit();
  read_pos_ = 0;
  broken_error_ = 0;
}

// ------------------------------------------------------------- connection

CHttpConnection::CHttpConnection(std::string server, INTERNET_PORT port, DWORD flags,
                                 std::string agent, DWORD_PTR context)
    : server_(std::move(server)),
      port_(port),
      flags_(flags),
      agent_(std::move(agent)),
      context_(context) {}

CHttpFile* CHttpConnection::OpenRequest(LPCSTR verb, LPCSTR object, LPCSTR referer,
                                        DWORD_PTR context, LPCSTR* accept_types,
                                        LPCSTR version, DWORD flags) {
  (void)context_;
  DWORD all_flags = flags_ | flags;
  bool secure = (all_flags & INTERNET_FLAG_SECURE) != 0;
  INTERNET_PORT port = port_;
  if (port == INTERNET_INVALID_PORT_NUMBER)
    port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;

  std::string url = secure ? "https://" : "http://";
  bool ipv6 = server_.find(':') != std::string::npos && server_.front() != '[';
  url += ipv6 ? "[" + server_ + "]" : server_;
  if (port != (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT))
    url += ":" + std::to_string(port);
  std::string path = object ? object : "";
  if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
  url += path;

  auto* file = new CHttpFile(url, verb && *verb ? verb : "GET", agent_, all_flags, context);
  file->http10_ = version && std::strcmp(version, "HTTP/1.0") == 0;
  if (referer && *referer) file->headers_.push_back(std::string("Referer: ") + referer);
  if (accept_types && accept_types[0]) {
    std::string accept = "Accept: ";
    for (int i = 0; accept_types[i]; ++i) {
      if (i) accept += ", ";
      accept += accept_types[i];
    }
    file->headers_.push_back(accept);
  }
  return file;
}

// ---------------------------------------------------------------- session

CInternetSession::CInternetSession(LPCSTR agent, DWORD_PTR context, DWORD access_type,
                                   LPCSTR proxy_name, LPCSTR proxy_bypass, DWORD flags)
    : agent_(agent ? agent : ExecutableTitle()), context_(context) {
  (void)access_type;
  (void)proxy_name;
  (void)proxy_bypass;
  (void)flags;
}

CHttpFile* CInternetSession::OpenURL(LPCSTR url, DWORD_PTR context, DWORD flags,
                                     LPCSTR headers, DWORD headers_length) {
  DWORD service = 0;
  CString server, object;
  INTERNET_PORT port = 0;
  if (!AfxParseURL(url, service, server, object, port))
    AfxThrowInternetException(context, ERROR_INTERNET_INVALID_URL);
  if (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS) return nullptr;

  auto* file = new CHttpFile(url, "GET", agent_, flags, context);
  if (headers && *headers) {
    file->AddRequestHeaders(headers, HTTP_ADDREQ_FLAG_ADD,
                            headers_length ? static_cast<int>(headers_length) : -1);
  }
  try {
    file->Perform();
  } catch (...) {
    delete file;
    throw;
  }
  return file;
}

CHttpConnection* CInternetSession::GetHttpConnection(LPCSTR server, DWORD flags,
                                                     INTERNET_PORT port, LPCSTR user,
                                                     LPCSTR password) {
  (void)user;
  (void)password;
  return new CHttpConnection(server ? server : "", port, flags, agent_, context_);
}
