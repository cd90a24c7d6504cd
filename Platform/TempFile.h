// The system's temporary-file-name service: GetTempFileNameW with the Windows contract.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
#include <windows.h> // MAX_PATH
#else
// The longest path the service hands out, terminator included (windows.h has it as a macro).
inline constexpr std::size_t MAX_PATH = 260;
#endif

// Makes the name "<pathName>/<up to 3 characters of prefix><number in upper-case hexadecimal>.tmp" in
// tempFileName, a buffer of MAX_PATH characters. With unique 0 it picks a number from 1 to FFFF that no
// file in the folder uses yet, creates that file empty and exclusively, and returns the number. Any
// other unique is used, cut to 16 bits, as the number as it is: nothing is created and the folder is
// not looked at. Returns 0 on failure with errno telling why: the folder is missing or not writable, every
// number is taken (EEXIST), or the name would not fit in MAX_PATH characters (ENAMETOOLONG). On Windows
// it is the system's own, and GetLastError tells why.
std::uint32_t GetTempFileNameW(const char16_t* pathName, const char16_t* prefix, std::uint32_t unique,
                               char16_t* tempFileName);
