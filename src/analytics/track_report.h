// The download track report document: built from a snapshot of the report store and the facts of
// the running system, so that it can be checked member for member.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct TaskStats {
  int32_t count = 0;
  int64_t downloadStart = 0;
  int64_t downloadEnd = 0;
  int32_t downloadFailure = 0;
  int64_t installStart = 0;
  int64_t installEnd = 0;
  int32_t installFailure = 0;
  // Values this task's own document stores first in multi-task mode.
  std::map<std::string, std::string> values;
};

// The crash record as the report sends it; every text is "-" until a crash is recorded.
struct CrashInfo {
  std::string code = "-";
  std::string address = "-";
  std::string offset = "-";
  std::string module = "-";
  std::string section = "-";
};

struct TrackSnapshot {
  std::map<std::string, std::string> values;
  std::vector<std::string> remarks1;
  std::vector<std::string> remarks2;
  std::map<int32_t, TaskStats> tasks;
  std::set<std::string> cdnAddresses;
  std::set<std::string> cdnUrls;
  CrashInfo crash;
  bool crashed = false;
  bool multiTask = false;
  bool firstInstall = true;
  int64_t startTime = 0;
  std::string trackId;
  std::string baseUrl;
  int screenWidth = 0;
  int screenHeight = 0;
};

// What the document reads of the program and the system, gathered once per report.
struct TrackEnvironment {
  std::string fileVersion;  // "a.b.c.d" of the program file
  std::string exeName;      // the program's file name
  std::string winver;       // kernel major.minor.patch
  bool is64Bit = false;
  std::string iever;
  int64_t now = 0;            // seconds since 1970
  long gmtOffsetSeconds = 0;  // local time minus UTC
  uint32_t systemLcid = 0;
  std::string localTimeText;  // "%Y%m%d%H%M%S", names the local copy
  std::string tempFolder;     // ends in '/'
};

TrackEnvironment CurrentTrackEnvironment();

// "10" + two digits from "downstatus" / "downcode" (and "resumedown"), "20" + two digits from
// "installstatus" / "installcode".
std::string DownStateText(const std::map<std::string, std::string>& values, bool crashed);
std::string InstallStateText(const std::map<std::string, std::string>& values);
// Whole hours east of UTC, rounded, as the unsigned decimal of its 32-bit pattern.
std::string TimezoneText(long gmtOffsetSeconds);
// Fragments joined with ','; appending stops once the text is longer than 2000 characters.
std::string JoinRemarks(const std::vector<std::string>& fragments);

// The compact JSON document for the snapshot. In multi-task mode the caller has already stored
// the task's own values in snapshot.values.
std::string BuildTrackDocument(const TrackSnapshot& snapshot, const TrackEnvironment& env);

// "0x%08X" over the whole pointer, so a 64-bit address keeps its top half.
std::string CrashAddressText(uintptr_t address);

// platform base URL + "rest/v2/downloader/track?client_sign=" + sign.
std::string TrackReportUrl(const std::string& baseUrl, const std::string& clientSign);
// temp folder + "NUV_" + product id + "_T" + local time + ".json".
std::string TrackCopyPath(const TrackEnvironment& env, const std::string& productId);
