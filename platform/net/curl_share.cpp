#include "platform/net/curl_share.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <array>
#include <atomic>
#include <iterator>
#include <mutex>
#include <vector>

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

std::mutex& TrustMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
// Guarded by TrustMutex(); a request copies the pointer and uses the store
// without the lock (OpenSSL locks a store inside while it verifies).
std::shared_ptr<X509_STORE>& TrustSlot() {
  static auto* slot = new std::shared_ptr<X509_STORE>();
  return *slot;
}

// The system's store, as curl would load it for each handshake (its bundle
// file and its folder), plus `extra_file` when given. `extra_loaded` tells
// whether that file gave certificates.
std::shared_ptr<X509_STORE> BuildTrustStore(const std::string& extra_file, bool& extra_loaded) {
  Share();  // curl's global initialisation comes first
  char* bundle = nullptr;
  char* folder = nullptr;
  CURL* probe = curl_easy_init();
  if (probe) {
    curl_easy_getinfo(probe, CURLINFO_CAINFO, &bundle);
    curl_easy_getinfo(probe, CURLINFO_CAPATH, &folder);
  }
  X509_STORE* store = X509_STORE_new();
  // The flags curl sets on a store of its own.
  X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_TRUSTED_FIRST);
  if (bundle) X509_STORE_load_file(store, bundle);
  if (folder) X509_STORE_load_path(store, folder);
  if (probe) curl_easy_cleanup(probe);
  extra_loaded = !extra_file.empty() && X509_STORE_load_file(store, extra_file.c_str()) == 1;
  ERR_clear_error();
  return std::shared_ptr<X509_STORE>(store, X509_STORE_free);
}

CURLcode OnSslContext(CURL*, void* ssl_context, void* store) {
  SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(ssl_context), static_cast<X509_STORE*>(store));
  return CURLE_OK;
}

std::atomic<long long> g_connect_ms{15000};
std::atomic<long long> g_idle_ms{30000};
std::atomic<long long> g_total_ms{5 * 60 * 1000};
std::atomic<size_t> g_reply_limit{kDefaultReplySizeLimit};

// Raised (under TrustMutex(), after the new store is in) whenever the trusted
// CAs change.
std::atomic<unsigned> g_trust_generation{0};

// Idle handles kept for later requests: enough for the sync's fifteen
// producers and the window thread, with room to spare.
constexpr size_t kMaxIdleHandles = 32;

// Every idle handle came from NewSharedHandle: it is attached to the share
// with its cookie engine on, and carries the standing options.
struct IdleHandle {
  CURL* handle;
  std::string origin;
  unsigned trust_generation;
};

std::mutex& PoolMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}
// Guarded by PoolMutex(); the most recently given back last.
std::vector<IdleHandle>& Pool() {
  static auto* pool = new std::vector<IdleHandle>();
  return *pool;
}

// Turns the cookie engine of a new `handle` on and attaches it to the share,
// once in the handle's life: curl_easy_reset keeps both (the share, the
// cookie store it points into, and the engine's switch are not options).
//
// The engine is switched on by handing curl a cookie line before the share is
// attached: curl then makes the handle a store of its own, which attaching
// the share frees for the share's. Attaching the share alone leaves the
// engine off (since curl 7.66.1, whatever its manual says). An empty
// CURLOPT_COOKIEFILE would turn it on through a list of file names that the
// reset of curl 7.88 drops without freeing: 64 bytes of heap for each handle
// reset even when set only once, and handles are made anew whenever more
// threads ask at once than the pool holds.
void AttachToShare(CURL* handle) {
  // A cookie line without a cookie: nothing goes into the store.
  curl_easy_setopt(handle, CURLOPT_COOKIELIST, "Set-Cookie:");
  curl_easy_setopt(handle, CURLOPT_SHARE, Share());
}

// The options that every handle of ours carries and that curl_easy_reset
// clears: set on a new handle and again after each reset.
void SetStandingOptions(CURL* handle) { curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L); }

