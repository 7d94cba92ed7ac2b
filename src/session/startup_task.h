// The task of the product that the after page starts: its id is the decimal value of
// "StartupProduct".
#pragma once

#include "session/nuv_mgr.h"

// Null when no task has that id (or the text names no id a task can have).
NuvTask* FindStartupTask(NuvMgr& mgr);
