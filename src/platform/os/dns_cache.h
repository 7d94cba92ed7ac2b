// Flushing the system resolver's cache, so a forced re-resolution does not get the old answer.
#pragma once

#include <string>

// Returned when no resolvectl is on PATH: nothing was done.
inline constexpr int kDnsFlushUnavailable = -1;
// Returned when resolvectl could not be started or did not end within its time limit.
inline constexpr int kDnsFlushFailed = -2;

// Runs "resolvectl flush-caches" when resolvectl is on PATH and returns its exit code (0 when
// flushed); kDnsFlushUnavailable when it is absent, kDnsFlushFailed when it could not be run.
int FlushDnsCache();

// The full path of an executable found on PATH (or the name itself when it holds a '/'); empty
// when none is found.
std::string FindOnPath(const std::string& name);
