// Reading a text file on Windows: by its wide path, with other writers shut out by the sharing mode.
#include "Includes/TextFile.h"

#include "Includes/win32/FileHandle.h"
#include "PluginAPI/SysUtils.h"

std::string TextFileDetail::ReadFileShared(const std::string& path) {
    const UnicodeString name = Utf8ToString(path);
    const TFileHandle file = OpenFileForReading(name);
    try {
        return file.ReadToEnd(name);
    } catch (const EReadError& e) {
        // A failed read is an input error to the reader's callers, with the same words.
        throw EInOutError(e.Message());
    }
}
