#include "Includes/UnRAR.h"

#include "Includes/UnRARLibrary.h"
#include "Platform/Calendar.h"
#include "Platform/CodePage.h"
#include "Platform/FileSystem.h"
#include "Platform/QuantityText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

static_assert(RarResult::Success == ERAR_SUCCESS && RarResult::EndOfArchive == ERAR_END_ARCHIVE &&
              RarResult::NoMemory == ERAR_NO_MEMORY && RarResult::BadData == ERAR_BAD_DATA &&
              RarResult::BadArchive == ERAR_BAD_ARCHIVE && RarResult::UnknownFormat == ERAR_UNKNOWN_FORMAT &&
              RarResult::OpenError == ERAR_EOPEN && RarResult::CreateError == ERAR_ECREATE &&
              RarResult::CloseError == ERAR_ECLOSE && RarResult::ReadError == ERAR_EREAD &&
              RarResult::WriteError == ERAR_EWRITE && RarResult::SmallBuffer == ERAR_SMALL_BUF &&
              RarResult::Unknown == ERAR_UNKNOWN && RarResult::MissingPassword == ERAR_MISSING_PASSWORD &&
              RarResult::BadReference == ERAR_EREFERENCE && RarResult::BadPassword == ERAR_BAD_PASSWORD);

struct TRarArchive::THeaderRecord : RARHeaderDataEx {};

namespace {

// How an archive file ends, found by following its chain of blocks: every block's header gives the
// block's length, and a RAR 5 archive ends with its end-of-archive block.
struct TRarEnding {
    bool Cut = false;             // the file ends before the archive does
    std::uint64_t WholeFiles = 0; // file headers whose header and data lie wholly in the file
    // The chain runs past the file's end, yet the file ends with an end-of-archive block: a header
    // points past the end of a file that is whole, so the archive is damaged, not cut.
    bool EndsWhole = false;
};

} // namespace

// The library reports to its callback while it opens, reads and extracts: password requests, volume
// changes and every piece of extracted data.
struct TRarCallbackState {
    std::uint64_t sizeLimit = RarEntrySizeLimit;
    std::uint64_t written = 0; // by the current extraction
    bool sizeLimitHit = false;

    std::string volume;              // the part the library reads now
    std::uint64_t filesInVolume = 0; // file headers read from it so far
    bool inEntry = false;            // the library works on the current entry's data
    bool keepToThisFile = false;     // no other part may be opened
    UnicodeString missingVolume;     // the part the library wanted and did not get
    // How the part ends, once asked: the part it was found for, and nothing when it cannot be told.
    std::optional<std::string> endingOf;
    std::optional<TRarEnding> ending;
};

