#pragma once
// Inside the net layer only: the process-wide curl state.
#include <curl/curl.h>

#include <memory>
#include <string>

#include "platform/types.h"

namespace netlayer {

// The share handle that holds the cookie store and the DNS cache for every
// easy handle of the process. Created on first use (after curl's global
// initialisation) and kept until the process ends, so a worker still running
// at exit never meets a freed store. Its lock callbacks take one mutex per
// kind of data.
CURLSH* Share();

// A new easy handle attached to the share, with the cookie engine on.
// Null when curl cannot make one.
CURL* NewSharedHandle();

// An easy handle lent to one request from the process-wide pool. A handle
// keeps the connections it opened and the TLS sessions it agreed alive after
// its request, so the next request that borrows it to the same host and port
// goes out on an open connection, or resumes its session, instead of a new
// TCP connection and a full handshake. (curl's share could hold the
// connections too, but its connection cache is not safe for threads that
// use it at once.) A borrowed handle has default options, is attached to the
// share with its cookie engine on, and belongs to the borrowing thread until
// given back (when its options are reset).
//
// Certificates: curl reuses a connection or a session only for the same host,
// port and TLS settings (the name check on or off alike), and each was made
// after a full check. A change of the trusted CAs retires every handle that
// connected under the old ones.
class LentHandle {
 public:
  // `origin` ("https://host:port") picks, where it can, a handle that last
  // served the same origin.
  explicit LentHandle(const std::string& origin);
  ~LentHandle();
  LentHandle(const LentHandle&) = delete;
  LentHandle& operator=(const LentHandle&) = delete;

  // Null when curl cannot make a handle.
  CURL* get() const { return handle_; }

 private:
  CURL* handle_ = nullptr;
  std::string origin_;
  unsigned trust_generation_ = 0;
};

// Makes `handle` verify peers against the process's trust store (the
// system's CA bundle and folder, plus the extra CA file) instead of loading
// the bundle anew for every handshake. The returned reference keeps the store
// alive: hold it until the transfer ends.
std::shared_ptr<void> UseTrustStore(CURL* handle);

// The Windows error number for a curl failure of `handle`.
DWORD MapCurlError(CURLcode code, CURL* handle);

}  // namespace netlayer
