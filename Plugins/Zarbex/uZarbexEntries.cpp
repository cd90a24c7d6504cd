// The working entries of the update run and their look-ahead queue.
#include "Plugins/Zarbex/uZarbexEntries.h"

#include "Platform/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <utility>

namespace {

UnicodeString EntryFileName(const UnicodeString& folder, std::int32_t number, const char16_t* extension,
                            const char16_t* prefix = u"") {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return folder + PathDelim + prefix + u"File" + Utf8ToString(digits) + extension;
}

// The entry's text file beside its PDF.
UnicodeString TextFileOf(const UnicodeString& pdfPath) {
    return pdfPath.substr(0, pdfPath.size() - 4) + u".txt";
}

// Why an entry could not be extracted: the run ends with it at the entry's turn.
std::exception_ptr ExtractionFailure(const UnicodeString& text) {
    return std::make_exception_ptr(EInOutError(text));
}

UnicodeString TakeName(const UnicodeString& from, const UnicodeString& to) {
    if (!RenameFileReplacing(StringToUtf8(from), StringToUtf8(to)))
        DeleteFileQuietly(to); // nothing was made for it: a stale file of that name goes
    return to;
}

std::filesystem::path FilePath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           std::equal(start.begin(), start.end(), text.begin(), [](char a, char b) {
               return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
           });
}

// A web page begins with its document type or one of its first elements, perhaps after a byte-order
// mark and blanks.
bool IsWebPage(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF"))
        head.remove_prefix(3);
    head.remove_prefix(std::min(head.find_first_not_of(" \t\r\n"), head.size()));
    for (const char* start : {"<!doctype html", "<html", "<head", "<body", "<title", "<meta"})
        if (StartsWithNoCase(head, start))
            return true;
    return StartsWithNoCase(head, "<?xml") && head.find("<html") != std::string_view::npos;
}

// A failed conversion's reason in a word or two, for the run's closing message.
UnicodeString FailureWord(TPdfFailure failure) {
    switch (failure) {
    case TPdfFailure::NotPdf:
        return u"not a PDF";
    case TPdfFailure::Password:
        return u"password";
    case TPdfFailure::Damaged:
        return u"damaged";
    case TPdfFailure::Compression:
        return u"unsupported compression";
    case TPdfFailure::TimeLimit:
        return u"time limit";
    case TPdfFailure::MemoryLimit:
        return u"memory limit";
    case TPdfFailure::OutputLimit:
        return u"too large";
    default:
        return u"the converter failed";
    }
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

TSourceContent SourceContentOf(const std::string& path) {
    const std::optional<std::string> start = ReadFileStart(path, PdfHeaderSearchSize);
    if (!start)
        return TSourceContent::Other; // unreadable: the archive's own open says why
    const std::string_view head = *start;
    if (head.empty())
        return TSourceContent::Empty;
    // An archive whose first entry is stored holds that list's "%PDF-" within its first KiB.
    if (head.starts_with("Rar!\x1A\x07"))
        return TSourceContent::Rar;
    if (head.starts_with("PK\x03\x04") || head.starts_with("PK\x05\x06") || head.starts_with("PK\x07\x08"))
        return TSourceContent::Zip;
    if (head.starts_with("7z\xBC\xAF\x27\x1C"))
        return TSourceContent::SevenZip;
    if (HoldsPdfHeader(head))
        return TSourceContent::Pdf;
    if (IsWebPage(head))
        return TSourceContent::WebPage;
    return TSourceContent::Other;
}

bool IsBarePdf(TSourceContent content, const UnicodeString& knownAs) {
    if (content == TSourceContent::Pdf)
        return true;
    const std::string name = StringToUtf8(knownAs);
    return content == TSourceContent::Other && name.size() > 4 &&
           StartsWithNoCase(std::string_view(name).substr(name.size() - 4), ".pdf");
}

UnicodeString SourceFileName(const UnicodeString& source, bool address) {
    if (!address)
        return FileNameOfPath(source);
    // The path of the address, without its query and fragment, and after its server.
    UnicodeString path = source.substr(0, source.find_first_of(u"?#"));
    if (const std::size_t scheme = path.find(u"://"); scheme != UnicodeString::npos)
        path = path.substr(std::min(path.find(u'/', scheme + 3), path.size()));
    const UnicodeString segment = path.substr(path.find_last_of(u'/') + 1);
    std::string bytes;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] == u'%' && i + 2 < segment.size() && HexValue(segment[i + 1]) >= 0 &&
            HexValue(segment[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(HexValue(segment[i + 1]) * 16 + HexValue(segment[i + 2])));
            i += 2;
        } else {
            bytes += StringToUtf8(segment.substr(i, 1));
        }
    }
    return Utf8ToString(bytes);
}