namespace {

// The callback's parameters: long on Linux, LPARAM (pointer-sized) on Windows.
using TRarParam = decltype(RAROpenArchiveDataEx::UserData);

UnicodeString EntryName(const wchar_t* text, std::size_t capacity);
// A part's path as the library gives it to the callback: its buffers hold 2048 characters.
UnicodeString VolumeName(const wchar_t* text) {
    return EntryName(text, 2048);
}

// Runs inside the library: it must not throw, and it never blocks for an answer.
int CALLBACK OnLibraryMessage(unsigned int message, TRarParam userData, TRarParam p1, TRarParam p2) {
    auto& state = *reinterpret_cast<TRarCallbackState*>(userData);
    switch (message) {
    case UCM_PROCESSDATA: {
        const auto size = static_cast<std::uint64_t>(p2);
        if (size > state.sizeLimit - std::min(state.written, state.sizeLimit)) {
            state.sizeLimitHit = true;
            return -1; // stops the extraction; the library removes what it wrote
        }
        state.written += size;
        return 1;
    }
    case UCM_CHANGEVOLUMEW:
        // RAR_VOL_NOTIFY: the next part was found and opened; RAR_VOL_ASK: it is missing, and there is
        // nobody to ask for it. Either way the name is the next part's path, beside this one.
        try {
            const UnicodeString name = VolumeName(reinterpret_cast<const wchar_t*>(p1));
            if (p2 != RAR_VOL_NOTIFY || state.keepToThisFile) {
                state.missingVolume = name;
                return -1;
            }
            state.volume = StringToUtf8(name);
            // A part opened for the current entry's data starts with that entry's continuation.
            state.filesInVolume = state.inEntry ? 1 : 0;
            return 1;
        } catch (...) {
            return -1;
        }
    case UCM_CHANGEVOLUME:
        // The same news in the ANSI code page, after the wide one, which decided.
        return p2 == RAR_VOL_NOTIFY && !state.keepToThisFile ? 1 : -1;
    default:
        // UCM_NEEDPASSWORD(W): the lists are never encrypted, and the host has no way to ask the user;
        // refusing makes an encrypted entry fail at once instead of waiting for an answer.
        return -1;
    }
}

// A name stored without its Unicode form (RAR 4) is bytes in the OEM code page, which the library
// decodes with the process locale. Bytes the locale cannot decode it keeps as U+E000 + byte and marks
// the name with U+FFFE. Such names are rebuilt into their bytes and decoded as the OEM code page, so
// that the name comes out the same in every locale.
constexpr std::uint32_t MappedNameMark = 0xFFFE;
constexpr std::uint32_t MappedByteBase = 0xE000;

UnicodeString EntryName(const wchar_t* text, std::size_t capacity) {
    const std::size_t length = std::find(text, text + capacity, L'\0') - text;
    // On Windows wchar_t is UTF-16 already, and the library decodes RAR 4 names itself.
    if constexpr (sizeof(wchar_t) == sizeof(char16_t))
        return UnicodeString(text, text + length);
    const bool mapped = std::find(text, text + length, static_cast<wchar_t>(MappedNameMark)) != text + length;
    UnicodeString name;
    if (!mapped) {
        for (std::size_t i = 0; i < length; ++i)
            AppendUtf16(name, static_cast<std::uint32_t>(text[i]));
        return name;
    }
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        const auto cp = static_cast<std::uint32_t>(text[i]);
        if (cp == MappedNameMark)
            continue;
        if (cp >= MappedByteBase + 0x80 && cp <= MappedByteBase + 0xFF) {
            bytes.push_back(static_cast<char>(cp - MappedByteBase));
        } else {
            UnicodeString one;
            AppendUtf16(one, cp);
            bytes += UnicodeToAnsi(one);
        }
    }
    return AnsiToUnicode(bytes);
}

// A size for the user: the exact count, and the round figure where there is one.
UnicodeString Bytes(std::uint64_t count) {
    return Utf8ToString(ByteCountText(count));
}

// ---- How an archive file ends ----

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint64_t Little(const unsigned char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

// The archive file read at given places.
class TArchiveBytes {
public:
    explicit TArchiveBytes(const std::string& path)
        : FFile(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary) {
        if (FFile.seekg(0, std::ios::end))
            FSize = static_cast<std::uint64_t>(FFile.tellg());
    }
    bool IsOpen() const { return static_cast<bool>(FFile); }
    std::uint64_t Size() const { return FSize; }
    // Up to count bytes from at: fewer where the file ends.
    std::vector<unsigned char> Read(std::uint64_t at, std::size_t count) {
        if (at >= FSize)
            return {};
        std::vector<unsigned char> bytes(
            static_cast<std::size_t>(std::min<std::uint64_t>(count, FSize - at)));
        FFile.clear();
        FFile.seekg(static_cast<std::streamoff>(at));
        FFile.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(FFile.gcount()));
        return bytes;
    }

private:
    std::ifstream FFile;
    std::uint64_t FSize = 0;
};

constexpr unsigned char Rar4Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr unsigned char Rar5Signature[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
// How far into a self-extracting archive the library looks for the signature.
constexpr std::size_t SfxSearchSize = 0x200000;

// A RAR 5 variable-length number at p, at most max bytes; its length goes to length, 0 when invalid.
std::uint64_t VarInt(const unsigned char* p, std::size_t max, std::size_t& length) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < max && i < 10; ++i) {
        value |= std::uint64_t{p[i] & 0x7Fu} << (7 * i);
        if ((p[i] & 0x80) == 0) {
            length = i + 1;
            return value;
        }
    }
    length = 0;
    return 0;
}

// The variable-length numbers of a RAR 5 header, one after the other.
struct TVarInts {
    const unsigned char* p;
    std::size_t left;
    bool ok = true; // false once a number ran past the header

    std::uint64_t Next() {
        std::size_t length = 0;
        const std::uint64_t value = ok ? VarInt(p, left, length) : 0;
        ok = length != 0;
        p += length;
        left -= length;
        return value;
    }
};

