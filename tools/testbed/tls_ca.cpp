#include "testbed/tls_ca.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <set>

namespace testbed {
namespace {

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using CertPtr = std::unique_ptr<X509, decltype(&X509_free)>;

KeyPtr NewKey() {
  return KeyPtr(EVP_EC_gen("P-256"), EVP_PKEY_free);
}

bool IsIpLiteral(const std::string& s) {
  unsigned char buf[16];
  return inet_pton(AF_INET, s.c_str(), buf) == 1 || inet_pton(AF_INET6, s.c_str(), buf) == 1;
}

bool AddExt(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!ext) return false;
  bool ok = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return ok;
}

CertPtr NewCert(EVP_PKEY* key, const std::string& commonName) {
  CertPtr cert(X509_new(), X509_free);
  if (!cert) return cert;
  X509_set_version(cert.get(), 2);
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7f;
  BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
  BN_free(bn);
  // Backdated an hour so that clock steps between processes do not matter.
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 60L * 60 * 24 * 365);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("testbed"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
  return cert;
}

bool WritePem(const std::string& path, X509* cert, EVP_PKEY* key) {
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  bool ok = cert ? PEM_write_X509(f, cert) == 1
                 : PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

struct TlsCa::Keys {
  KeyPtr key{nullptr, EVP_PKEY_free};
  CertPtr cert{nullptr, X509_free};
};

TlsCa::TlsCa() : keys_(std::make_unique<Keys>()) {
  std::string tmpl = (std::filesystem::temp_directory_path() / "testbed-ca-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return;
  folder_ = tmpl;
  keys_->key = NewKey();
  if (!keys_->key) return;
  keys_->cert = NewCert(keys_->key.get(), "testbed CA");
  X509* cert = keys_->cert.get();
  if (!cert) return;
  X509_set_issuer_name(cert, X509_get_subject_name(cert));
  if (!AddExt(cert, cert, NID_basic_constraints, "critical,CA:TRUE") ||
      !AddExt(cert, cert, NID_key_usage, "critical,keyCertSign,cRLSign") ||
      !AddExt(cert, cert, NID_subject_key_identifier, "hash") ||
      X509_sign(cert, keys_->key.get(), EVP_sha256()) == 0) {
    return;
  }
  bundlePath_ = folder_ + "/ca.pem";
  valid_ = WritePem(bundlePath_, cert, nullptr) &&
           WritePem(folder_ + "/ca.key", nullptr, keys_->key.get());
}

TlsCa::~TlsCa() {
  std::error_code ec;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
}

ServerCertificate TlsCa::IssueServerCertificate(const std::vector<std::string>& names) {
  if (!valid_) return {};
  std::lock_guard<std::mutex> guard(lock_);
  KeyPtr key = NewKey();
  if (!key) return {};
  CertPtr cert = NewCert(key.get(), "localhost");
  if (!cert) return {};
  X509_set_issuer_name(cert.get(), X509_get_subject_name(keys_->cert.get()));
  std::set<std::string> seen;
  std::string san;
  std::vector<std::string> all = {"localhost", "127.0.0.1"};
  all.insert(all.end(), names.begin(), names.end());
  for (const std::string& n : all) {
    if (n.empty() || !seen.insert(n).second) continue;
    san += (san.empty() ? "" : ",") + std::string(IsIpLiteral(n) ? "IP:" : "DNS:") + n;
  }
  if (!AddExt(cert.get(), keys_->cert.get(), NID_basic_constraints, "critical,CA:FALSE") ||
      !AddExt(cert.get(), keys_->cert.get(), NID_key_usage,
              "critical,digitalSignature,keyEncipherment") ||
      !AddExt(cert.get(), keys_->cert.get(), NID_ext_key_usage, "serverAuth") ||
      !AddExt(cert.get(), keys_->cert.get(), NID_subject_alt_name, san) ||
      !AddExt(cert.get(), keys_->cert.get(), NID_authority_key_identifier, "keyid:always") ||
      X509_sign(cert.get(), keys_->key.get(), EVP_sha256()) == 0) {
    return {};
  }
  int n = ++issued_;
  ServerCertificate out{folder_ + "/server-" + std::to_string(n) + ".pem",
                        folder_ + "/server-" + std::to_string(n) + ".key"};
  if (!WritePem(out.certPath, cert.get(), nullptr) || !WritePem(out.keyPath, nullptr, key.get())) {
    return {};
  }
  return out;
}

TlsCa& TlsCa::Shared() {
  static TlsCa ca;
  return ca;
}

}  // namespace testbed
