#include <httplib.h>
#include <openssl/ssl.h>
#include <signal.h>

#include <atomic>
#include <mutex>

#include "testbed/connection.h"
#include "testbed/listener.h"
#include "testbed/testbed.h"
#include "testbed/tls_ca.h"

namespace testbed {
namespace {

constexpr int kBindTries = 8;

// What the pre-routing step noted about the request this thread serves, for the handler and the
// logger that follow it on the same thread.
struct CurrentRequest {
  bool recorded = false;
  uint64_t index = 0;
  std::shared_ptr<std::atomic<int64_t>> bodyBytesSent;
};
thread_local CurrentRequest tCurrent;

bool IsIpv6(const std::string& address) {
  return address.find(':') != std::string::npos;
}

std::string QueryOf(const httplib::Request& req) {
  size_t q = req.target.find('?');
  return q == std::string::npos ? "" : req.target.substr(q + 1);
}

RecordedRequest MakeRecord(const httplib::Request& req, bool tls) {
  RecordedRequest r;
  r.method = req.method;
  r.path = req.path;
  r.query = QueryOf(req);
  // The raw head keeps the order of the wire; the library's map does not.
  if (Connection* conn = Connection::Current()) r.headers = ParseHeadLines(conn->TakeCapture());
  r.localAddress = req.local_addr;
  r.localPort = req.local_port;
  r.remoteAddress = req.remote_addr;
  r.remotePort = req.remote_port;
  r.tls = tls;
  r.time = std::chrono::system_clock::now();
  return r;
}

using SslCtxPtr = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;

SslCtxPtr MakeSslContext(const ServerCertificate& cert) {
  SslCtxPtr ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  if (!ctx) return ctx;
  SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
  if (SSL_CTX_use_certificate_chain_file(ctx.get(), cert.certPath.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx.get(), cert.keyPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(ctx.get()) != 1) {
    ctx.reset();
  }
  return ctx;
}

}  // namespace

struct Server::Impl {
  ServerOptions options;
  std::vector<std::string> addresses;
  int port = 0;
  bool running = false;
  std::atomic<bool> stopping{false};
  SslCtxPtr ssl{nullptr, SSL_CTX_free};

  PackageSide packages;
  HttpDnsSide httpDns;
  CannedSide canned;
  RequestLog log;
  std::mutex sidesLock;  // guards added
  std::vector<std::shared_ptr<Side>> added;

  std::vector<std::unique_ptr<Listener>> listeners;

  // Copies, so that a side added meanwhile does not disturb a request being served.
  std::vector<std::shared_ptr<Side>> Sides() {
    std::lock_guard<std::mutex> guard(sidesLock);
    std::vector<std::shared_ptr<Side>> all = added;
    // The built-in sides live as long as the server; the pointers only borrow them.
    for (Side* side : {static_cast<Side*>(&canned), static_cast<Side*>(&httpDns),
                       static_cast<Side*>(&packages)}) {
      all.emplace_back(std::shared_ptr<Side>(), side);
    }
    return all;
  }