// Block after block from the first behind the signature. Nothing when the chain cannot be followed to a
// judgement: a header that fails its check (the data is damaged, which the library reports itself),
// encrypted headers, a format older than RAR 2.
std::optional<TRarEnding> FollowRar5(TArchiveBytes& file, std::uint64_t at) {
    TRarEnding ending;
    for (;;) {
        // The header's CRC, then its size in at most 3 bytes.
        const std::vector<unsigned char> start = file.Read(at, 7);
        if (start.size() < 5)
            break; // the file ends where a block begins: the end-of-archive block is missing
        std::size_t sizeBytes = 0;
        const std::uint64_t headerSize =
            VarInt(&start[4], std::min<std::size_t>(start.size() - 4, 3), sizeBytes);
        if (sizeBytes == 0 && start.size() < 7)
            break;
        if (sizeBytes == 0 || headerSize == 0 || headerSize > 0x200000)
            return std::nullopt;
        const std::uint64_t headerEnd = at + 4 + sizeBytes + headerSize;
        if (headerEnd > file.Size())
            break; // the file ends inside the header
        const std::vector<unsigned char> header = file.Read(at, static_cast<std::size_t>(headerEnd - at));
        if (header.size() != headerEnd - at ||
            Crc32(&header[4], header.size() - 4) != Little(header.data(), 4))
            return std::nullopt;
        TVarInts fields{&header[4 + sizeBytes], static_cast<std::size_t>(headerSize)};
        const std::uint64_t type = fields.Next();
        const std::uint64_t flags = fields.Next();
        if ((flags & 0x0001) != 0)
            fields.Next(); // the extra area's size
        const std::uint64_t dataSize = (flags & 0x0002) != 0 ? fields.Next() : 0;
        if (!fields.ok)
            return std::nullopt;
        if (type == 4) // archive encryption: every header after this one is encrypted
            return std::nullopt;
        if (type == 5)
            return ending; // the end-of-archive block
        if (dataSize > file.Size() - headerEnd)
            break; // the file ends inside the block's data
        if (type == 2)
            ++ending.WholeFiles;
        at = headerEnd + dataSize;
    }
    ending.Cut = true;
    return ending;
}

std::optional<TRarEnding> FollowRar4(TArchiveBytes& file, std::uint64_t at) {
    TRarEnding ending;
    for (;;) {
        // RAR 2 and 3 could leave out the end-of-archive block (rar -en): a file that ends where a block
        // would begin is whole.
        if (at == file.Size())
            return ending;
        const std::vector<unsigned char> start = file.Read(at, 7);
        if (start.size() < 7)
            break;
        const unsigned type = start[2];
        const auto flags = static_cast<unsigned>(Little(&start[3], 2));
        const auto headerSize = static_cast<std::size_t>(Little(&start[5], 2));
        if (headerSize < 7)
            return std::nullopt;
        if (headerSize > file.Size() - at)
            break;
        const std::vector<unsigned char> header = file.Read(at, headerSize);
        if (header.size() != headerSize)
            return std::nullopt; // the file could not be read
        // Old headers with a comment inside check only part of themselves: no judgement on those.
        if ((Crc32(&header[2], header.size() - 2) & 0xFFFF) != Little(header.data(), 2))
            return std::nullopt;
        if (type == 0x73 && (flags & 0x0080) != 0) // main header of an archive with encrypted headers
            return std::nullopt;
        if (type == 0x7B)
            return ending;
        std::uint64_t dataSize = 0;
        if (type == 0x74 || type == 0x7A) { // file and service headers: the packed size, maybe 64-bit
            if (headerSize < 11 || ((flags & 0x0100) != 0 && headerSize < 36))
                return std::nullopt;
            dataSize = Little(&header[7], 4) | ((flags & 0x0100) != 0 ? Little(&header[32], 4) << 32 : 0);
        } else if ((flags & 0x8000) != 0) {
            if (headerSize < 11)
                return std::nullopt;
            dataSize = Little(&header[7], 4);
        }
        const std::uint64_t headerEnd = at + headerSize;
        if (dataSize > file.Size() - headerEnd)
            break;
        if (type == 0x74)
            ++ending.WholeFiles;
        at = headerEnd + dataSize;
    }
    ending.Cut = true;
    return ending;
}

