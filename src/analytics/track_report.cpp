#include "analytics/track_report.h"

#include <cjson/cJSON.h>

#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#include "platform/os/folders.h"
#include "platform/os/locale.h"
#include "platform/os/system_info.h"
#include "platform/registry.h"
#include "platform/version_text.h"
#include "xml/utf.h"

namespace {

std::string Value(const std::map<std::string, std::string>& values, const char* key) {
  auto it = values.find(key);
  return it == values.end() ? std::string() : it->second;
}

// Exact unsigned decimal (as the store writes numbers); false for anything else.
bool ParseStored(const std::string& text, int64_t& out) {
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  out = v;
  return true;
}

// A stored number read back as the signed 32-bit value it was written from; 0 for a non-number.
int32_t StoredInt(const std::string& text) {
  int64_t v = 0;
  if (!ParseStored(text, v)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

std::string Unsigned(int64_t value) {
  return std::to_string(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

std::string Join(const std::set<std::string>& items) {
  if (items.empty()) return "-";
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += ',';
    out += item;
  }
  return out;
}

template <typename Format>
std::string JoinTasks(const std::map<int32_t, TaskStats>& tasks, Format format) {
  std::string out;
  for (const auto& [id, stats] : tasks) {
    if (!out.empty()) out += ';';
    out += format(id, stats);
  }
  return out;
}

std::string Pair(int32_t id, int64_t value) {
  return std::to_string(id) + "," + std::to_string(value);
}

std::string Span(int32_t id, int64_t start, int64_t end) {
  return std::to_string(id) + ":" + std::to_string(start) + "," + std::to_string(end);
}

struct JsonDeleter {
  void operator()(cJSON* json) const { cJSON_Delete(json); }
};

}  // namespace

std::string DownStateText(const std::map<std::string, std::string>& values, bool crashed) {
  if (Value(values, "resumedown") == "2") return "1000";
  int64_t status = -1;
  if (!ParseStored(Value(values, "downstatus"), status)) return "1099";
  switch (status) {
    case 0:
      return "1017";
    case 1:
      return crashed ? "1016" : "1015";
    case 2: {
      const std::string code = Value(values, "downcode");
      if (code.empty()) return "1099";
      char text[16];
      std::snprintf(text, sizeof text, "%02d", StoredInt(code));
      return std::string("10") + text;
    }
    case 3:
      return "1000";
    default:
      return "1099";
  }
}

std::string InstallStateText(const std::map<std::string, std::string>& values) {
  int64_t status = -1;
  ParseStored(Value(values, "installstatus"), status);
  switch (status) {
    case 3:
      return "2000";
    case 2: {
      const int32_t code = StoredInt(Value(values, "installcode"));
      return code == 5 ? "2002" : code == 1 ? "2001" : "2003";
    }
    case 1:
      return "2004";
    default:
      return "2005";
  }
}

std::string TimezoneText(long gmtOffsetSeconds) {
  // The system's bias is whole minutes west of UTC; the report wants hours east, rounded.
  const long minutesEast = gmtOffsetSeconds / 60;
  const long hours = std::lround(static_cast<double>(minutesEast) / 60.0);
  return Unsigned(static_cast<int32_t>(hours));
}

std::string JoinRemarks(const std::vector<std::string>& fragments) {
  std::string out;
  for (const std::string& fragment : fragments) {
    if (out.size() > 2000) break;
    if (!out.empty()) out += ',';
    out += fragment;
  }
  return out;
}

std::string BuildTrackDocument(const TrackSnapshot& s, const TrackEnvironment& env) {
  std::unique_ptr<cJSON, JsonDeleter> doc(cJSON_CreateObject());
  if (!doc) return {};
  cJSON* d = doc.get();
  auto add = [d](const char* name, const std::string& value) {
    cJSON_AddItemToObject(d, name, cJSON_CreateString(value.c_str()));
  };

  std::string digits;
  for (char ch : env.exeName) {
    if (ch >= '0' && ch <= '9') digits += ch;
  }

  add("product_id", Value(s.values, "product_id"));
  add("nuvver", "204");
  add("nuvversion", env.fileVersion);
  add("nuvnamepid", digits);
  for (const auto& [key, value] : s.values) add(key.c_str(), value);
  add("winver", env.winver);
  add("winbits", env.is64Bit ? "64" : "32");
  add("iever", env.iever.empty() ? "-" : env.iever);
  add("nuvstart", Unsigned(s.startTime));
  add("nuvend", Unsigned(env.now));
  add("downstate", DownStateText(s.values, s.crashed));
  add("installstate", InstallStateText(s.values));
  add("cdniplist", Join(s.cdnAddresses));
  add("cdnurllist", Join(s.cdnUrls));

  std::string bindTasks, bindDownFail, bindInstallFail, bindDownTime, bindInstallTime;
  if (!s.multiTask) {
    bindTasks =
        JoinTasks(s.tasks, [](int32_t id, const TaskStats& t) { return Pair(id, t.count); });
    bindDownFail = JoinTasks(
        s.tasks, [](int32_t id, const TaskStats& t) { return Pair(id, t.downloadFailure); });
    bindInstallFail = JoinTasks(
        s.tasks, [](int32_t id, const TaskStats& t) { return Pair(id, t.installFailure); });
    bindDownTime = JoinTasks(s.tasks, [](int32_t id, const TaskStats& t) {
      return Span(id, t.downloadStart, t.downloadEnd);
    });
    bindInstallTime = JoinTasks(s.tasks, [](int32_t id, const TaskStats& t) {
      return Span(id, t.installStart, t.installEnd);
    });
    if (bindDownFail.empty()) bindDownFail = "-";
    if (bindInstallFail.empty()) bindInstallFail = "-";
  }
  add("bindtasks", bindTasks);
  add("binddownfail", bindDownFail);
  add("bindinstallfail", bindInstallFail);
  add("binddowntime", bindDownTime);
  add("bindinstalltime", bindInstallTime);

  add("crash", s.crashed ? "1" : "0");
  add("crashcode", s.crash.code);
  add("crashattr", s.crash.address);
  add("crashoffset", s.crash.offset);
  add("crashfilename", s.crash.module);
  add("crashsection", s.crash.section);
  add("timezone", TimezoneText(env.gmtOffsetSeconds));
  add("syslcid", std::to_string(env.systemLcid));
  add("srceensize", std::to_string(s.screenWidth) + "*" + std::to_string(s.screenHeight));
  add("nuvclose", Unsigned(env.now));
  add("remark1", JoinRemarks(s.remarks1));
  add("remark2", JoinRemarks(s.remarks2));
  add("remark3", "");
  add("nuvtrackid", s.trackId);
  cJSON_AddItemToObject(d, "is_first_install", cJSON_CreateNumber(s.firstInstall ? 1 : 0));

  char* text = cJSON_PrintUnformatted(d);
  if (!text) return {};
  std::string out(text);
  cJSON_free(text);
  return out;
}

std::string CrashAddressText(uintptr_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08" PRIXPTR, address);
  return text;
}

std::string TrackReportUrl(const std::string& baseUrl, const std::string& clientSign) {
  return baseUrl + "rest/v2/downloader/track?client_sign=" + clientSign;
}

std::string TrackCopyPath(const TrackEnvironment& env, const std::string& productId) {
  return env.tempFolder + "NUV_" + productId + "_T" + env.localTimeText + ".json";
}

TrackEnvironment CurrentTrackEnvironment() {
  TrackEnvironment env;
  const std::array<int, 4> v = platform::ParseVersion(platform::GetOwnFileVersion());
  env.fileVersion = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                    "." + std::to_string(v[3]);
  const std::string path = nuv::os::ModulePath();
  env.exeName = path.substr(path.find_last_of('/') + 1);
  if (auto kernel = nuv::os::KernelVersion()) {
    env.winver = std::to_string((*kernel)[0]) + "." + std::to_string((*kernel)[1]) + "." +
                 std::to_string((*kernel)[2]);
  }
  env.is64Bit = platform::IsWow64();
  env.iever = WideToUtf8(platform::GetIeVersion());
  const time_t now = std::time(nullptr);
  env.now = now;
  struct tm local = {};
  if (localtime_r(&now, &local)) {
    env.gmtOffsetSeconds = local.tm_gmtoff;
    char text[32];
    if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local)) env.localTimeText = text;
  }
  env.systemLcid = nuv::os::SystemDefaultLcid();
  env.tempFolder = nuv::os::TempFolder();
  return env;
}
