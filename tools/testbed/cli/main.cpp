// testbed: serves packages (a folder, generated files) and HTTP DNS on loopback addresses until
// it is killed or its time limit passes.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testbed/testbed.h"

namespace {

void Usage() {
  std::fprintf(
      stderr,
      "usage: testbed [options]\n"
      "  --address A         listen on A (repeatable, or a comma list); default 127.0.0.1\n"
      "  --port N            port for every address; 0 (default) picks a free one\n"
      "  --https             serve HTTPS with a certificate of a CA made at start\n"
      "  --cert-name NAME    extra name or address for the certificate (repeatable)\n"
      "  --serve DIR         serve every file under DIR\n"
      "  --prefix P          URL prefix for --serve (default none)\n"
      "  --generate PATH=SIZE[:SEED]  a generated package (SIZE may end in K, M or G)\n"
      "  --template PATH=FILE  answer GET PATH with FILE's text, @BASE@ replaced by the\n"
      "                      server's base URL (a runtime configuration naming its packages)\n"
      "  --fault PATH[@ADDR]=FAULTS   faults for a package (PATH * = all), e.g.\n"
      "                      /a.bin@127.0.0.3=size:1000 or *=throttle:1048576\n"
      "  --dns-credentials UID:AK:SECRET\n"
      "  --dns NAME=IP[,IP...]        HTTP DNS answer for NAME\n"
      "  --max-hold SEC      longest hold of a stalled answer (default 120)\n"
      "  --time-limit SEC    stop after SEC seconds (default: run until killed)\n"
      "  --port-file FILE    write the bound port to FILE\n"
      "  --log               print every request on stdout\n");
}

bool ParseSize(const std::string& text, int64_t& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || v < 0) return false;
  std::string suffix(end);
  int64_t mult = 1;
  if (suffix == "K" || suffix == "k")
    mult = 1024;
  else if (suffix == "M" || suffix == "m")
    mult = 1024 * 1024;
  else if (suffix == "G" || suffix == "g")
    mult = 1024LL * 1024 * 1024;
  else if (!suffix.empty())
    return false;
  out = v * mult;
  return true;
}

