// A certificate authority made at run time and the server certificates it signs, as PEM files.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testbed {

struct ServerCertificate {
  std::string certPath;  // PEM: the server certificate
  std::string keyPath;   // PEM: its private key
};

class TlsCa {
 public:
  // Makes the CA key and self-signed certificate in a fresh temporary folder; Valid() tells
  // whether that worked.
  TlsCa();
  ~TlsCa();
  TlsCa(const TlsCa&) = delete;
  TlsCa& operator=(const TlsCa&) = delete;

  bool Valid() const { return valid_; }
  // The CA certificate as a bundle for clients (NUV_CA_BUNDLE).
  const std::string& BundlePath() const { return bundlePath_; }
  const std::string& Folder() const { return folder_; }

  // A certificate for "localhost", "127.0.0.1" and the given names and addresses (IP literals
  // become IP entries), signed by this CA. Empty paths on failure.
  ServerCertificate IssueServerCertificate(const std::vector<std::string>& names);

  // The CA shared by every server of the process, made on first use.
  static TlsCa& Shared();

 private:
  struct Keys;
  std::unique_ptr<Keys> keys_;
  bool valid_ = false;
  std::string folder_;
  std::string bundlePath_;
  std::mutex lock_;  // guards issued_ and the CA key while signing
  int issued_ = 0;
};

}  // namespace testbed
