// Binding of the UnRAR library: the library file "UnRAR.dll" is loaded at run time from a given folder,
// so the file whose presence is checked is the file that runs. Paths are UTF-8 on every system. The
// library's own header stays inside the binding (UnRARLibrary.h): its records are packed and its macros
// (HANDLE, LONG, UINT...) would clash with ours.
//
// The library keeps global state: use it from one thread.
#pragma once

#include "PluginAPI/SysUtils.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The library's result codes (the same values as its ERAR_... constants), and one of the binding's own.
namespace RarResult {
inline constexpr int Success = 0;
inline constexpr int EndOfArchive = 10;
inline constexpr int NoMemory = 11;
inline constexpr int BadData = 12; // a CRC error: damaged data, or an archive cut short in an entry's data
inline constexpr int BadArchive = 13;
inline constexpr int UnknownFormat = 14;
inline constexpr int OpenError = 15;
inline constexpr int CreateError = 16;
inline constexpr int CloseError = 17;
inline constexpr int ReadError = 18;
inline constexpr int WriteError = 19; // the disk is full, or the file may not grow
inline constexpr int SmallBuffer = 20;
inline constexpr int Unknown = 21;
inline constexpr int MissingPassword = 22; // encrypted: the binding never gives a password
inline constexpr int BadReference = 23;
inline constexpr int BadPassword = 24;
// The binding's own: the entry's data grew past the archive's size limit, and the extraction stopped.
inline constexpr int SizeLimit = -1;
// The binding's own: the file ends before the archive does. The library reports the end of the archive,
// or a CRC error in the entry whose data the cut runs through; the chain of the archive's blocks tells.
inline constexpr int CutShort = -2;
// The binding's own: the archive goes on in a next part (a volume) that is not there.
inline constexpr int MissingVolume = -3;
// The binding's own: the library reported success but wrote nothing at the destination.
inline constexpr int NothingWritten = -4;
// The binding's own: the archive's blocks say otherwise than the library: it ends before entries the
// file holds, cannot open or read a file whose blocks are there, or a header points past the end of a
// file that ends as a whole archive does.
inline constexpr int Damaged = -5;
} // namespace RarResult

// The largest entry the binding extracts: far beyond any real list, so that a small hostile archive
// cannot fill the disk.
inline constexpr std::uint64_t RarEntrySizeLimit = std::uint64_t{256} << 20; // 256 MiB

// What one header read yields about the current entry.
struct TRarEntry {
    UnicodeString Name; // the stored name, folders separated by the system's separator ('/', '\\')
    std::uint64_t UnpackedSize = 0;
    bool IsDirectory = false;
    bool IsLink = false;      // a symbolic link, hard link or file copy: it has no data of its own
    bool IsEncrypted = false; // its data needs a password
    // When the file was last written before it was archived, in seconds since 1970 UTC; nothing when
    // the archive does not say.
    std::optional<std::int64_t> ModifiedTime;

    // Only plain files carry data worth extracting.
    bool IsFile() const { return !IsDirectory && !IsLink; }
    // The name as it may be shown: control characters (a line end, an escape) as U+FFFD, and a name
    // that decodes to nothing as "(no readable name)".
    UnicodeString DisplayName() const;
};

// Why the entry may not be extracted into folder, or nothing when it may. An entry whose unpacked size
// is above limit, or above the space free in folder, is refused; the text names the entry (its display
// name), its size and the limit or the free space. A folder whose free space cannot be read is not
// judged by it: the extraction itself then fails with its own reason.
std::optional<UnicodeString> ExtractionRefusal(const TRarEntry& entry, const std::string& folder,
                                               std::uint64_t limit = RarEntrySizeLimit);

class TUnRARLibrary;
// What the library's callback knows of its archive; see UnRAR.cpp.
struct TRarCallbackState;

// One archive opened for extraction; closed when the object goes. A failed open keeps no handle, and such
// an archive behaves as one without entries: the first header read reports the end.
class TRarArchive {
public:
    TRarArchive(TRarArchive&& other) noexcept;
    TRarArchive& operator=(TRarArchive&& other) noexcept;
    TRarArchive(const TRarArchive&) = delete;
    TRarArchive& operator=(const TRarArchive&) = delete;
    ~TRarArchive();

    bool IsOpen() const { return FHandle != nullptr; }
    // A part (volume) of a multi-volume archive, and whether it is the first; RAR 3 and later name their
    // parts NAME.part1.rar, NAME.part2.rar..., older ones NAME.rar, NAME.r00, NAME.r01...
    bool IsVolume() const { return (FOpenFlags & VolumeFlag) != 0; }
    bool IsFirstVolume() const { return (FOpenFlags & FirstVolumeFlag) != 0; }
    // The library's open result: 0 when the archive opened, otherwise why not (13 not an archive,
    // 15 file cannot be opened, 22 its headers are encrypted...).
    int OpenResult() const { return FOpenResult; }
    // The library never asks anyone for a password: an encrypted entry fails at once with
    // MissingPassword, and an archive whose headers are encrypted (rar -hp) fails to open with it.