// Cleans up every idle handle that connected under other trusted CAs than the
// current ones.
void RetireStaleHandles() {
  std::vector<CURL*> stale;
  {
    std::lock_guard<std::mutex> lock(PoolMutex());
    std::vector<IdleHandle>& pool = Pool();
    unsigned current = g_trust_generation.load();
    for (auto it = pool.begin(); it != pool.end();) {
      if (it->trust_generation != current) {
        stale.push_back(it->handle);
        it = pool.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (CURL* handle : stale) curl_easy_cleanup(handle);
}


}  // namespace

CURLSH* Share() {
  // Connections are not shared here (see LentHandle). Nor are TLS sessions:
  // the share cannot drop them when the trusted CAs change, while a lent
  // handle that keeps its own sessions is retired then.
  static CURLSH* share = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLSH* s = curl_share_init();
    curl_share_setopt(s, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(s, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    return s;
  }();
  return share;
}

CURL* NewSharedHandle() {
  Share();
  CURL* handle = curl_easy_init();
  if (!handle) return nullptr;
  AttachToShare(handle);
  SetStandingOptions(handle);
  return handle;
}

LentHandle::LentHandle(const std::string& origin) : origin_(origin) {
  Share();
  {
    std::lock_guard<std::mutex> lock(PoolMutex());
    std::vector<IdleHandle>& pool = Pool();
    trust_generation_ = g_trust_generation.load();
    if (!pool.empty()) {
      // The latest one that served this origin, else the latest of all.
      auto pick = pool.end() - 1;
      for (auto it = pool.rbegin(); it != pool.rend(); ++it) {
        if (it->origin == origin_) {
          pick = std::prev(it.base());
          break;
        }
      }
      if (pick->trust_generation == trust_generation_) handle_ = pick->handle;
      else curl_easy_cleanup(pick->handle);  // rare: the CAs changed just now
      pool.erase(pick);
    }
  }
  // A pooled handle is attached already and was made ready when it came back.
  if (!handle_) handle_ = NewSharedHandle();
}

LentHandle::~LentHandle() {
  if (!handle_) return;
  // Its options go, pointing into the request that has ended; its
  // connections, TLS sessions and place in the share stay.
  curl_easy_reset(handle_);
  SetStandingOptions(handle_);
  CURL* spare = nullptr;
  {
    std::lock_guard<std::mutex> lock(PoolMutex());
    std::vector<IdleHandle>& pool = Pool();
    if (trust_generation_ != g_trust_generation.load()) {
      spare = handle_;
    } else {
      if (pool.size() >= kMaxIdleHandles) {
        spare = pool.front().handle;
        pool.erase(pool.begin());
      }
      pool.push_back(IdleHandle{handle_, origin_, trust_generation_});
    }
  }
  if (spare) curl_easy_cleanup(spare);
}

std::shared_ptr<void> UseTrustStore(CURL* handle) {
  std::shared_ptr<X509_STORE> store;
  {
    std::lock_guard<std::mutex> lock(TrustMutex());
    if (!TrustSlot()) {
      bool ignored = false;
      TrustSlot() = BuildTrustStore(std::string(), ignored);
    }
    store = TrustSlot();
  }
  // Nothing for curl to load: the context callback puts the ready store in.
  curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
  curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, OnSslContext);
  curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, store.get());
  return store;
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

}  // namespace netlayer

using namespace netlayer;

namespace {
thread_local DWORD t_last_error = 0;
}

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD error) { t_last_error = error; }

void SetInternetTimeouts(const InternetTimeouts& timeouts) {
  g_connect_ms = timeouts.connect.count();
  g_idle_ms = timeouts.idle.count();
  g_total_ms = timeouts.total.count();
}

void SetReplySizeLimit(size_t bytes) { g_reply_limit = bytes; }
size_t GetReplySizeLimit() { return g_reply_limit.load(); }

InternetTimeouts GetInternetTimeouts() {
  InternetTimeouts t;
  t.connect = std::chrono::milliseconds(g_connect_ms.load());
  t.idle = std::chrono::milliseconds(g_idle_ms.load());
  t.total = std::chrono::milliseconds(g_total_ms.load());
  return t;
}

bool SetExtraCaFile(const std::string& native_path) {
  bool loaded = false;
  std::shared_ptr<X509_STORE> store = BuildTrustStore(native_path, loaded);
  {
    std::lock_guard<std::mutex> lock(TrustMutex());
    TrustSlot() = std::move(store);
    ++g_trust_generation;
  }
  // Connections and sessions agreed under the old CAs go with their handles.
  RetireStaleHandles();
  return native_path.empty() || loaded;
}
