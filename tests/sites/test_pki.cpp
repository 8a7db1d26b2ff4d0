#include "tests/sites/test_pki.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace sites {
namespace {

struct Identity {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
};

EVP_PKEY* NewKey() {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  if (!key) throw std::runtime_error("test PKI: no key");
  return key;
}

void AddExtension(X509* cert, X509V3_CTX* context, int nid, const char* value) {
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
  if (!extension) throw std::runtime_error("test PKI: bad extension");
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for `key`, signed by `issuer` (self-signed when null).
X509* NewCert(EVP_PKEY* key, const char* common_name, const Identity* issuer, bool ca,
              const char* alt_names, bool expired = false) {
  static std::atomic<long> serial{1};
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
  // Valid from yesterday for thirty days; an expired one ended yesterday.
  X509_gmtime_adj(X509_getm_notBefore(cert), (expired ? -30L : -1L) * 24 * 3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), (expired ? -1L : 30L) * 24 * 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Tovrane tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer->cert) : name);

  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer ? issuer->cert : cert, cert, nullptr, nullptr, 0);
  AddExtension(cert, &context, NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
  AddExtension(cert, &context, NID_key_usage,
               ca ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature,keyEncipherment");
  AddExtension(cert, &context, NID_subject_key_identifier, "hash");
  if (issuer) AddExtension(cert, &context, NID_authority_key_identifier, "keyid:always");
  if (!ca) AddExtension(cert, &context, NID_ext_key_usage, "serverAuth");
  if (alt_names) AddExtension(cert, &context, NID_subject_alt_name, alt_names);

  if (!X509_sign(cert, issuer ? issuer->key : key, EVP_sha256()))
    throw std::runtime_error("test PKI: cannot sign");
  return cert;
}

SSL_CTX* NewServerContext(const Identity& identity, const Identity* chain) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (!context || SSL_CTX_use_certificate(context, identity.cert) != 1 ||
      SSL_CTX_use_PrivateKey(context, identity.key) != 1 ||
      SSL_CTX_check_private_key(context) != 1) {
    throw std::runtime_error("test PKI: cannot make a TLS context");
  }
  if (chain) {
    X509_up_ref(chain->cert);
    SSL_CTX_add_extra_chain_cert(context, chain->cert);
  }
  return context;
}

// Removes the temporary folder when the process ends.
struct TempFolder {
  std::filesystem::path path;
  ~TempFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

struct Pki {
  TempFolder folder;
  std::string ca_file;
  SSL_CTX* good = nullptr;
  SSL_CTX* wrong_name = nullptr;
  SSL_CTX* untrusted = nullptr;
  SSL_CTX* expired = nullptr;

  Pki() {
    char pattern[] = "/tmp/tovrane-pki-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("test PKI: no temporary folder");
    folder.path = pattern;

    Identity ca;
    ca.key = NewKey();
    ca.cert = NewCert(ca.key, "Tovrane Test CA", nullptr, true, nullptr);

    Identity server;
    server.key = NewKey();
    std::string names = std::string("IP:127.0.0.1,DNS:localhost,DNS:") + kTestDomain +
                        ",DNS:*." + kTestDomain;
    server.cert = NewCert(server.key, "127.0.0.1", &ca, false, names.c_str());

    Identity other;
    other.key = NewKey();
    other.cert = NewCert(other.key, "wrong.example", &ca, false, "DNS:wrong.example");

    Identity stranger;
    stranger.key = NewKey();
    stranger.cert = NewCert(stranger.key, "127.0.0.1", nullptr, false,
                            "IP:127.0.0.1,DNS:localhost");

    Identity outdated;
    outdated.key = NewKey();
    outdated.cert = NewCert(outdated.key, "127.0.0.1", &ca, false, names.c_str(), true);

    good = NewServerContext(server, nullptr);
    expired = NewServerContext(outdated, nullptr);
    wrong_name = NewServerContext(other, nullptr);
    untrusted = NewServerContext(stranger, nullptr);

    ca_file = (folder.path / "test-ca.pem").string();
    FILE* out = std::fopen(ca_file.c_str(), "w");
    if (!out || PEM_write_X509(out, ca.cert) != 1) throw std::runtime_error("test PKI: cannot write CA");
    std::fclose(out);
  }
};

Pki& GetPki() {
  static Pki pki;
  return pki;
}

}  // namespace

SSL_CTX* TlsContext(CertKind kind) {
  Pki& pki = GetPki();
  switch (kind) {
    case CertKind::kWrongName: return pki.wrong_name;
    case CertKind::kUntrusted: return pki.untrusted;
    case CertKind::kExpired: return pki.expired;
    default: return pki.good;
  }
}

const std::string& TestCaFile() { return GetPki().ca_file; }

}  // namespace sites
