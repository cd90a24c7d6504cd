// Files and folders by name: what the plug-in does to the files it makes (tests, removes, renames) and
// the folder questions of an extraction. Paths are UTF-8 on every system; on Windows they go to the wide
// calls, so that no name depends on the ANSI code page.
#pragma once

#include "Platform/Unicode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The separator the system writes between the parts of a path, and every character it reads as one.
#if defined(_WIN32)
inline constexpr char PathDelimChar = '\\';
inline constexpr char PathDelimiterChars[] = "\\/";
inline constexpr char16_t PathDelimiters[] = u"\\/";
#else
inline constexpr char PathDelimChar = '/';
inline constexpr char PathDelimiterChars[] = "/";
inline constexpr char16_t PathDelimiters[] = u"/";
#endif
inline constexpr char16_t PathDelim = PathDelimChar;

// The last part of a path: the file's name.
inline std::u16string FileNameOfPath(const std::u16string& path) {
    return path.substr(path.find_last_of(PathDelimiters) + 1);
}

// True when path names a file (not a folder) that exists.
bool IsFile(const std::string& path);
// The same for a path in UTF-16, as the plug-in holds its paths.
inline bool FileExists(std::u16string_view path) {
    return IsFile(Utf16ToUtf8(path));
}
// When the file was last written, in seconds since 1970 UTC; nothing when it cannot be read.
std::optional<std::int64_t> FileModifiedTime(const std::string& path);
// Removes the file; false, and nothing said, when it is missing or cannot be removed.
bool DeleteFileQuietly(const std::string& path);
inline bool DeleteFileQuietly(std::u16string_view path) {
    return DeleteFileQuietly(Utf16ToUtf8(path));
}
// Gives the file at from the name to, replacing a file of that name; false when it cannot.
bool RenameFileReplacing(const std::string& from, const std::string& to);
// Creates the missing folders above the file at path; false when one cannot be made.
bool CreateParentFolders(const std::string& path);
// The bytes this process may still write in folder; nothing when the system cannot tell.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& folder);
// The first count bytes of the file, fewer when it is shorter; nothing when it cannot be opened or read.
// What a file is shows in its first bytes: a PDF's header, an archive's signature.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t count);