// The file's last bytes are an end-of-archive block as rar writes it: RAR 5's with no flags of its own,
// RAR 4's of its 7 bytes alone.
bool EndsWithEndBlock(TArchiveBytes& file, bool rar5) {
    const std::size_t size = rar5 ? 8 : 7;
    if (file.Size() < size)
        return false;
    const std::vector<unsigned char> b = file.Read(file.Size() - size, size);
    if (b.size() != size)
        return false;
    if (rar5)
        return b[4] == 3 && b[5] == 5 && b[7] == 0 && Crc32(&b[4], 4) == Little(b.data(), 4);
    return b[2] == 0x7B && Little(&b[5], 2) == 7 && (Crc32(&b[2], 5) & 0xFFFF) == Little(b.data(), 2);
}

std::optional<TRarEnding> ReadEnding(const std::string& path) {
    TArchiveBytes file(path);
    if (!file.IsOpen())
        return std::nullopt;
    const std::vector<unsigned char> head = file.Read(0, SfxSearchSize + sizeof Rar5Signature);
    const auto found = [&](const unsigned char* signature, std::size_t size) {
        return std::search(head.begin(), head.end(), signature, signature + size);
    };
    const auto rar5 = found(Rar5Signature, sizeof Rar5Signature);
    const auto rar4 = found(Rar4Signature, sizeof Rar4Signature);
    const bool isRar5 = rar5 != head.end() && rar5 <= rar4;
    std::optional<TRarEnding> ending;
    if (isRar5)
        ending = FollowRar5(file, static_cast<std::uint64_t>(rar5 - head.begin()) + sizeof Rar5Signature);
    else if (rar4 != head.end())
        ending = FollowRar4(file, static_cast<std::uint64_t>(rar4 - head.begin()) + sizeof Rar4Signature);
    if (ending && ending->Cut)
        ending->EndsWhole = EndsWithEndBlock(file, isRar5);
    return ending;
}

} // namespace

void RaiseLibraryLoadError(const std::string& path, const UnicodeString& reason, std::uint32_t errorCode) {
    EOSError e(Format(u"Cannot load the RAR library \"%s\": %s", Utf8ToString(path), reason));
    e.ErrorCode = errorCode;
    throw e;
}

void RaiseMissingFunction(const std::string& path, const char* name) {
    throw EOSError(
        Format(u"The RAR library \"%s\" lacks the function \"%s\"", Utf8ToString(path), Utf8ToString(name)));
}

std::string TUnRARLibrary::PathIn(const std::string& folder) {
    // An empty folder means the current one; a bare file name would make the loader search the system.
    if (folder.empty())
        return std::string(".") + PathDelimChar + FileName;
    if (folder.back() == PathDelimChar || folder.back() == '/')
        return folder + FileName;
    return folder + PathDelimChar + FileName;
}

TRarArchive TUnRARLibrary::OpenArchive(const std::string& archivePath) const {
    return TRarArchive(*this, archivePath);
}

TRarArchive::TRarArchive(const TUnRARLibrary& library, const std::string& path)
    : FLibrary(&library), FHeader(std::make_unique<THeaderRecord>()),
      FCallbackState(std::make_unique<TRarCallbackState>()) {
    static_assert(VolumeFlag == ROADF_VOLUME && FirstVolumeFlag == ROADF_FIRSTVOLUME);
    std::memset(static_cast<RARHeaderDataEx*>(FHeader.get()), 0, sizeof(RARHeaderDataEx));
    RAROpenArchiveDataEx data;
    std::memset(&data, 0, sizeof data);
    TRarPath name = RarPath(path); // the library takes a mutable pointer
    SetArchiveName(data, name.data());
    data.OpenMode = RAR_OM_EXTRACT;
    // From the open on, so that encrypted headers are refused there rather than asked for.
    data.Callback = OnLibraryMessage;
    data.UserData = reinterpret_cast<decltype(data.UserData)>(FCallbackState.get());
    FCallbackState->volume = path;
    FHandle = FLibrary->FFunctions->OpenArchiveEx(&data);
    FOpenResult = static_cast<int>(data.OpenResult);
    FOpenFlags = FHandle != nullptr ? data.Flags : 0;
    if (FHandle == nullptr && FOpenResult == ERAR_SUCCESS)
        FOpenResult = ERAR_UNKNOWN;
    if (FHandle != nullptr && FOpenResult != ERAR_SUCCESS) {
        // Not seen in practice, but a handle with a failed open must not be read through.
        FLibrary->FFunctions->CloseArchive(FHandle);
        FHandle = nullptr;
    }
    // A file with a RAR archive's blocks that the library cannot open is damaged or cut short.
    if (FOpenResult != ERAR_SUCCESS)
        FOpenResult = Explained(FOpenResult, false);
}

