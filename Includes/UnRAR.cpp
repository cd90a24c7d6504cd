#include "Includes/UnRAR.h"

#include "Includes/UnRARLibrary.h"
#include "Platform/CodePage.h"
#include "Platform/FileSystem.h"
#include "Platform/QuantityText.h"

#include <algorithm>
#include <cstring>
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

// The library reports to its callback while it opens, reads and extracts: password requests, volume
// changes and every piece of extracted data.
struct TRarCallbackState {
    std::uint64_t sizeLimit = RarEntrySizeLimit;
    std::uint64_t written = 0; // by the current extraction
    bool sizeLimitHit = false;
};

namespace {

// The callback's parameters: long on Linux, LPARAM (pointer-sized) on Windows.
using TRarParam = decltype(RAROpenArchiveDataEx::UserData);

// Runs inside the library: it must not throw, and it never blocks for an answer.
int CALLBACK OnLibraryMessage(unsigned int message, TRarParam userData, TRarParam, TRarParam p2) {
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
    case UCM_CHANGEVOLUME:
    case UCM_CHANGEVOLUMEW:
        // The next volume was found: go on. A missing one would be asked for: there is nobody to ask.
        return p2 == RAR_VOL_NOTIFY ? 1 : -1;
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
    : library_(&library), header_(std::make_unique<THeaderRecord>()),
      callbackState_(std::make_unique<TRarCallbackState>()) {
    std::memset(static_cast<RARHeaderDataEx*>(header_.get()), 0, sizeof(RARHeaderDataEx));
    RAROpenArchiveDataEx data;
    std::memset(&data, 0, sizeof data);
    TRarPath name = RarPath(path); // the library takes a mutable pointer
    SetArchiveName(data, name.data());
    data.OpenMode = RAR_OM_EXTRACT;
    // From the open on, so that encrypted headers are refused there rather than asked for.
    data.Callback = OnLibraryMessage;
    data.UserData = reinterpret_cast<decltype(data.UserData)>(callbackState_.get());
    handle_ = library_->functions_->OpenArchiveEx(&data);
    openResult_ = static_cast<int>(data.OpenResult);
    if (handle_ == nullptr && openResult_ == ERAR_SUCCESS)
        openResult_ = ERAR_UNKNOWN;
    if (handle_ != nullptr && openResult_ != ERAR_SUCCESS) {
        // Not seen in practice, but a handle with a failed open must not be read through.
        library_->functions_->CloseArchive(handle_);
        handle_ = nullptr;
    }
}

TRarArchive::TRarArchive(TRarArchive&& other) noexcept
    : library_(other.library_), handle_(std::exchange(other.handle_, nullptr)),
      openResult_(other.openResult_), entryPending_(std::exchange(other.entryPending_, false)),
      header_(std::move(other.header_)), callbackState_(std::move(other.callbackState_)),
      entry_(std::move(other.entry_)) {}

TRarArchive& TRarArchive::operator=(TRarArchive&& other) noexcept {
    if (this != &other) {
        Close();
        library_ = other.library_;
        handle_ = std::exchange(other.handle_, nullptr);
        openResult_ = other.openResult_;
        entryPending_ = std::exchange(other.entryPending_, false);
        header_ = std::move(other.header_);
        callbackState_ = std::move(other.callbackState_);
        entry_ = std::move(other.entry_);
    }
    return *this;
}

TRarArchive::~TRarArchive() {
    Close();
}

void TRarArchive::Close() {
    if (handle_ != nullptr)
        library_->functions_->CloseArchive(std::exchange(handle_, nullptr));
    entryPending_ = false;
}

int TRarArchive::ReadHeader() {
    if (handle_ == nullptr)
        return ERAR_END_ARCHIVE;
    // The library reads the next header where the last entry's data began: pass over unread data first.
    if (entryPending_) {
        const int skipped = Skip();
        if (skipped != ERAR_SUCCESS)
            return skipped;
    }
    const int result = library_->functions_->ReadHeaderEx(handle_, header_.get());
    if (result != ERAR_SUCCESS)
        return result;
    entryPending_ = true;
    const RARHeaderDataEx& h = *header_;
    entry_.Name = EntryName(h.FileNameW, std::size(h.FileNameW));
    entry_.UnpackedSize = (std::uint64_t(h.UnpSizeHigh) << 32) | h.UnpSize;
    entry_.IsDirectory = (h.Flags & RHDF_DIRECTORY) != 0;
    entry_.IsLink = h.RedirType != 0;
    entry_.IsEncrypted = (h.Flags & RHDF_ENCRYPTED) != 0;
    return result;
}

int TRarArchive::Process(int operation, const std::string* destPath) {
    if (handle_ == nullptr)
        return openResult_;
    // Without a current entry the library would act on whatever its last header left behind.
    if (!entryPending_)
        return ERAR_UNKNOWN;
    entryPending_ = false;
    TRarPath dest;
    if (destPath != nullptr) {
        dest = RarPath(*destPath);
        // Whether the library would make them differs by version and system; a folder that cannot
        // be made fails the extraction with the library's own reason.
        CreateParentFolders(*destPath);
    }
    callbackState_->written = 0;
    callbackState_->sizeLimitHit = false;
    const int result = library_->functions_->ProcessFile(handle_, operation, nullptr,
                                                         destPath != nullptr ? dest.data() : nullptr);
    if (destPath != nullptr && result != ERAR_SUCCESS)
        DeleteFileQuietly(*destPath); // the library keeps some broken files (a write error's)
    return callbackState_->sizeLimitHit ? RarResult::SizeLimit : result;
}

void TRarArchive::SetSizeLimit(std::uint64_t bytes) {
    if (callbackState_)
        callbackState_->sizeLimit = bytes;
}

UnicodeString TRarArchive::ResultText(int result) const {
    switch (result) {
    case ERAR_SUCCESS:
    case ERAR_END_ARCHIVE:
        return {};
    case RarResult::SizeLimit:
        return u"it unpacks to more than the limit of " +
               Bytes(callbackState_ ? callbackState_->sizeLimit : RarEntrySizeLimit);
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
