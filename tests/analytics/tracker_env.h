// Helpers for tests that run a UsageTracker against the loopback collector.
#pragma once

#include <cjson/cJSON.h>

#include <memory>
#include <string>

#include "collector_env.h"
#include "log/simple_log.h"

namespace trackertest {

// A parsed record; empty pointer when the text is not JSON.
using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;
inline Json ParseJson(const std::string& text) {
  return Json(cJSON_ParseWithLength(text.data(), text.size()), &cJSON_Delete);
}
inline std::string StringMember(const cJSON* object, const char* name) {
  const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
  return cJSON_IsString(item) ? item->valuestring : "";
}

}  // namespace trackertest
using trackertest::Json;
using trackertest::ParseJson;
using trackertest::StringMember;

// The super properties every tracker event carries besides the event's own.
inline const char* const kSuperNames[] = {"$lib",       "$lib_version", "tid",    "ostype",
                                          "os_version", "osbit",        "oslang", "oszone"};

class TrackerTest : public CollectorTest {
 protected:
  void SetUp() override {
    CollectorTest::SetUp();
    log_ = std::make_unique<simpleLog>(dir_.File("test.log"));
    log_->SetRotateOnStart(false);
    log_->Init();
    SetSimpleLog(log_.get());
  }
  void TearDown() override {
    SetSimpleLog(nullptr);
    CollectorTest::TearDown();
  }
  int CountLogged(const std::string& line) const {
    const std::string text = ReadWholeFile(dir_.File("test.log"));
    int n = 0;
    for (size_t pos = text.find(line); pos != std::string::npos; pos = text.find(line, pos + 1))
      ++n;
    return n;
  }

  std::unique_ptr<simpleLog> log_;
};