    // Why a call of this archive failed, in words for the user: result is what OpenResult, ReadHeader,
    // Extract or Skip returned. Reads as the reason after the failing thing's name ("...: the data is
    // damaged"); empty for Success and EndOfArchive.
    UnicodeString ResultText(int result) const;

    // The archive file is a copy under a name of its own (a download): the library opens no other part
    // beside it, and a next part it wants is named after knownAs, the name the user knows the archive by.
    void KeepToThisFile(const UnicodeString& knownAs);

    // The largest entry Extract writes; more data stops it with SizeLimit and removes the file. The
    // header's size is the archive's claim; this holds whatever the data turns out to be.
    void SetSizeLimit(std::uint64_t bytes);

    // Reads the next header: 0 for an entry, 10 at the end, anything else is an error: CutShort where the
    // file ends before the archive does, MissingVolume where the archive goes on in a part that is not
    // there. An entry that was neither extracted nor skipped is skipped first. The entry keeps its last
    // values when a read fails, as the library's header record does.
    int ReadHeader();
    const TRarEntry& Entry() const { return FEntry; }

    // Writes the current entry's data to exactly destPath (the stored name plays no part, so a name
    // holding "../" cannot lead outside the caller's folder, and a name that decodes to nothing
    // extracts like any other); missing parent folders are created. Returns the library's result, 0
    // on success; 21 (unknown error) without a current entry, that is when the last header read
    // failed or the entry was already extracted or skipped; SizeLimit past the size limit; CutShort when
    // the entry's data runs past the end of the file; MissingVolume when it goes on in a part that is
    // not there. When the extraction fails, nothing is left at destPath.
    int Extract(const std::string& destPath);
    // Passes over the current entry's data. Returns as Extract does.
    int Skip();

    // Closes the handle now; later header reads report the end.
    void Close();

private:
    friend class TUnRARLibrary;
    struct THeaderRecord;
    TRarArchive(const TUnRARLibrary& library, const std::string& path);
    int Process(int operation, const std::string* destPath);

    // A library call's result with what the binding knows besides: the cut, the missing part, the file
    // not written. inEntry: the call worked on the current entry's data.
    int Explained(int result, bool inEntry);

    static constexpr unsigned VolumeFlag = 0x0001,
                              FirstVolumeFlag = 0x0100; // ROADF_VOLUME, ROADF_FIRSTVOLUME

    const TUnRARLibrary* FLibrary;
    void* FHandle = nullptr;
    int FOpenResult = 0;
    unsigned FOpenFlags = 0;
    UnicodeString FKnownAs; // set by KeepToThisFile
    bool FEntryPending = false;
    // The library's header record, large and reused for every entry.
    std::unique_ptr<THeaderRecord> FHeader;
    // On the heap, so that the address the library holds stays valid when the archive moves.
    std::unique_ptr<TRarCallbackState> FCallbackState;
    TRarEntry FEntry;
};

// The loaded library with the functions the binding calls. Loading fails with EOSError when the file is
// missing or is not a loadable library, or when it lacks one of the functions. It must outlive every
// archive opened through it.
class TUnRARLibrary {
public:
    static constexpr const char* FileName = "UnRAR.dll";
    // The full path of the library file in folder.
    static std::string PathIn(const std::string& folder);

    explicit TUnRARLibrary(const std::string& folder);
    TUnRARLibrary(const TUnRARLibrary&) = delete;
    TUnRARLibrary& operator=(const TUnRARLibrary&) = delete;
    ~TUnRARLibrary();

    const std::string& Path() const { return FPath; }
    // Opens archivePath for extraction. Never raises for a bad archive: see TRarArchive.
    TRarArchive OpenArchive(const std::string& archivePath) const;

private:
    friend class TRarArchive;
    struct TFunctions;
    // The loaded file: a dlopen handle on Linux, a TModule on Windows.
    struct TModuleHandle;
    std::string FPath;
    std::unique_ptr<TModuleHandle> FModule;
    std::unique_ptr<TFunctions> FFunctions;
};

// The names of a multi-volume archive's parts, from the name of one of them: NAME.partN.rar (any
// number of digits, kept as wide as they are) or NAME.rar, NAME.r00, NAME.r01... Which part a name is
// (1 for the first), nothing when the name follows neither scheme.
std::optional<int> RarVolumeNumber(const UnicodeString& name);
// The first part's name; empty when the name follows neither scheme.
UnicodeString RarFirstVolumeName(const UnicodeString& name);
// The next part's name, as the library forms it: NAME.part2.rar after NAME.part1.rar, NAME.r00 after
// NAME.rar; empty when the name follows neither scheme.
UnicodeString RarNextVolumeName(const UnicodeString& name);

// Converts an entry name from the OEM to the ANSI code page, up to its first zero byte. On Linux both
// code pages are UTF-8, so the name is copied.
std::string OemToAnsiName(const std::string& name);
