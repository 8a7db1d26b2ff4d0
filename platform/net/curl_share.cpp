#include "platform/net/curl_share.h"

#include <openssl/x509_vfy.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/net/internet.h"

namespace netlayer {
namespace {

// One mutex per kind of shared data, as curl asks: it may hold the cookie
// lock and the DNS lock of the same share at once from different threads.
std::array<std::mutex, CURL_LOCK_DATA_LAST>& ShareMutexes() {
  static auto* mutexes = new std::array<std::mutex, CURL_LOCK_DATA_LAST>();
  return *mutexes;
}

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
  ShareMutexes()[static_cast<size_t>(data)].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*) {
  ShareMutexes()[static_cast<size_t>(data)].unlock();
}

std::mutex& CaMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
// Guarded by CaMutex(); a request copies the pointer and uses the blob
// without the lock (the blob itself never changes).
std::shared_ptr<const std::string>& CaBlobSlot() {
  static auto* slot = new std::shared_ptr<const std::string>();
  return *slot;
}

std::atomic<long long> g_connect_ms{15000};
std::atomic<long long> g_idle_s{30};

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return true;
}

}  // namespace

CURLSH* Share() {
  // Connections are not shared: curl does not support one connection cache
  // used by several threads at once, and each request opens its own anyway.
  static CURLSH* share = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLSH* s = curl_share_init();
    curl_share_setopt(s, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(s, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    return s;
  }();
  return share;
}

CURL* NewSharedHandle() {
  CURLSH* share = Share();
  CURL* handle = curl_easy_init();
  if (!handle) return nullptr;
  curl_easy_setopt(handle, CURLOPT_SHARE, share);
  // An empty file name turns the cookie engine on without reading a file.
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  return handle;
}

std::shared_ptr<const std::string> ExtraCaBlob() {
  std::lock_guard<std::mutex> lock(CaMutex());
  return CaBlobSlot();
}

DWORD MapCurlError(CURLcode code, CURL* handle) {
  switch (code) {
    case CURLE_OK:
      return 0;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_INTERNET_TIMEOUT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT:
      return ERROR_INTERNET_INVALID_URL;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_ABORTED_BY_CALLBACK:
      return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_PEER_FAILED_VERIFICATION: {
      long result = 0;
      if (handle) curl_easy_getinfo(handle, CURLINFO_SSL_VERIFYRESULT, &result);
      // curl checks the name itself once the handshake has accepted the
      // chain, and then leaves the chain's result unset (X509_V_OK or its
      // initial 1): a failure without a chain error is a name mismatch.
      if (result == X509_V_OK || result == 1 || result == X509_V_ERR_HOSTNAME_MISMATCH ||
          result == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return ERROR_INTERNET_SEC_CERT_CN_INVALID;
      if (result == X509_V_ERR_CERT_HAS_EXPIRED || result == X509_V_ERR_CERT_NOT_YET_VALID)
        return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
      return ERROR_INTERNET_INVALID_CA;
    }
    case CURLE_OUT_OF_MEMORY:
      return 8;  // ERROR_NOT_ENOUGH_MEMORY
    default:
      return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

const std::string& ApplicationName() {
  static const std::string name = [] {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    std::string file = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
    size_t slash = file.rfind('/');
    if (slash != std::string::npos) file = file.substr(slash + 1);
    size_t dot = file.rfind('.');
    if (dot != std::string::npos && dot > 0) file = file.substr(0, dot);
    return file;
  }();
  return name;
}

}  // namespace netlayer

using namespace netlayer;

namespace {
thread_local DWORD t_last_error = 0;
}

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD error) { t_last_error = error; }

void SetInternetTimeouts(const InternetTimeouts& timeouts) {
  g_connect_ms = timeouts.connect.count();
  g_idle_s = timeouts.idle.count();
}

InternetTimeouts GetInternetTimeouts() {
  InternetTimeouts t;
  t.connect = std::chrono::milliseconds(g_connect_ms.load());
  t.idle = std::chrono::seconds(g_idle_s.load());
  return t;
}

bool SetExtraCaFile(const std::string& native_path) {
  std::shared_ptr<const std::string> blob;
  bool ok = true;
  if (!native_path.empty()) {
    std::string extra;
    ok = ReadWholeFile(native_path, extra);
    if (ok) {
      Share();  // curl's global initialisation comes first
      // curl reads a CA blob instead of its default bundle file, so the blob
      // carries the system bundle too: the extra file adds trust, it never
      // replaces the system's.
      std::string bundle;
      CURL* probe = curl_easy_init();
      char* default_bundle = nullptr;
      if (probe) curl_easy_getinfo(probe, CURLINFO_CAINFO, &default_bundle);
      std::string system_path = default_bundle ? default_bundle : "/etc/ssl/certs/ca-certificates.crt";
      if (probe) curl_easy_cleanup(probe);
      ReadWholeFile(system_path, bundle);
      if (!bundle.empty() && bundle.back() != '\n') bundle += '\n';
      bundle += extra;
      blob = std::make_shared<const std::string>(std::move(bundle));
    }
  }
  std::lock_guard<std::mutex> lock(CaMutex());
  CaBlobSlot() = std::move(blob);
  return ok;
}
