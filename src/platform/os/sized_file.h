// File primitives of the download engine: creating a file with its blocks reserved up front
// (posix_fallocate, never sparse), positioned writes and reads, truncation, rename. Errors are
// errno values.
#pragma once

#include <cstdint>
#include <string>

namespace nuv::os {

// Removes a file; true when it is gone (also when it did not exist), else false with `error`.
bool UnlinkFile(const std::string& path, int* error);
// Creates the folder and every missing parent; true when it exists afterwards.
bool MakeDirectories(const std::string& folder);
// Creates a new file for writing; the descriptor, or -1 with `error` set (EEXIST when anything,
// a link included, has the name already).
int CreateForWrite(const std::string& path, int& error);
// Opens an existing file for reading and writing, never through a symbolic link; -1 with `error`
// set when it cannot.
int OpenReadWrite(const std::string& path, int& error);
// Opens an existing file for reading, never through a symbolic link; -1 with `error` set when it
// cannot.
int OpenRead(const std::string& path, int& error);
void CloseFd(int fd);
// Reserves `size` bytes from offset 0 (zero-filled); 0 or the errno (ENOSPC: disk full).
int Reserve(int fd, int64_t size);
// Writes all bytes at the offset; false with `error` set when it could not.
bool WriteAt(int fd, int64_t offset, const void* data, int64_t length, int& error);
// Reads exactly `length` bytes at the offset; false otherwise.
bool ReadAt(int fd, int64_t offset, void* data, int64_t length);
bool Truncate(int fd, int64_t size, int& error);
// Size of the open file, or -1.
int64_t FdSize(int fd);
// Size of the regular file at the path (a symbolic link is not followed), or -1.
int64_t FileSize(const std::string& path);
// Renames, replacing the target; false with `error` set.
bool RenameFile(const std::string& from, const std::string& to, int& error);

}  // namespace nuv::os