TRarArchive::TRarArchive(TRarArchive&& other) noexcept
    : FLibrary(other.FLibrary), FHandle(std::exchange(other.FHandle, nullptr)),
      FOpenResult(other.FOpenResult), FOpenFlags(other.FOpenFlags), FKnownAs(std::move(other.FKnownAs)),
      FEntryPending(std::exchange(other.FEntryPending, false)), FHeader(std::move(other.FHeader)),
      FCallbackState(std::move(other.FCallbackState)), FEntry(std::move(other.FEntry)) {}

TRarArchive& TRarArchive::operator=(TRarArchive&& other) noexcept {
    if (this != &other) {
        Close();
        FLibrary = other.FLibrary;
        FHandle = std::exchange(other.FHandle, nullptr);
        FOpenResult = other.FOpenResult;
        FOpenFlags = other.FOpenFlags;
        FKnownAs = std::move(other.FKnownAs);
        FEntryPending = std::exchange(other.FEntryPending, false);
        FHeader = std::move(other.FHeader);
        FCallbackState = std::move(other.FCallbackState);
        FEntry = std::move(other.FEntry);
    }
    return *this;
}

TRarArchive::~TRarArchive() {
    Close();
}

void TRarArchive::Close() {
    if (FHandle != nullptr)
        FLibrary->FFunctions->CloseArchive(std::exchange(FHandle, nullptr));
    FEntryPending = false;
}

int TRarArchive::ReadHeader() {
    if (FHandle == nullptr)
        return ERAR_END_ARCHIVE;
    // The library reads the next header where the last entry's data began: pass over unread data first.
    if (FEntryPending) {
        const int skipped = Skip();
        if (skipped != ERAR_SUCCESS)
            return skipped;
    }
    const int result = Explained(FLibrary->FFunctions->ReadHeaderEx(FHandle, FHeader.get()), false);
    if (result != ERAR_SUCCESS)
        return result;
    FEntryPending = true;
    ++FCallbackState->filesInVolume;
    const RARHeaderDataEx& h = *FHeader;
    FEntry.Name = EntryName(h.FileNameW, std::size(h.FileNameW));
    FEntry.UnpackedSize = (std::uint64_t(h.UnpSizeHigh) << 32) | h.UnpSize;
    FEntry.IsDirectory = (h.Flags & RHDF_DIRECTORY) != 0;
    FEntry.IsLink = h.RedirType != 0;
    FEntry.IsEncrypted = (h.Flags & RHDF_ENCRYPTED) != 0;
    const std::uint64_t written = (std::uint64_t{h.MtimeHigh} << 32) | h.MtimeLow;
    FEntry.ModifiedTime = written != 0 ? std::optional(UnixTimeOfFileTime(written)) : std::nullopt;
    return result;
}

int TRarArchive::Process(int operation, const std::string* destPath) {
    if (FHandle == nullptr)
        return FOpenResult;
    // Without a current entry the library would act on whatever its last header left behind.
    if (!FEntryPending)
        return ERAR_UNKNOWN;
    FEntryPending = false;
    TRarPath folder, dest;
    if (destPath != nullptr) {
        dest = RarPath(*destPath);
        // The library makes its own destination from the folder and the stored name before it takes
        // the name given; without a folder, an entry whose name decodes to nothing would have no
        // destination at all, and the library would pass over it reporting success.
        const std::size_t cut = destPath->find_last_of(PathDelimiterChars);
        folder =
            RarPath(cut == std::string::npos ? std::string(".") : destPath->substr(0, cut == 0 ? 1 : cut));
        // Whether the library would make them differs by version and system; a folder that cannot
        // be made fails the extraction with the library's own reason.
        CreateParentFolders(*destPath);
    }
    FCallbackState->written = 0;
    FCallbackState->sizeLimitHit = false;
    FCallbackState->inEntry = true;
    const int called =
        FLibrary->FFunctions->ProcessFile(FHandle, operation, destPath != nullptr ? folder.data() : nullptr,
                                          destPath != nullptr ? dest.data() : nullptr);
    FCallbackState->inEntry = false;
    int result = FCallbackState->sizeLimitHit ? RarResult::SizeLimit : Explained(called, true);
    if (destPath != nullptr && result == ERAR_SUCCESS && !IsFile(*destPath))
        result = RarResult::NothingWritten;
    if (destPath != nullptr && result != ERAR_SUCCESS)
        DeleteFileQuietly(*destPath); // the library keeps some broken files (a write error's)
    return result;
}

