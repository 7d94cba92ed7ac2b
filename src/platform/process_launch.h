// Starting other programs and the installer's own presence on the desktop: waited runs with exit
// codes, hidden runs with a time limit, shell-style opens as the desktop user, the desktop entry
// that resumes a run, and bringing a running instance's window to the front. No state; callable
// from any thread; each call blocks until it is done. A command line given as one text is split
// by the Windows rules into arguments and never passed through a shell.
#pragma once

#include <chrono>
#include <string>

namespace platform {

inline constexpr std::chrono::milliseconds kHiddenRunLimit{20000};
// Shell results above this mean success (ShellExecute's convention).
inline constexpr int kShellOk = 42;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellAccessDenied = 5;
inline constexpr int kShellOutOfMemory = 8;
inline constexpr int kShellNoAssociation = 31;

// Starts path with the parameters (split by the Windows rules) and waits for it without limit.
// Unless skipExistenceCheck, the file is opened first and held open while the program runs; with
// it, a name without '/' is looked up on PATH. The exit code, 128 + signal when a signal ended
// it, or -1 (with "[ERROR] RunExe failed! err=[%d]") when it could not be started.
int RunExe(const std::u16string& path, const std::u16string& parameters, bool skipExistenceCheck);

// Gives a downloaded package the execute bits wherever it has read bits, so RunExe can start it.
bool MakeExecutable(const std::u16string& path);

// Runs a whole command line (program first, looked up on PATH when it has no '/') with stdio on
// /dev/null; true when it exited with 0 within the limit. At the limit the process and its
// process group are killed. A command line of 260 characters or more is refused.
bool RunHidden(const std::u16string& commandLine,
               std::chrono::milliseconds limit = kHiddenRunLimit);

// Starts a command line without waiting for it (detached, nothing left to reap); hidden puts its
// stdio on /dev/null. Runs as the process user. True when the program was started.
bool StartProcess(const std::u16string& commandLine, bool hidden);

// ShellExecute "open" as the desktop user, detached. An executable file is started with the
// parameters and the working folder; anything else (a URL, a document, a folder) goes to
// xdg-open. The result is kShellOk or a code of 32 or less: kShellFileNotFound for a missing
// file, kShellAccessDenied, kShellOutOfMemory, kShellNoAssociation when xdg-open is missing.
// Starting the product "from the user's shell" is ShellOpen(productPath, u"", folder): it never
// runs as root when a desktop user is known.
int ShellOpen(const std::u16string& file, const std::u16string& parameters,
              const std::u16string& workingFolder);

// <desktop>/<fileName>.desktop starting folder/fileName in folder. True when it was written.
bool CreateDesktopShortcut(const std::u16string& fileName, const std::u16string& folder);
// Removes the entry named after the running program's file name; true when it was removed.
bool DeleteOwnDesktopShortcut();
bool DeleteDesktopShortcut(const std::u16string& fileName);

// Brings the window of class "NUV" with this title (another instance's) to the front.
void ActivateExistingWindow(const std::u16string& title);

}  // namespace platform
