// Where the run configuration and the downloaded packages live, chosen from the brand over the
// fixed drives.
#pragma once

#include <cstdint>
#include <string>

// 1. The first drive (in listing order) holding <root>/<brand>/Download wins.
// 2. Else the drive with the most free space (first on a tie): the system drive gives
//    <shared documents>/<brand>/, any other <root>/<brand>/Download/, created.
// 3. Unwritable: <exe folder>/<brand>/, then <temp folder>/<brand>/ (used even if unwritable).
// A folder that someone else could change (a link, another owner, writable by others, or on a way
// that others can change) counts as missing in step 1 and as unwritable in steps 2 and 3.
// An empty brand means no brand level on the drives and "Veltrin" elsewhere. Ends in '/'.
std::u16string ChooseConfigFolder(const std::u16string& brand);

// The same rule without step 1: no search for an existing folder.
std::u16string ChooseDefaultConfigFolder(const std::u16string& brand);
// Step 2 alone, for a package of `needed` bytes: empty when even the roomiest drive has less free
// space than that or its folder can't be written. Ends in '/'.
std::u16string RoomyDefaultFolder(const std::u16string& brand, uint64_t needed);