std::vector<std::string> SplitList(const std::string& text, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(sep, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

void PrintPackage(const testbed::PackageInfo& p) {
  std::printf("package %s size=%lld md5=%s\n", p.urlPath.c_str(), static_cast<long long>(p.size),
              p.md5.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  testbed::ServerOptions options;
  options.addresses.clear();
  std::vector<std::string> serveDirs, generates, faults, dnsAnswers, templates;
  std::string prefix, credentials, portFile;
  long timeLimit = -1;
  bool logRequests = false;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "testbed: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--address") {
      for (const auto& a : SplitList(value(), ',')) options.addresses.push_back(a);
    } else if (arg == "--port") {
      options.port = std::atoi(value().c_str());
    } else if (arg == "--https") {
      options.tls = true;
    } else if (arg == "--cert-name") {
      options.certificateNames.push_back(value());
    } else if (arg == "--serve") {
      serveDirs.push_back(value());
    } else if (arg == "--prefix") {
      prefix = value();
    } else if (arg == "--generate") {
      generates.push_back(value());
    } else if (arg == "--template") {
      templates.push_back(value());
    } else if (arg == "--fault") {
      faults.push_back(value());
    } else if (arg == "--dns-credentials") {
      credentials = value();
    } else if (arg == "--dns") {
      dnsAnswers.push_back(value());
    } else if (arg == "--max-hold") {
      options.maxHold = std::chrono::seconds(std::atol(value().c_str()));
    } else if (arg == "--time-limit") {
      timeLimit = std::atol(value().c_str());
    } else if (arg == "--port-file") {
      portFile = value();
    } else if (arg == "--log") {
      logRequests = true;
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "testbed: unknown option %s\n", arg.c_str());
      Usage();
      return 2;
    }
  }
  if (options.addresses.empty()) options.addresses.push_back("127.0.0.1");

  // Every thread inherits the blocked set; the main thread takes the signals with sigtimedwait.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  testbed::Server server;
  testbed::PackageSide& packages = server.Packages();
  for (const std::string& dir : serveDirs) {
    if (packages.AddFolder(prefix, dir) == 0)
      std::fprintf(stderr, "testbed: nothing in %s\n", dir.c_str());
  }
  for (const std::string& g : generates) {
    size_t eq = g.find('=');
    int64_t size = 0;
    std::string sizeText = eq == std::string::npos ? "" : g.substr(eq + 1);
    uint64_t seed = 0;
    size_t colon = sizeText.find(':');
    if (colon != std::string::npos) {
      seed = std::strtoull(sizeText.c_str() + colon + 1, nullptr, 10);
      sizeText.resize(colon);
    }
    if (eq == std::string::npos || !ParseSize(sizeText, size)) {
      std::fprintf(stderr, "testbed: bad --generate %s\n", g.c_str());
      return 2;
    }
    packages.AddGenerated(g.substr(0, eq), size, seed);
  }
  for (const std::string& f : faults) {
    size_t eq = f.find('=');
    auto parsed = eq == std::string::npos ? std::nullopt : testbed::ParseFaults(f.substr(eq + 1));
    if (!parsed) {
      std::fprintf(stderr, "testbed: bad --fault %s\n", f.c_str());
      return 2;
    }
    std::string target = f.substr(0, eq), address;
    size_t at = target.find('@');
    if (at != std::string::npos) {
      address = target.substr(at + 1);
      target.resize(at);
    }
    packages.SetFaults(target, *parsed, address);
  }
  if (!credentials.empty()) {
    auto parts = SplitList(credentials, ':');
    if (parts.size() != 3) {
      std::fprintf(stderr, "testbed: --dns-credentials needs UID:AK:SECRET\n");
      return 2;
    }
    server.HttpDns().SetCredentials({parts[0], parts[1], parts[2]});
  }
  for (const std::string& d : dnsAnswers) {
    size_t eq = d.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "testbed: bad --dns %s\n", d.c_str());
      return 2;
    }
    server.HttpDns().SetAnswer(d.substr(0, eq), SplitList(d.substr(eq + 1), ','));
  }

  if (!server.Start(options)) {
    std::fprintf(stderr, "testbed: cannot listen on port %d\n", options.port);
    return 1;
  }
  for (const std::string& t : templates) {
    const size_t eq = t.find('=');
    std::ifstream in(eq == std::string::npos ? std::string() : t.substr(eq + 1));
    if (!in) {
      std::fprintf(stderr, "testbed: bad --template %s\n", t.c_str());
      return 2;
    }
    testbed::CannedAnswer answer;
    answer.body.assign(std::istreambuf_iterator<char>(in), {});
    answer.contentType = "application/xml";
    const std::string base = server.BaseUrl();
    for (size_t at; (at = answer.body.find("@BASE@")) != std::string::npos;)
      answer.body.replace(at, 6, base);
    server.Canned().Set("GET", t.substr(0, eq), answer);
  }
  std::printf("port=%d\n", server.Port());
  for (const std::string& a : server.Addresses())
    std::printf("url=%s\n", server.BaseUrl(a).c_str());
  if (options.tls) std::printf("ca=%s\n", server.CaBundlePath().c_str());
  for (const auto& p : packages.List()) PrintPackage(p);
  std::fflush(stdout);
  if (!portFile.empty()) std::ofstream(portFile) << server.Port() << "\n";

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimit);
  size_t printed = 0;
  auto printNew = [&] {
    if (!logRequests) return;
    auto all = server.Requests();
    for (; printed < all.size(); ++printed) {
      const auto& r = all[printed];
      std::printf("request %s %s%s%s from=%s:%d on=%s status=%d range=%s\n", r.method.c_str(),
                  r.path.c_str(), r.query.empty() ? "" : "?", r.query.c_str(),
                  r.remoteAddress.c_str(), r.remotePort, r.localAddress.c_str(), r.status,
                  r.Header("Range").c_str());
    }
    std::fflush(stdout);
  };
  for (;;) {
    timespec step{0, 200 * 1000 * 1000};
    if (sigtimedwait(&stopSignals, nullptr, &step) > 0) break;
    printNew();
    if (timeLimit >= 0 && std::chrono::steady_clock::now() >= deadline) break;
  }
  server.Stop();
  printNew();
  return 0;
}
