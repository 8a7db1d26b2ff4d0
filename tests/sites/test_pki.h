#pragma once
// Certificates for the local sites, made at run time with OpenSSL: a test CA
// and server certificates, each ready as a TLS server context.
#include <openssl/ssl.h>

#include <string>

#include "tests/sites/site_server.h"

namespace sites {

// A server context showing the certificate of `kind`. Made once per process
// and kept until it ends.
SSL_CTX* TlsContext(CertKind kind);

}  // namespace sites
