#pragma once
// Inside the net layer only: the process-wide curl state.
#include <curl/curl.h>

#include <memory>
#include <string>

#include "platform/types.h"

namespace netlayer {

// The share handle that holds the cookie store and the DNS cache for every
// easy handle of the process (not connections nor TLS sessions: see Share()
// in the source). Created on first use
// (after curl's global initialisation) and kept until the process ends, so a
// worker still running at exit never meets a freed store. Its lock callbacks
// take one mutex per kind of data.
CURLSH* Share();

// A new easy handle attached to the share, with the cookie engine on.
// Null when curl cannot make one.
CURL* NewSharedHandle();

// Makes `handle` verify peers against the process's trust store (the
// system's CA bundle and folder, plus the extra CA file) instead of loading
// the bundle anew for every handshake. The returned reference keeps the store
// alive: hold it until the transfer ends.
std::shared_ptr<void> UseTrustStore(CURL* handle);

// The Windows error number for a curl failure of `handle`.
DWORD MapCurlError(CURLcode code, CURL* handle);

}  // namespace netlayer
