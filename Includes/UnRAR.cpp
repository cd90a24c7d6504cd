#include "Includes/UnRAR.h"

#include "Platform/CodePage.h"
#include "Platform/QuantityText.h"
#include "PluginAPI/ScopeExit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <sys/statvfs.h>
#include <utility>

// The library's header last: it defines HANDLE, LONG, UINT, LPARAM, CALLBACK and PASCAL as macros.
#include <unrar/dll.hpp>
#undef HANDLE
#undef LONG
#undef UINT
#undef LPARAM
#undef CALLBACK
#undef PASCAL

static_assert(RarResult::Success == ERAR_SUCCESS && RarResult::EndOfArchive == ERAR_END_ARCHIVE &&
              RarResult::NoMemory == ERAR_NO_MEMORY && RarResult::BadData == ERAR_BAD_DATA &&
              RarResult::BadArchive == ERAR_BAD_ARCHIVE && RarResult::UnknownFormat == ERAR_UNKNOWN_FORMAT &&
              RarResult::OpenError == ERAR_EOPEN && RarResult::CreateError == ERAR_ECREATE &&
              RarResult::CloseError == ERAR_ECLOSE && RarResult::ReadError == ERAR_EREAD &&
              RarResult::WriteError == ERAR_EWRITE && RarResult::SmallBuffer == ERAR_SMALL_BUF &&
              RarResult::Unknown == ERAR_UNKNOWN && RarResult::MissingPassword == ERAR_MISSING_PASSWORD &&
              RarResult::BadReference == ERAR_EREFERENCE && RarResult::BadPassword == ERAR_BAD_PASSWORD);

// Paths go to the library as bytes through its char fields; names come back through its wide fields.
// On this platform the library turns a wide path into bytes with the process locale, which fails for
// non-ASCII paths in the "C" locale, while it carries a byte path through losslessly in every locale.
// Entry names are the other way round: the wide name is exact, the char one is cut short in the "C"
// locale. So nothing here depends on the locale, and nothing here calls setlocale.
struct TUnRARLibrary::TFunctions {
    decltype(&::RAROpenArchiveEx) OpenArchiveEx;
    decltype(&::RARReadHeaderEx) ReadHeaderEx;
    decltype(&::RARProcessFile) ProcessFile;
    decltype(&::RARCloseArchive) CloseArchive;
};

struct TRarArchive::THeaderRecord : RARHeaderDataEx {};

// The library reports to its callback while it opens, reads and extracts: password requests, volume
// changes and every piece of extracted data.
struct TRarCallbackState {
    std::uint64_t sizeLimit = RarEntrySizeLimit;
    std::uint64_t written = 0; // by the current extraction
    bool sizeLimitHit = false;
};

namespace {

// Runs inside the library: it must not throw, and it never blocks for an answer.
int OnLibraryMessage(unsigned int message, long userData, long, long p2) {
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

template <class Fn> Fn Resolve(void* module, const char* name, const std::string& path) {
    dlerror();
    void* address = dlsym(module, name);
    if (address == nullptr) {
        throw EOSError(Format(u"The RAR library \"%s\" lacks the function \"%s\"", Utf8ToString(path),
                              Utf8ToString(name)));
    }
    return reinterpret_cast<Fn>(address);
}

} // namespace

std::string TUnRARLibrary::PathIn(const std::string& folder) {
    // An empty folder means the current one; a bare file name would make dlopen search the system.
    if (folder.empty())
        return std::string("./") + FileName;
    if (folder.back() == '/')
        return folder + FileName;
    return folder + '/' + FileName;
}

TUnRARLibrary::TUnRARLibrary(const std::string& folder) : path_(PathIn(folder)) {
    module_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) {
        const char* reason = dlerror();
        throw EOSError(Format(u"Cannot load the RAR library \"%s\": %s", Utf8ToString(path_),
                              Utf8ToString(reason != nullptr ? reason : "unknown error")));
    }
    // The destructor does not run for a failed construction.
    TScopeExit unload([this] { dlclose(module_); });
    functions_ = std::make_unique<TFunctions>(TFunctions{
        Resolve<decltype(TFunctions::OpenArchiveEx)>(module_, "RAROpenArchiveEx", path_),
        Resolve<decltype(TFunctions::ReadHeaderEx)>(module_, "RARReadHeaderEx", path_),
        Resolve<decltype(TFunctions::ProcessFile)>(module_, "RARProcessFile", path_),
        Resolve<decltype(TFunctions::CloseArchive)>(module_, "RARCloseArchive", path_),
    });
    unload.Dismiss();
}

TUnRARLibrary::~TUnRARLibrary() {
    dlclose(module_);
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
    std::string name = path; // the library takes a mutable pointer
    data.ArcName = name.data();
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
    std::string dest = destPath != nullptr ? *destPath : std::string();
    callbackState_->written = 0;
    callbackState_->sizeLimitHit = false;
    const int result = library_->functions_->ProcessFile(handle_, operation, nullptr,
                                                         destPath != nullptr ? dest.data() : nullptr);
    if (destPath != nullptr && result != ERAR_SUCCESS)
        std::remove(destPath->c_str()); // the library keeps some broken files (a write error's)
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
    struct statvfs space {};
    if (::statvfs(folder.c_str(), &space) != 0)
        return std::nullopt;
    const std::uint64_t free = std::uint64_t{space.f_bavail} * space.f_frsize;
    if (entry.UnpackedSize > free)
        return name + u" unpacks to " + Bytes(entry.UnpackedSize) + u", more than the " + Bytes(free) +
               u" free in \"" + AnsiToUnicode(folder) + u"\"";
    return std::nullopt;
}

std::string OemToAnsiName(const std::string& name) {
    // Windows converts with OemToCharA; here OEM and ANSI are both UTF-8, so only the cut remains.
    return name.substr(0, name.find('\0'));
}
