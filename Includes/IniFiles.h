// A settings store on an INI file, in the manner of the class library's TIniFile. The file it works
// on is usually someone else's (the host's settings file), so it changes only the lines it must, keeps
// the file's encoding, byte-order mark and line ends, and replaces the file atomically on each write.
#pragma once

#include "PluginAPI/SysUtils.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace IniFileDetail {
struct TContent;

// The system's part (posix/, win32/); path is UTF-8, fileName names the file in messages.
// The file's bytes, or nothing when there is no such file. Raises EFOpenError when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path, const UnicodeString& fileName);
// Puts bytes in place of the file at path in one step: they go to a new file in the same folder, which
// is flushed, handed to beforeReplace and then takes the old file's place, keeping its permissions.
// Raises EFCreateError, leaving the file as it was, when that cannot be done or the file is read-only.
void ReplaceFileBytes(const std::string& path, const UnicodeString& fileName, const std::string& bytes,
                      const std::function<void(const std::string& tempPath)>& beforeReplace);
// The refusal of a read-only file, in the same words on every system.
[[noreturn]] void RaiseReadOnly(const UnicodeString& fileName);
} // namespace IniFileDetail

class TIniFile {
public:
    // Binds the store to a path; nothing is read before the first ReadString or WriteString. Paths given
    // to the system are UTF-8 on every system (tempPath of BeforeReplace too).
    explicit TIniFile(std::u16string path);
    virtual ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const UnicodeString& FileName() const { return FFileName; }

    // The key's value with blanks trimmed from both ends, or defaultValue when the file, the section
    // or the key is missing. Section and key names match without regard to case. Raises EFOpenError
    // when the file exists but cannot be read.
    UnicodeString ReadString(const UnicodeString& section, const UnicodeString& key,
                             const UnicodeString& defaultValue);
    // Sets the key's value, as given, and writes the file at once (creating it when missing). An
    // existing key keeps its place; a new key goes right after the last entry of its section, so that
    // blank lines and comments that follow it stay with the next section; a new section goes to the
    // end of the file. Every other line is written back byte for byte. Raises
    // EFOpenError when the file cannot be read, EFCreateError when it cannot be written (also when it
    // is read-only: no write permission for its owner, or none for this user; the file then stays
    // as it is), and EArgumentException for names or values that would not survive a round trip
    // through the file (line ends, brackets, characters the file's encoding cannot hold).
    void WriteString(const UnicodeString& section, const UnicodeString& key, const UnicodeString& value);

protected:
    // Called once the complete new content sits, synced, in the temporary file tempPath and before it
    // replaces the old file. An exception thrown here abandons the write and leaves the old file whole.
    virtual void BeforeReplace(const std::string& tempPath);

private:
    using TContent = IniFileDetail::TContent;

    // The file's content as read at the first access and as changed by every write since.
    TContent& Content();
    void Save(const TContent& content);

    UnicodeString FFileName;
    std::string FNativePath;
    std::unique_ptr<TContent> FContent;
};

// Where the settings file lies: an empty iniPath means the executable's path with the extension
// ".ini"; a bare file name means that name with the extension ".ini" in the executable's folder;
// any other path is taken as it is.
UnicodeString ResolveIniPath(const UnicodeString& iniPath, const UnicodeString& executablePath);