TPdfListSource::TPdfListSource(std::string path, UnicodeString name) : FPath(std::move(path)) {
    FEntry.Name = std::move(name);
}

int TPdfListSource::ReadHeader() {
    if (FRead)
        return RarResult::EndOfArchive;
    FRead = FPending = true;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(FilePath(FPath), error);
    FEntry.UnpackedSize = error ? 0 : static_cast<std::uint64_t>(size);
    return RarResult::Success;
}

int TPdfListSource::Extract(const std::string& destPath) {
    if (!std::exchange(FPending, false))
        return RarResult::Unknown;
    std::error_code error;
    if (!CreateParentFolders(destPath) ||
        !std::filesystem::copy_file(FilePath(FPath), FilePath(destPath),
                                    std::filesystem::copy_options::overwrite_existing, error)) {
        DeleteFileQuietly(destPath);
        return IsFile(FPath) ? RarResult::CreateError : RarResult::ReadError;
    }
    return RarResult::Success;
}

int TPdfListSource::Skip() {
    return std::exchange(FPending, false) ? RarResult::Success : RarResult::Unknown;
}

UnicodeString TPdfListSource::ResultText(int result) const {
    switch (result) {
    case RarResult::Success:
    case RarResult::EndOfArchive:
        return {};
    case RarResult::CreateError:
        return u"the output file cannot be created";
    case RarResult::ReadError:
        return u"the file cannot be read";
    default:
        return u"it was read already";
    }
}

TWorkingEntry::~TWorkingEntry() {
    Converter.reset(); // ends a converter still at work
    DeleteFileQuietly(TxtPath);
    DeleteFileQuietly(PdfPath);
}

void TWorkingEntry::TakeTurn(const UnicodeString& pdfPath, const UnicodeString& txtPath,
                             std::chrono::milliseconds conversionTime) {
    std::optional<TPdfConversionResult> conversion;
    if (Converter)
        conversion = Converter->Wait(conversionTime);
    const UnicodeString converted = PdfPath;
    PdfPath = TakeName(PdfPath, pdfPath);
    TxtPath = TakeName(TxtPath, txtPath);
    if (Failure)
        std::rethrow_exception(Failure);
    if (conversion && conversion->Outcome != TPdfConversion::Converted)
        SetUnread(ConversionFailure(*conversion, converted), FailureWord(conversion->Failure));
}

void TWorkingEntry::SetUnread(UnicodeString line, UnicodeString reason) {
    Unread = TUnreadList{Entry.DisplayName(), std::move(line), std::move(reason)};
}

UnicodeString TWorkingEntry::ConversionFailure(const TPdfConversionResult& conversion,
                                               const UnicodeString& workingPdf) const {
    const UnicodeString name = Entry.DisplayName();
    // The converter knows the list only by its working file, which the user never made.
    return u"Cannot convert \"" + name + u"\" to text: " +
           StringReplaceAll(Utf8ToString(conversion.Reason), workingPdf, name);
}

TEntriesAhead::TEntriesAhead(TListSource& archive, UnicodeString archiveName, UnicodeString folder,
                             std::size_t depth, TPdfConversionLimits limits)
    : FArchive(archive), FArchiveName(std::move(archiveName)), FFolder(std::move(folder)), FDepth(depth),
      FLimits(limits) {}

TWorkingEntry* TEntriesAhead::Next() {
    Fill();
    return FEntries.empty() ? nullptr : &FEntries.front();
}

void TEntriesAhead::TakeTurn(TWorkingEntry& entry) {
    const UnicodeString pdfPath = EntryFileName(FFolder, ++FTurns, u".pdf");
    entry.TakeTurn(pdfPath, TextFileOf(pdfPath), FLimits.Time);
}

void TEntriesAhead::Finish() {
    FEntries.pop_front();
}