  std::unique_ptr<Listener> MakeListener(const std::string& address);
  void Dispatch(const httplib::Request& req, httplib::Response& res, const std::string& address);
  bool BindAll(int wantedPort);
  void StopAll();
};

std::unique_ptr<Listener> Server::Impl::MakeListener(const std::string& address) {
  auto srv = std::make_unique<Listener>(ssl.get());
  const bool tls = options.tls;
  srv->set_pre_routing_handler([this, tls](const httplib::Request& req, httplib::Response&) {
    tCurrent.recorded = true;
    tCurrent.index = log.Add(MakeRecord(req, tls));
    tCurrent.bodyBytesSent = std::make_shared<std::atomic<int64_t>>(0);
    // Ranges are ours to answer (faults may ignore or bend them); the library must not slice.
    const_cast<httplib::Request&>(req).ranges.clear();
    return httplib::Server::HandlerResponse::Unhandled;
  });
  auto handler = [this, address](const httplib::Request& req, httplib::Response& res) {
    Dispatch(req, res, address);
  };
  srv->Get(".*", handler);
  srv->Post(".*", handler);
  srv->Put(".*", handler);
  srv->Patch(".*", handler);
  srv->Delete(".*", handler);
  srv->Options(".*", handler);
  srv->set_logger([this, tls](const httplib::Request& req, const httplib::Response& res) {
    // Requests the library answered by itself (malformed ones) never reached pre-routing.
    if (!tCurrent.recorded) {
      RecordedRequest r = MakeRecord(req, tls);
      r.status = res.status;
      r.finished = true;
      log.Add(std::move(r));
    } else {
      int64_t sent = tCurrent.bodyBytesSent ? tCurrent.bodyBytesSent->load() : 0;
      if (sent == 0 && req.method != "HEAD") sent = static_cast<int64_t>(res.body.size());
      log.SetFinished(tCurrent.index, sent);
    }
    tCurrent = {};
  });
  return srv;
}

void Server::Impl::Dispatch(const httplib::Request& req, httplib::Response& res,
                            const std::string& address) {
  if (tCurrent.recorded && !req.body.empty()) log.SetBody(tCurrent.index, req.body);
  Connection* conn = Connection::Current();
  ServeContext ctx{address, &stopping, options.maxHold.count(), tCurrent.bodyBytesSent,
                   conn ? conn->socket() : -1};
  bool handled = false;
  for (const auto& side : Sides()) {
    if (side->Handle(req, res, ctx)) {
      handled = true;
      break;
    }
  }
  if (!handled) {
    res.status = 404;
    res.set_content("not found\n", "text/plain");
  }
  if (tCurrent.recorded) log.SetStatus(tCurrent.index, res.status);
}

bool Server::Impl::BindAll(int wantedPort) {
  int chosen = wantedPort;
  for (const std::string& address : addresses) {
    auto srv = MakeListener(address);
    int bound = srv->Bind(address, chosen);
    if (bound == 0) {
      StopAll();
      return false;
    }
    chosen = bound;
    listeners.push_back(std::move(srv));
  }
  port = chosen;
  return true;
}

void Server::Impl::StopAll() {
  // Connections are cut before the sides hear of the stop, so that nothing they answer then
  // reaches a client.
  for (auto& srv : listeners) srv->Cut();
  stopping = true;
  for (auto& srv : listeners) srv->Join();
  listeners.clear();
}

Server::Server() : impl_(std::make_unique<Impl>()) {}

Server::~Server() {
  Stop();
}

bool Server::Start(const ServerOptions& options) {
  if (impl_->running) return false;
  impl_->options = options;
  impl_->addresses =
      options.addresses.empty() ? std::vector<std::string>{"127.0.0.1"} : options.addresses;
  // TLS writes to a peer that left raise SIGPIPE, which would end the whole test process.
  struct sigaction old {};
  if (sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
  impl_->ssl.reset();
  if (options.tls) {
    std::vector<std::string> names = impl_->addresses;
    names.insert(names.end(), options.certificateNames.begin(), options.certificateNames.end());
    ServerCertificate cert = TlsCa::Shared().IssueServerCertificate(names);
    if (cert.certPath.empty()) return false;
    impl_->ssl = MakeSslContext(cert);
    if (!impl_->ssl) return false;
  }
  bool bound = false;
  // A free port of the first address may be taken on another one: pick again.
  for (int i = 0; i < (options.port == 0 ? kBindTries : 1) && !bound; ++i) {
    bound = impl_->BindAll(options.port);
  }
  if (!bound) return false;
  impl_->stopping = false;
  for (auto& srv : impl_->listeners) srv->Run();
  impl_->running = true;
  return true;
}

void Server::Stop() {
  if (!impl_->running) return;
  impl_->StopAll();
  impl_->running = false;
}

bool Server::Running() const {
  return impl_->running;
}
int Server::Port() const {
  return impl_->port;
}
const std::vector<std::string>& Server::Addresses() const {
  return impl_->addresses;
}

std::string Server::BaseUrl(const std::string& address) const {
  std::string a = address;
  if (a.empty()) a = impl_->addresses.empty() ? "127.0.0.1" : impl_->addresses.front();
  const bool tls = impl_->options.tls;
  std::string url = std::string(tls ? "https://" : "http://") + (IsIpv6(a) ? "[" + a + "]" : a);
  if (impl_->port != (tls ? 443 : 80)) url += ":" + std::to_string(impl_->port);
  return url;
}

std::string Server::Url(const std::string& path, const std::string& address) const {
  return BaseUrl(address) + path;
}

std::string Server::CaBundlePath() const {
  return impl_->options.tls ? TlsCa::Shared().BundlePath() : "";
}

PackageSide& Server::Packages() {
  return impl_->packages;
}
HttpDnsSide& Server::HttpDns() {
  return impl_->httpDns;
}
CannedSide& Server::Canned() {
  return impl_->canned;
}
RequestLog& Server::Log() {
  return impl_->log;
}

void Server::AddSide(std::shared_ptr<Side> side) {
  std::lock_guard<std::mutex> guard(impl_->sidesLock);
  impl_->added.push_back(std::move(side));
}

std::vector<RecordedRequest> Server::Requests() const {
  return impl_->log.Snapshot();
}

bool Server::WaitFor(const RequestLog::Predicate& pred, std::chrono::milliseconds timeout) const {
  return impl_->log.WaitFor(pred, timeout);
}

bool Server::WaitForRequests(size_t count, const std::string& method, const std::string& path,
                             std::chrono::milliseconds timeout) const {
  return impl_->log.WaitFor(
      [&](const std::vector<RecordedRequest>& all) {
        size_t n = 0;
        for (const auto& r : all) {
          if ((method.empty() || r.method == method) && (path.empty() || r.path == path)) ++n;
        }
        return n >= count;
      },
      timeout);
}

}  // namespace testbed
