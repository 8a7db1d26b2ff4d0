#pragma once
// The internet library's sessions, connections and request files as the
// program uses them, over libcurl.
//
// One request is one curl transfer, on a handle lent from a process-wide pool
// that keeps connections alive and TLS sessions for later requests to the
// same host and port (curl_share.h), as the system's library keeps its
// connections for the whole process. Every handle shares the process-wide
// store of platform/net/cookies.h (cookies that replies set ride on later
// requests from any thread), follows redirects, speaks HTTP/1.1 and sends the
// session's agent text as User-Agent unless a request header sets one.
// HTTPS peers are checked against the system's CA store (plus the extra CA
// file of SetExtraCaFile); only a request opened with
// INTERNET_FLAG_IGNORE_CERT_CN_INVALID accepts a certificate for another name.
// A certificate is checked when its connection is made; a kept connection or
// session is used again only with the same check settings.
//
// Failures are thrown as CInternetException* (new; the catcher calls Delete())
// with the Windows internet library's error numbers; the number is also left
// in the calling thread's GetLastError(). While the worker registry's stop
// signal is raised (the program is ending), requests give up within a second
// with ERROR_INTERNET_OPERATION_CANCELLED.
//
// Threads: any number of threads may each use their own session, connection
// and file objects at once; one object belongs to one thread at a time.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/text/CString.h"
#include "platform/types.h"

using DWORD_PTR = std::uintptr_t;
using INTERNET_PORT = WORD;

// Open and request flags.
constexpr DWORD INTERNET_FLAG_TRANSFER_ASCII = 0x00000001;
constexpr DWORD INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;
constexpr DWORD INTERNET_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000;
constexpr DWORD INTERNET_FLAG_KEEP_CONNECTION = 0x00400000;
constexpr DWORD INTERNET_FLAG_SECURE = 0x00800000;
constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
constexpr DWORD INTERNET_FLAG_EXISTING_CONNECT = 0x20000000;
constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;

constexpr DWORD HTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
constexpr DWORD HTTP_ADDREQ_FLAG_ADD = 0x20000000;
constexpr DWORD HTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;

// Options that CHttpFile::QueryOption reports.
constexpr DWORD INTERNET_OPTION_URL = 34;

constexpr INTERNET_PORT INTERNET_INVALID_PORT_NUMBER = 0;
constexpr INTERNET_PORT INTERNET_DEFAULT_FTP_PORT = 21;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;

// Service types that AfxParseURL reports.
constexpr DWORD AFX_INET_SERVICE_FTP = 1;
constexpr DWORD AFX_INET_SERVICE_GOPHER = 2;
constexpr DWORD AFX_INET_SERVICE_HTTP = 3;
constexpr DWORD AFX_INET_SERVICE_UNK = 0x1000;
constexpr DWORD AFX_INET_SERVICE_FILE = 0x1001;
constexpr DWORD AFX_INET_SERVICE_HTTPS = 0x100B;

// Error numbers of the Windows internet library (and the two system ones the
// cookie calls report).
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_INTERNET_SEC_CERT_DATE_INVALID = 12037;
constexpr DWORD ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
constexpr DWORD ERROR_INTERNET_INVALID_CA = 12045;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;
constexpr DWORD ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;

// The calling thread's last error number, as the system keeps it per thread.
DWORD GetLastError();
void SetLastError(DWORD error);

class CInternetException : public CException {
 public:
  explicit CInternetException(DWORD error, DWORD_PTR context = 1)
      : m_dwError(error), m_dwContext(context) {}
  // The system's text for the error number (GBK).
  BOOL GetErrorMessage(char* out, UINT size, UINT* help_context = nullptr) const override;

  DWORD m_dwError;
  DWORD_PTR m_dwContext;
};

// Sets the thread's last error to `error` and throws it.
[[noreturn]] void AfxThrowInternetException(DWORD_PTR context, DWORD error);

// Splits an absolute URL. `object` is the path with query ("/" when empty);
// `port` the explicit one or the scheme's default. FALSE for text that is not
// "scheme://host..." (service type AFX_INET_SERVICE_UNK then).
BOOL AfxParseURL(LPCSTR url, DWORD& service_type, CString& server, CString& object,
                 INTERNET_PORT& port);

class CHttpFile {
 public:
  CHttpFile(const CHttpFile&) = delete;
  CHttpFile& operator=(const CHttpFile&) = delete;
  ~CHttpFile();

  // Adds header lines (several may be separated by CR LF) to a request not
  // yet sent. With HTTP_ADDREQ_FLAG_ADD_IF_NEW a line whose header name the
  // request already has is skipped; REPLACE replaces it; ADD adds it anyway.
  // Each line goes out exactly as given (spacing and TABs kept), in order.
  BOOL AddRequestHeaders(LPCSTR headers, DWORD flags = HTTP_ADDREQ_FLAG_ADD_IF_NEW,
                         int length = -1);
  // Sends the request with `optional_length` bytes of `optional` as its body
  // (exactly those bytes) and receives the reply. Throws CInternetException*.
  BOOL SendRequest(LPCSTR headers = nullptr, DWORD headers_length = 0,
                   LPVOID optional = nullptr, DWORD optional_length = 0);
  // The final reply's status code (after redirects); FALSE before a reply.
  BOOL QueryInfoStatusCode(DWORD& status) const;
  // INTERNET_OPTION_URL: the address the reply came from, the last one a
  // redirect led to. FALSE before a reply and for any other option.
  BOOL QueryOption(DWORD option, CString& value) const;

