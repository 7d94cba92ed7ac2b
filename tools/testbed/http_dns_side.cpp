#include "testbed/http_dns_side.h"

#include <httplib.h>

#include "testbed/pattern.h"

namespace testbed {

// The decoded credentials of the loopback endpoint table that the tests run with, so that a client
// configured by it is accepted without further set-up.
HttpDnsSide::HttpDnsSide() : credentials_{"186420", "vt-nuv-ak-7f3c", "9d41c27be05a4f6e8a3d"} {}

void HttpDnsSide::SetCredentials(const HttpDnsCredentials& credentials) {
  std::lock_guard<std::mutex> guard(lock_);
  credentials_ = credentials;
}

HttpDnsCredentials HttpDnsSide::Credentials() const {
  std::lock_guard<std::mutex> guard(lock_);
  return credentials_;
}

void HttpDnsSide::SetAnswer(const std::string& name, const std::vector<std::string>& addresses) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_[name] = addresses;
}

void HttpDnsSide::ClearAnswers() {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.clear();
}

std::string HttpDnsSide::Signature(const HttpDnsCredentials& c, const std::string& ts,
                                   const std::string& name) {
  return Sha256Hex(c.uid + c.secret + ts + name + c.ak);
}

std::string HttpDnsSide::SignedQuery(const HttpDnsCredentials& c, const std::string& name,
                                     const std::string& ts) {
  return "/resolve?type=1&short=1&uid=" + c.uid + "&ak=" + c.ak + "&name=" + name + "&ts=" + ts +
         "&key=" + Signature(c, ts, name);
}

bool HttpDnsSide::Handle(const httplib::Request& req, httplib::Response& res, const ServeContext&) {
  if (req.path != "/resolve" || req.method != "GET") return false;
  HttpDnsCredentials c = Credentials();
  const std::string name = req.get_param_value("name");
  const std::string ts = req.get_param_value("ts");
  // Refused with an empty body: nothing in the answer may read as an address.
  if (req.get_param_value("uid") != c.uid || req.get_param_value("ak") != c.ak || ts.empty() ||
      name.empty() || req.get_param_value("key") != Signature(c, ts, name)) {
    res.status = 403;
    return true;
  }
  std::string out = "[";
  {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = answers_.find(name);
    if (it != answers_.end()) {
      for (size_t i = 0; i < it->second.size(); ++i) {
        out += (i ? ",\"" : "\"") + it->second[i] + "\"";
      }
    }
  }
  out += "]";
  res.status = 200;
  res.set_content(out, "application/json");
  return true;
}

}  // namespace testbed
