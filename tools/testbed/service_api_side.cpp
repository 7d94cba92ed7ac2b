#include "testbed/service_api_side.h"

#include <httplib.h>

#include <cstdio>

#include "testbed/conn_watch.h"

namespace testbed {
namespace {

std::string JsonEscaped(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

ServiceAnswer Json(int status, const std::string& body) {
  return ServiceAnswer{status, body, 0};
}

ServiceAnswer Ok(const std::string& data = "") {
  if (data.empty()) return Json(200, "{\"code\":0,\"msg\":\"ok\"}");
  return Json(200, "{\"code\":0,\"msg\":\"ok\",\"data\":" + data + "}");
}

bool IsApplyPath(const std::string& path) {
  const std::string prefix = std::string(ServiceApiSide::kRecoveryPath) + "/";
  const std::string suffix = "/apply";
  if (path.size() <= prefix.size() + suffix.size()) return false;
  if (path.compare(0, prefix.size(), prefix) != 0) return false;
  if (path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  for (size_t i = prefix.size(); i < path.size() - suffix.size(); ++i)
    if (path[i] < '0' || path[i] > '9') return false;
  return true;
}

}  // namespace

void ServiceApiSide::SetToken(const std::string& token) {
  std::lock_guard<std::mutex> guard(lock_);
  token_ = token;
}

std::string ServiceApiSide::Token() const {
  std::lock_guard<std::mutex> guard(lock_);
  return token_;
}

void ServiceApiSide::SetAnswer(const std::string& path, const ServiceAnswer& answer,
                               const std::string& address) {
  std::lock_guard<std::mutex> guard(lock_);
  answers_[{address, path}] = answer;
}

void ServiceApiSide::SetCode(const std::string& path, int code, const std::string& address) {
  SetAnswer(path, Json(200, "{\"code\":" + std::to_string(code) + ",\"msg\":\"set by test\"}"),
            address);
}

void ServiceApiSide::ClearAnswers() {
  std::lock_guard<std::mutex> guard(lock_);
  answers_.clear();
}

void ServiceApiSide::SetStrategy(const std::string& dataJson) {
  std::lock_guard<std::mutex> guard(lock_);
  strategy_ = dataJson;
}

std::vector<ServiceUpload> ServiceApiSide::Uploads() const {
  std::lock_guard<std::mutex> guard(lock_);
  return uploads_;
}

std::string ServiceApiSide::UploadReply(int n, const std::string& fileName) {
  return "{\"code\":0,\"msg\":\"ok\",\"data\":{\"file_id\":\"f" + std::to_string(n) +
         "\",\"name\":" + JsonEscaped(fileName) + "}}";
}

bool ServiceApiSide::IsServicePath(const std::string& path) const {
  for (const char* known : {kTokenPath, kLogUploadPath, kWhiteListPath, kLogReportPath,
                            kTicketUploadPath, kTicketPath, kSeriesPath, kRecoveryPath}) {
    if (path == known) return true;
  }
  return IsApplyPath(path);
}

ServiceAnswer ServiceApiSide::BuiltIn(const httplib::Request& req) {
  const std::string& path = req.path;
  std::lock_guard<std::mutex> guard(lock_);
  if (path == kTokenPath) {
    const std::string wanted =
        std::string("{\"grant_type\":\"client_credentials\",\"app_secret\":\"") + kAppSecret +
        "\"}";
    if (req.method != "POST" || req.body != wanted || req.get_header_value("X-App-Key") != kAppKey)
      return Json(200, "{\"code\":40001,\"msg\":\"invalid client\",\"data\":null}");
    return Ok("{\"access_token\":" + JsonEscaped(token_) +
              ",\"token_type\":\"Bearer\",\"expires_in\":7200}");
  }
  if (req.get_header_value("Authorization") != "Bearer " + token_)
    return Json(401, "{\"code\":401,\"msg\":\"unauthorized\"}");

  const bool isGet = req.method == "GET";
  if (path == kRecoveryPath) return isGet ? Ok(strategy_) : Json(405, "");
  if (isGet || req.method != "POST") return Json(405, "");
  if (path == kLogUploadPath || path == kTicketUploadPath) {
    if (!req.has_file("file")) return Json(200, "{\"code\":40002,\"msg\":\"no file\"}");
    return Json(200, UploadReply(static_cast<int>(uploads_.size()), uploads_.back().fileName));
  }
  if (path == kLogReportPath || path == kTicketPath)
    return Ok("{\"id\":" + std::to_string(++reports_) + "}");
  return Ok();  // white list, series, apply
}

bool ServiceApiSide::Handle(const httplib::Request& req, httplib::Response& res,
                            const ServeContext& ctx) {
  if (!IsServicePath(req.path)) return false;
  // Files are kept whatever the answer, so a test can see what a refused upload carried.
  if ((req.path == kLogUploadPath || req.path == kTicketUploadPath) && req.has_file("file")) {
    const httplib::MultipartFormData file = req.get_file_value("file");
    std::lock_guard<std::mutex> guard(lock_);
    uploads_.push_back({req.path, ctx.localAddress, file.name, file.filename, file.content});
  }
  ServiceAnswer answer;
  bool chosen = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::string& address : {ctx.localAddress, std::string()}) {
      auto it = answers_.find({address, req.path});
      if (it != answers_.end()) {
        answer = it->second;
        chosen = true;
        break;
      }
    }
  }
  if (!chosen) answer = BuiltIn(req);
  if (answer.delayMs > 0 &&
      !PausePolitely(std::chrono::milliseconds(answer.delayMs), *ctx.stopping)) {
    res.status = 503;
    return true;
  }
  res.status = answer.status;
  if (!answer.body.empty()) res.set_content(answer.body, "application/json");
  return true;
}

}  // namespace testbed