int TRarArchive::Explained(int result, bool inEntry) {
    TRarCallbackState& state = *FCallbackState;
    if (result == ERAR_SUCCESS)
        return result;
    if (!state.missingVolume.empty() && result != ERAR_END_ARCHIVE)
        return RarResult::MissingVolume;
    if (result != ERAR_END_ARCHIVE && result != ERAR_BAD_DATA && result != ERAR_EREAD &&
        result != ERAR_BAD_ARCHIVE)
        return result;
    if (state.endingOf != state.volume) {
        state.ending = ReadEnding(state.volume);
        state.endingOf = state.volume;
    }
    if (!state.ending)
        return result;
    const TRarEnding& ending = *state.ending;
    // A failure in an entry's data is the cut's only when the cut lies in this entry.
    if (ending.Cut && (!inEntry || state.filesInVolume > ending.WholeFiles))
        return ending.EndsWhole ? RarResult::Damaged : RarResult::CutShort;
    // The file holds more entries than the library found, or the library could not read what the file
    // holds: its headers are damaged.
    if (result == ERAR_END_ARCHIVE && !inEntry && state.filesInVolume < ending.WholeFiles)
        return RarResult::Damaged;
    if ((result == ERAR_EREAD || result == ERAR_BAD_ARCHIVE) && !ending.Cut)
        return RarResult::Damaged;
    return result;
}

void TRarArchive::KeepToThisFile(const UnicodeString& knownAs) {
    FKnownAs = knownAs;
    if (FCallbackState)
        FCallbackState->keepToThisFile = true;
}

void TRarArchive::SetSizeLimit(std::uint64_t bytes) {
    if (FCallbackState)
        FCallbackState->sizeLimit = bytes;
}

UnicodeString TRarArchive::ResultText(int result) const {
    switch (result) {
    case ERAR_SUCCESS:
    case ERAR_END_ARCHIVE:
        return {};
    case RarResult::SizeLimit:
        return u"it unpacks to more than the limit of " +
               Bytes(FCallbackState ? FCallbackState->sizeLimit : RarEntrySizeLimit);
    case RarResult::CutShort:
        return u"the archive is cut short: its file ends before the archive does";
    case RarResult::Damaged:
        return u"the archive is damaged (its headers do not match the file)";
    case RarResult::MissingVolume: {
        // A download is known by its address, not by the temporary file's name.
        const UnicodeString next = !FKnownAs.empty()           ? RarNextVolumeName(FKnownAs)
                                   : FCallbackState != nullptr ? FileNameOfPath(FCallbackState->missingVolume)
                                                               : UnicodeString();
        return (next.empty() ? UnicodeString(u"its next part is missing")
                             : u"the next part " + next + u" is missing") +
               (!FKnownAs.empty() ? u" (an address gives one part only: save every part in one folder and "
                                    u"choose the first)"
                                  : u"");
    }
    case RarResult::NothingWritten:
        return u"the RAR library reported it extracted but wrote no file";
    case ERAR_NO_MEMORY:
        return u"there is not enough memory";
    case ERAR_BAD_DATA:
        return u"the data is damaged or cut short (CRC error)";
    case ERAR_BAD_ARCHIVE:
        return u"the file is not a RAR archive, or it is damaged";
    case ERAR_UNKNOWN_FORMAT:
        return u"the archive's format is unknown to the RAR library";
    case ERAR_EOPEN:
        return u"the file cannot be opened";
    case ERAR_ECREATE:
        return u"the output file cannot be created";
    case ERAR_ECLOSE:
        return u"the output file cannot be closed";
    case ERAR_EREAD:
        return u"the archive cannot be read";
    case ERAR_EWRITE:
        return u"the output file cannot be written (the disk may be full)";
    case ERAR_SMALL_BUF:
        return u"a buffer of the RAR library is too small";
    case ERAR_MISSING_PASSWORD:
        return u"it is encrypted (protected by a password)";
    case ERAR_EREFERENCE:
        return u"it refers to another entry that cannot be read";
    case ERAR_BAD_PASSWORD:
        return u"the password is wrong";
    default:
        return u"the RAR library reports an unknown error (" + Utf8ToString(std::to_string(result)) + u")";
    }
}