void TEntriesAhead::Fill() {
    while (!FEnded && FEntries.size() < FDepth) {
        const int headerResult = FArchive.ReadHeader();
        if (headerResult == RarResult::EndOfArchive) {
            FEnded = true;
            break;
        }
        // Folders and links carry no list: nothing of them is extracted, counted or shown.
        if (headerResult == RarResult::Success && !FArchive.Entry().IsFile()) {
            FLastHeader = FArchive.Entry().DisplayName();
            FArchive.Skip();
            continue;
        }
        TWorkingEntry& entry = FEntries.emplace_back();
        entry.HeaderRead = headerResult == RarResult::Success;
        entry.Entry = FArchive.Entry();
        entry.PdfPath = EntryFileName(FFolder, ++FTaken, u".pdf", u"~");
        entry.TxtPath = TextFileOf(entry.PdfPath);
        DeleteFileQuietly(entry.PdfPath);
        DeleteFileQuietly(entry.TxtPath);
        if (entry.HeaderRead) {
            Prepare(entry);
            FLastHeader = entry.Entry.DisplayName();
        } else {
            entry.Failure = HeaderFailure(headerResult);
        }
        FEnded = entry.EndsTheArchive();
    }
}

void TEntriesAhead::Prepare(TWorkingEntry& entry) {
    entry.Failure = Extract(entry);
    if (entry.Failure || entry.Unread)
        return;
    // A read-me or a picture beside the lists is no list: it is not worth a converter.
    if (!FArchive.IsNamedList() && !StartsAsPdf(StringToUtf8(entry.PdfPath))) {
        entry.NotPdf = true;
        return;
    }
    try {
        entry.Converter = std::make_unique<TPdfToTextProcess>(
            StringToUtf8(entry.PdfPath), StringToUtf8(entry.TxtPath), PdfToTextProgram(), FLimits.Output);
    } catch (...) {
        entry.Failure = std::current_exception();
    }
}

// An entry that needs a password, or that would unpack to more than the size limit or the free space,
// is not extracted at all; like one whose data is damaged, it is a list that cannot be read, and the next
// entries are. Where the archive ends early or the folder takes no file, the run ends with the entry.
std::exception_ptr TEntriesAhead::Extract(TWorkingEntry& entry) {
    const UnicodeString name = u"\"" + entry.Entry.DisplayName() + u"\"";
    if (entry.Entry.IsEncrypted) {
        entry.SetUnread(u"Cannot extract " + name + u" from the archive: " +
                            FArchive.ResultText(RarResult::MissingPassword),
                        u"encrypted");
        return nullptr;
    }
    if (const std::optional<UnicodeString> refusal = ExtractionRefusal(entry.Entry, StringToUtf8(FFolder))) {
        entry.SetUnread(u"Cannot extract from the archive: " + *refusal, u"too large");
        return nullptr;
    }
    const int result = FArchive.Extract(StringToUtf8(entry.PdfPath));
    if (result == RarResult::Success) {
        FLastList = entry.Entry.DisplayName();
        return nullptr;
    }
    if (result == RarResult::CutShort)
        return CutFailure();
    const UnicodeString why = FArchive.ResultText(result);
    if (result == RarResult::BadData || result == RarResult::SizeLimit) {
        entry.SetUnread(u"Cannot extract " + name + u" from the archive: " + why,
                        result == RarResult::BadData ? u"damaged" : u"too large");
        return nullptr;
    }
    // Where the output could not be written, the folder is part of the reason.
    const bool output = result == RarResult::CreateError || result == RarResult::WriteError ||
                        result == RarResult::CloseError;
    return ExtractionFailure(u"Cannot extract " + name + u" from the archive" +
                             (output ? u" into \"" + FFolder + u"\"" : UnicodeString()) + u": " + why);
}

std::exception_ptr TEntriesAhead::HeaderFailure(int headerResult) const {
    if (headerResult == RarResult::CutShort)
        return CutFailure();
    const UnicodeString where = FLastHeader ? u"Cannot read the archive past \"" + *FLastHeader + u"\""
                                            : UnicodeString(u"Cannot read the archive's first entry");
    return ExtractionFailure(where + u": " + FArchive.ResultText(headerResult));
}

std::exception_ptr TEntriesAhead::CutFailure() const {
    const UnicodeString archive = u"The archive \"" + FArchiveName + u"\" is cut short";
    return ExtractionFailure(FLastList ? archive + u" after \"" + *FLastList +
                                             u"\": the lists after it were not read"
                                       : archive + u": none of its lists could be read");
}
