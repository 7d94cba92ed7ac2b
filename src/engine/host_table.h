// The process-wide table of verified host addresses and of the package sizes the probes found.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ns_NUK {

// scheme "://" host path; a port written in the URL stays part of the host (the table's key), and
// only resolution leaves it out.
struct UrlParts {
  std::u16string scheme;
  std::u16string host;
  std::u16string path;  // from the first '/' after the host; empty when there is none
};
// False when the URL has no "://".
bool ParseUrlParts(const std::u16string& url, UrlParts& parts);

// Asks the package URL for its length: HEAD first, then GET, with "Host: " + host when host is
// not empty; `resolve` pins the URL's host to an address (CURLOPT_RESOLVE entries). 0 when
// neither answers with a length.
int64_t ProbeContentLength(const std::u16string& url, const std::u16string& host,
                           const std::vector<std::string>& resolve = {});
// The value of the last Content-Length header in a reply whose header text comes first; 0 when
// there is none, it is not ended by CR LF, or it is not a positive number.
int64_t ParseContentLength(const std::string& reply);

class CHostTable {
 public:
  // Fills the host's address set from the system resolver, else from HTTP DNS, asking both for
  // the name without a written port; a host that is an IPv4 address is its own single address
  // and asks neither. True when the set is not empty.
  bool QueryHost(const std::u16string& host);
  // Makes sure the URL's host has verified addresses: resolves, probes every address, keeps the
  // addresses that agree with the majority size and stores that size for the URL.
  bool InitHost(const std::u16string& url);
  bool IsHostKnown(const std::u16string& url);
  // host = the URL's host as UTF-8; addresses = its addresses in set order, joined with ",".
  bool HostAddressText(const std::u16string& url, std::string& host, std::string& addresses);
  bool AddressList(const std::string& host, std::vector<std::string>& list);
  int64_t ProbedSize(const std::u16string& url);
  // Forgets every host (the sizes stay) and flushes the system resolver cache.
  void ClearHosts();
  // Forgets one host, without a flush (an address host has no cached name).
  void ForgetHost(const std::u16string& host);

 private:
  // Addresses in network byte order, ordered by that value read as a machine unsigned integer.
  using AddressSet = std::set<uint32_t>;

  bool QueryHostLocked(const std::u16string& host);
  AddressSet* FindHost(const std::u16string& host);

  std::mutex lock_;  // held by every operation for its whole duration (probes included); a leaf
  std::map<std::u16string, AddressSet> addresses_;
  std::map<std::u16string, int64_t> sizes_;
};

// The one table of the process, created on first use and never destroyed.
CHostTable& GetHostTable();

// Dotted-decimal text of an address in network byte order.
std::string AddressText(uint32_t address);

}  // namespace ns_NUK