int TRarArchive::Extract(const std::string& destPath) {
    return Process(RAR_EXTRACT, &destPath);
}

int TRarArchive::Skip() {
    return Process(RAR_SKIP, nullptr);
}

UnicodeString TRarEntry::DisplayName() const {
    if (Name.empty())
        return u"(no readable name)";
    return ReplaceControlChars(Name);
}

std::optional<UnicodeString> ExtractionRefusal(const TRarEntry& entry, const std::string& folder,
                                               std::uint64_t limit) {
    const UnicodeString name = u"\"" + entry.DisplayName() + u"\"";
    if (entry.UnpackedSize > limit)
        return name + u" unpacks to " + Bytes(entry.UnpackedSize) + u", more than the limit of " +
               Bytes(limit);
    const std::optional<std::uint64_t> free = FreeDiskSpace(folder);
    if (free && entry.UnpackedSize > *free)
        return name + u" unpacks to " + Bytes(entry.UnpackedSize) + u", more than the " + Bytes(*free) +
               u" free in \"" + Utf8ToString(folder) + u"\"";
    return std::nullopt;
}

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool EndsWithNoCase(const UnicodeString& text, std::u16string_view end, std::size_t before) {
    if (before < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        char16_t c = text[before - end.size() + i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != end[i])
            return false;
    }
    return true;
}

// Where a part's number stands in its name: the digits of NAME.partN.rar, or the extension of NAME.rar
// and NAME.rNN.
struct TVolumeNumberPlace {
    std::size_t at = 0, length = 0;
    bool partScheme = false;
};

std::optional<TVolumeNumberPlace> VolumeNumberPlace(const UnicodeString& name) {
    if (EndsWithNoCase(name, u".rar", name.size())) {
        const std::size_t end = name.size() - 4;
        std::size_t begin = end;
        while (begin > 0 && IsDigit(name[begin - 1]))
            --begin;
        if (begin < end && EndsWithNoCase(name, u".part", begin))
            return TVolumeNumberPlace{begin, end - begin, true};
        return TVolumeNumberPlace{name.size() - 3, 3, false};
    }
    const std::size_t n = name.size();
    if (n >= 4 && name[n - 4] == u'.' && (name[n - 3] == u'r' || name[n - 3] == u'R') &&
        IsDigit(name[n - 2]) && IsDigit(name[n - 1]))
        return TVolumeNumberPlace{n - 2, 2, false};
    return std::nullopt;
}

} // namespace

std::optional<int> RarVolumeNumber(const UnicodeString& name) {
    const std::optional<TVolumeNumberPlace> place = VolumeNumberPlace(name);
    if (!place)
        return std::nullopt;
    if (!place->partScheme && place->length == 3)
        return 1; // NAME.rar, followed by NAME.r00
    int number = 0;
    for (std::size_t i = place->at; i < place->at + place->length; ++i)
        number = std::min(number * 10 + (name[i] - u'0'), 1'000'000);
    return place->partScheme ? number : number + 2;
}

UnicodeString RarFirstVolumeName(const UnicodeString& name) {
    const std::optional<TVolumeNumberPlace> place = VolumeNumberPlace(name);
    if (!place)
        return {};
    if (!place->partScheme)
        return name.substr(0, name.size() - 3) + u"rar"; // the extension, after its dot
    return name.substr(0, place->at) + UnicodeString(place->length - 1, u'0') + u"1" +
           name.substr(place->at + place->length);
}

UnicodeString RarNextVolumeName(const UnicodeString& name) {
    const std::optional<TVolumeNumberPlace> place = VolumeNumberPlace(name);
    if (!place)
        return {};
    UnicodeString next = name;
    if (!place->partScheme && place->length == 3)
        return next.replace(place->at + 1, 2, u"00"); // NAME.rar, then NAME.r00
    // Counting up with carry; past the last digit the part scheme grows a digit (part9, part10) and
    // the old one goes on in the letter (r99, s00), as the library counts.
    std::size_t i = place->at + place->length;
    while (i > place->at) {
        --i;
        if (next[i] != u'9') {
            ++next[i];
            return next;
        }
        next[i] = u'0';
    }
    if (place->partScheme)
        return next.insert(place->at, 1, u'1');
    ++next[place->at - 1];
    return next;
}
