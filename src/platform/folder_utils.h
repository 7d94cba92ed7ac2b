// Folder, path and disk helpers over the OS layer. Paths are UTF-16 with '/' as separator; the
// folders returned end in '/' where noted. None of them logs; failures are empty, false or 0.
//
// Linux mapping: Program Files (both widths) is /opt/; the protected system folders are /usr/,
// /bin/, /sbin/, /lib/, /lib32/, /lib64/, /libx32/, /etc/, /boot/, /proc/, /sys/, /dev/ and
// everything under /opt/ (the Program Files rule); the shared documents folder is /var/lib/.
// Under NUV_ROOT_PREFIX (tests) Program Files and shared documents move below the prefix; the
// system folders stay where they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The maker's folder name used when a caller gives none.
inline constexpr const char16_t* kDefaultMakerFolder = u"Veltrin";

// Both folders are the Program Files folder ("/opt/"); always true.
bool GetProgramFilesFolders(std::u16string& x86Folder, std::u16string& nativeFolder);
// The path (lexically normalised: repeated '/', "." and ".." resolved) lies in a system folder or
// under Program Files. Case-sensitive.
bool IsUnderSystemFolder(const std::u16string& path);

// base + (name or "Veltrin") + '/', created with its parents; the text is returned even when the
// creation fails (callers test writability).
std::u16string GetSharedDocumentsFolder(const std::u16string& name);
std::u16string GetTempSubFolder(const std::u16string& name);
// Empty when the program's own folder is unknown.
std::u16string GetModuleSubFolder(const std::u16string& name);

// Creates and deletes <folder>/nuv.tmp, never through a link or over someone else's file; false
// for an empty folder or when that fails (errno tells why).
bool CanWriteToFolder(const std::u16string& folder);
// Bytes free on the drive holding folder; 0 when that can't be queried.
uint64_t GetFreeDiskSpace(const std::u16string& folder);
// The fixed drive roots ("/" first, each ending in '/'); replaces the list's contents.
void ListFixedDrives(std::vector<std::u16string>& drives);
// The root of the system drive ("/").
std::u16string GetSystemDriveRoot();
// The fixed drive root that holds path (the longest root prefixing it); "/" for anything else.
std::u16string GetDriveRootOf(const std::u16string& path);

// The running program: full path, file name (after the last '/'), folder (before the last '/').
std::u16string GetModulePath();
std::u16string GetModuleFileName();
std::u16string GetModuleFolder();

// The desktop user's local application data folder, no trailing '/'; empty when unknown.
std::u16string GetShellUserLocalAppData();

bool FolderExists(const std::u16string& path);
// Up to and including the last '/'; empty when there is none.
std::u16string ParentFolder(const std::u16string& path);
// Creates every missing folder along path; false at the first creation that fails.
bool CreateFolderChain(const std::u16string& path);
// Appends the entries of folder (a '/' is added when missing): files as folder + name, folders as
// folder + name + '/' when includeFolders; descends into folders when recurse. Entries of one
// folder come sorted by name, a folder before its contents; symbolic links are not followed.
void ListFiles(const std::u16string& folder, std::vector<std::u16string>& out, bool recurse,
               bool includeFolders);
// UTF-8 file name after the last '/' (all of path without one); without keepExtension the text from
// the name's last '.' on is cut.
std::string FileNameOf(const std::u16string& path, bool keepExtension);
// UTF-8 extension of the file name, from its last '.' (included); empty when the name has none.
std::string ExtensionOf(const std::u16string& path);

}  // namespace platform
