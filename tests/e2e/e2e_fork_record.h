// Where the fork instance started by a run records its command line.
#pragma once

// Names the file the e2e program appends its tab-separated argv to when it runs as a fork
// instance.
inline constexpr const char* kForkRecordEnv = "NUV_E2E_FORK_RECORD";
