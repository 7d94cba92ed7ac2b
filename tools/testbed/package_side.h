// The package server: HEAD and ranged GET of registered packages, with fault modes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testbed/faults.h"
#include "testbed/side.h"

namespace testbed {

struct PackageInfo {
  std::string urlPath;
  int64_t size = 0;
  std::string md5;  // lower-case hex
};

class PackageSide : public Side {
 public:
  // size bytes of the pattern named by seed (0: a seed derived from the path), kept nowhere: the
  // bytes are computed as they are sent.
  PackageInfo AddGenerated(const std::string& urlPath, int64_t size, uint64_t seed = 0);
  // A file on disk, read in chunks at each request; empty when it cannot be read.
  std::optional<PackageInfo> AddFile(const std::string& urlPath, const std::string& filePath);
  // Every regular file under dir as urlPrefix + "/" + its relative path; returns how many.
  int AddFolder(const std::string& urlPrefix, const std::string& dir);
  bool Remove(const std::string& urlPath);
  std::optional<PackageInfo> Find(const std::string& urlPath) const;
  std::vector<PackageInfo> List() const;

  // Faults for one package ("*": every package), on one local address or on all (""). uses
  // limits how many GET answers carry them (-1: no limit); HEAD answers see them without using
  // them up. A later call for the same package and address replaces the earlier one.
  void SetFaults(const std::string& urlPath, const Faults& faults, const std::string& address = "",
                 int uses = -1);
  void ClearFaults();

  bool Handle(const httplib::Request& req, httplib::Response& res,
              const ServeContext& ctx) override;

 private:
  struct Package {
    PackageInfo info;
    uint64_t seed = 0;     // generated packages
    std::string filePath;  // packages from disk
  };
  struct FaultRule {
    Faults faults;
    int uses = -1;
  };

  // The package and the faults that apply to this request (API rules, then the query's).
  bool Lookup(const httplib::Request& req, const std::string& address, Package& package,
              Faults& faults, bool& badFaultText);

  mutable std::mutex lock_;  // guards packages_ and rules_
  std::map<std::string, Package> packages_;
  // key: (package path or "*", address or "")
  std::map<std::pair<std::string, std::string>, FaultRule> rules_;
};

}  // namespace testbed