  // The next line of the body: ends at LF, which is dropped (a CR before it
  // stays). FALSE at the end of the body. Throws CInternetException* where the
  // transfer broke off; a line cut by that is not returned.
  BOOL ReadString(CString& line);
  // Up to `count` bytes of the body; 0 at its end. Throws like ReadString.
  UINT Read(void* buffer, UINT count);
  void Close();

 private:
  friend class CInternetSession;
  friend class CHttpConnection;
  CHttpFile(std::string url, std::string verb, std::string agent, DWORD flags,
            DWORD_PTR context);
  // Throws when the transfer failed before a reply came.
  void Perform();
  // Throws the transfer's error when the body was cut.
  void ThrowIfBroken() const;

  std::string url_;
  std::string verb_;
  std::string agent_;
  DWORD flags_;
  DWORD_PTR context_;
  bool http10_ = false;
  std::vector<std::string> headers_;
  std::string request_body_;
  bool sent_ = false;
  long status_ = 0;
  std::string final_url_;  // after redirects
  std::string body_;
  size_t read_pos_ = 0;
  DWORD broken_error_ = 0;  // error after the reply began; raised at the body's cut
};

class CHttpConnection {
 public:
  CHttpConnection(const CHttpConnection&) = delete;
  CHttpConnection& operator=(const CHttpConnection&) = delete;
  ~CHttpConnection() = default;

  // A request for `object` (path and query) on this connection. `referer`
  // and `accept_types` (a null-terminated array) become headers when given;
  // `version` "HTTP/1.0" asks for HTTP/1.0. INTERNET_FLAG_SECURE in the
  // connection's or the request's flags makes it HTTPS. The caller deletes it.
  CHttpFile* OpenRequest(LPCSTR verb, LPCSTR object, LPCSTR referer = nullptr,
                         DWORD_PTR context = 1, LPCSTR* accept_types = nullptr,
                         LPCSTR version = nullptr,
                         DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
  void Close() {}

 private:
  friend class CInternetSession;
  CHttpConnection(std::string server, INTERNET_PORT port, DWORD flags, std::string agent,
                  DWORD_PTR context);

  std::string server_;
  INTERNET_PORT port_;
  DWORD flags_;
  std::string agent_;
  DWORD_PTR context_;
};

class CInternetSession {
 public:
  // `agent` null: the application name (the executable's file name without
  // its extension). Proxies come from the environment, as the system's
  // configured ones do.
  explicit CInternetSession(LPCSTR agent = nullptr, DWORD_PTR context = 1,
                            DWORD access_type = INTERNET_OPEN_TYPE_PRECONFIG,
                            LPCSTR proxy_name = nullptr, LPCSTR proxy_bypass = nullptr,
                            DWORD flags = 0);
  CInternetSession(const CInternetSession&) = delete;
  CInternetSession& operator=(const CInternetSession&) = delete;
  ~CInternetSession() = default;

  // GETs `url` at once and returns its reply to read; the caller deletes it.
  // Any HTTP status is a reply. Null for a scheme other than http and https;
  // throws CInternetException* when no reply came.
  CHttpFile* OpenURL(LPCSTR url, DWORD_PTR context = 1,
                     DWORD flags = INTERNET_FLAG_TRANSFER_ASCII, LPCSTR headers = nullptr,
                     DWORD headers_length = 0);
  // `port` INTERNET_INVALID_PORT_NUMBER: the scheme's default. The caller
  // deletes it.
  CHttpConnection* GetHttpConnection(LPCSTR server, DWORD flags,
                                     INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER,
                                     LPCSTR user = nullptr, LPCSTR password = nullptr);
  void Close() {}

  const std::string& agent() const { return agent_; }

 private:
  std::string agent_;
  DWORD_PTR context_;
};

// Layer settings, process-wide; any thread may change them (requests that
// have begun keep the values they started with).

struct InternetTimeouts {
  // Longest wait for the connection (TLS handshake included).
  std::chrono::milliseconds connect{15000};
  // A transfer that moves no byte (up or down, headers included) for this
  // long has timed out; checked about once a second.
  std::chrono::milliseconds idle{30000};
  // Longest time for the whole request, redirects included, however the
  // bytes trickle in. Ample for any real page.
  std::chrono::milliseconds total{5 * 60 * 1000};
};
void SetInternetTimeouts(const InternetTimeouts& timeouts);
InternetTimeouts GetInternetTimeouts();

// The largest reply body a request keeps; a longer one ends the request with
// ERROR_HTTP_INVALID_SERVER_RESPONSE after the bytes up to the limit (as a
// body cut there). So does a reply header line longer than 100 KiB.
constexpr size_t kDefaultReplySizeLimit = 64u << 20;
void SetReplySizeLimit(size_t bytes);
size_t GetReplySizeLimit();

// A PEM file whose certificates are trusted in addition to the system's
// store (native path); "" trusts the system's store alone. FALSE when the
// file cannot be read (the system's store alone is trusted then).
bool SetExtraCaFile(const std::string& native_path);
