// The temporary-file-name service for code that prefers an exception to a zero.
#pragma once

#include <string>

// GetTempFileNameW with unique 0: the name of a new empty file in the folder. Raises EFCreateError
// naming the folder when none can be made.
std::u16string MakeTempFileName(const std::u16string& folder, const std::u16string& prefix);
