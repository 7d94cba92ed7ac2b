// One test against the service API stand-in: a testbed on two loopback addresses (primary and
// fallback API host), the registry and the temporary folder under a fresh folder, and the log
// captured to a file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "http/api_base.h"
#include "log/log_folder.h"
#include "log/simple_log.h"
#include "platform/registry.h"
#include "session/session_env.h"  // ScopedEnv
#include "support/temp_dir.h"
#include "testbed/service_api_side.h"
#include "testbed/testbed.h"
#include "xml/utf.h"

class ServiceTest : public ::testing::Test {
 protected:
  static constexpr const char* kPrimary = "127.0.0.2";
  static constexpr const char* kFallback = "127.0.0.3";

  void SetUp() override {
    std::filesystem::create_directories(dir_.Path() + "registry");
    std::filesystem::create_directories(dir_.Path() + "tmp");
    env_.push_back(std::make_unique<ScopedEnv>("NUV_REGISTRY_DIR", dir_.Path() + "registry"));
    env_.push_back(std::make_unique<ScopedEnv>("TMPDIR", dir_.Path() + "tmp"));
    log_ = std::make_unique<simpleLog>(dir_.File("test.log"));
    log_->SetRotateOnStart(false);
    log_->Init();
    SetSimpleLog(log_.get());

    api_ = std::make_shared<testbed::ServiceApiSide>();
    server_.AddSide(api_);
    testbed::ServerOptions options;
    options.addresses = {kPrimary, kFallback};
    ASSERT_TRUE(server_.Start(options));
    savedHosts_ = GetApiHosts();
    SetApiHosts({server_.BaseUrl(kPrimary), server_.BaseUrl(kFallback)});
  }

  void TearDown() override {
    SetApiHosts(savedHosts_);
    server_.Stop();
    SetSimpleLog(nullptr);
  }

  // Requests that came to path ("" any) on address ("" either host), in arrival order.
  std::vector<testbed::RecordedRequest> Requests(const std::string& path,
                                                 const std::string& address = "") const {
    std::vector<testbed::RecordedRequest> out;
    for (const auto& r : server_.Requests())
      if ((path.empty() || r.path == path) && (address.empty() || r.localAddress == address))
        out.push_back(r);
    return out;
  }

  // The headers the client chose (Authorization, Content-Type, X-*) as "Name: value" lines in
  // wire order; a multipart boundary is cut off, it differs per request.
  static std::vector<std::string> OwnHeaders(const testbed::RecordedRequest& r) {
    std::vector<std::string> out;
    for (const auto& [name, value] : r.headers) {
      if (name != "Authorization" && name != "Content-Type" && name.rfind("X-", 0) != 0) continue;
      std::string v = value;
      const size_t boundary = v.find("; boundary=");
      if (name == "Content-Type" && boundary != std::string::npos) v.erase(boundary);
      out.push_back(name + ": " + v);
    }
    return out;
  }

  std::string LogText() const { return ReadWholeFile(dir_.File("test.log")); }
  bool Logged(const std::string& fragment) const {
    return LogText().find(fragment) != std::string::npos;
  }

  // The machine's client sign as the reporters read it.
  static std::string ReporterSign() {
    return WideToUtf8(platform::GetOrCreateClientSign(u"Veltrin"));
  }

  // The program's own log file, where the reporters look for it.
  std::string OwnLogPath() const { return DefaultLogFilePath(); }

  void WriteFile(const std::string& path, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteWholeFile(path, bytes);
  }

  // {"code":N,...} answers on one host.
  void Code(const std::string& path, int code, const std::string& address = "") {
    api_->SetCode(path, code, address);
  }
  void Answer(const std::string& path, const std::string& body, const std::string& address = "") {
    api_->SetAnswer(path, testbed::ServiceAnswer{200, body, 0}, address);
  }

  TempDir dir_;
  testbed::Server server_;
  std::shared_ptr<testbed::ServiceApiSide> api_;

 private:
  std::vector<std::unique_ptr<ScopedEnv>> env_;
  std::unique_ptr<simpleLog> log_;
  ApiHosts savedHosts_;
};

using testbed::ServiceApiSide;
