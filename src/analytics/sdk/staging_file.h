// The staging file that carries unsent records from one run to the next: one record per line.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace analytics_sdk {

// Longest line taken as a record, and how much of the file's end is read at most: a damaged or
// huge file costs bounded memory and time.
inline constexpr size_t kMaxStagedLineBytes = 1 << 20;
inline constexpr size_t kMaxStagingScanBytes = 64u << 20;

// True for a line that begins with '{', ends with '}' and closes every bracket it opens outside
// strings exactly at its end (so a record cut off inside a nested object is refused).
bool LooksLikeRecord(const std::string& line);

// The newest (last) maxLines record lines of the file, in file order; junk lines are skipped.
// A missing file gives nothing.
std::vector<std::string> ReadStagedRecords(const std::string& path, size_t maxLines);
// Empties the file (if it exists).
void TruncateStagingFile(const std::string& path);
// Appends the records, one per line, in one write: another instance of the program sharing the
// temporary folder may have left its own records there since this one loaded the file, and
// replacing the content would lose them. False when the file can't be written.
bool WriteStagedRecords(const std::string& path, const std::vector<std::string>& records);

}  // namespace analytics_sdk
