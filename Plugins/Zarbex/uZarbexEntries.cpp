// The working entries of the update run and their look-ahead queue.
#include "Plugins/Zarbex/uZarbexEntries.h"

#include "Platform/FileSystem.h"

#include <cstdio>

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

} // namespace

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
        throw EOleSysError(ConversionFailure(*conversion, converted), E_FAIL, 0);
}

UnicodeString TWorkingEntry::ConversionFailure(const TPdfConversionResult& conversion,
                                               const UnicodeString& workingPdf) const {
    const UnicodeString name = Entry.DisplayName();
    // The converter knows the list only by its working file, which the user never made.
    return u"Cannot convert \"" + name + u"\" to text: " +
           StringReplaceAll(Utf8ToString(conversion.Reason), workingPdf, name);
}

TEntriesAhead::TEntriesAhead(TRarArchive& archive, UnicodeString folder, std::size_t depth,
                             std::chrono::milliseconds conversionTime)
    : archive_(archive), folder_(std::move(folder)), depth_(depth), conversionTime_(conversionTime) {}

TWorkingEntry* TEntriesAhead::Next() {
    Fill();
    return entries_.empty() ? nullptr : &entries_.front();
}

void TEntriesAhead::TakeTurn(TWorkingEntry& entry) {
    const UnicodeString pdfPath = EntryFileName(folder_, ++turns_, u".pdf");
    entry.TakeTurn(pdfPath, TextFileOf(pdfPath), conversionTime_);
}

void TEntriesAhead::Finish() {
    entries_.pop_front();
}

void TEntriesAhead::Fill() {
    while (!ended_ && entries_.size() < depth_) {
        const int headerResult = archive_.ReadHeader();
        if (headerResult == RarResult::EndOfArchive) {
            ended_ = true;
            break;
        }
        // Folders and links carry no list: nothing of them is extracted, counted or shown.
        if (headerResult == RarResult::Success && !archive_.Entry().IsFile()) {
            lastHeader_ = archive_.Entry().DisplayName();
            archive_.Skip();
            continue;
        }
        TWorkingEntry& entry = entries_.emplace_back();
        entry.HeaderRead = headerResult == RarResult::Success;
        entry.Entry = archive_.Entry();
        entry.PdfPath = EntryFileName(folder_, ++taken_, u".pdf", u"~");
        entry.TxtPath = TextFileOf(entry.PdfPath);
        DeleteFileQuietly(entry.PdfPath);
        DeleteFileQuietly(entry.TxtPath);
        entry.Failure = headerResult == RarResult::Success ? Extract(entry) : HeaderFailure(headerResult);
        if (!entry.Failure) {
            try {
                entry.Converter = std::make_unique<TPdfToTextProcess>(
                    StringToUtf8(entry.PdfPath), StringToUtf8(entry.TxtPath), PdfToTextProgram());
            } catch (...) {
                entry.Failure = std::current_exception();
            }
        }
        if (entry.HeaderRead)
            lastHeader_ = entry.Entry.DisplayName();
        ended_ = entry.EndsTheArchive();
    }
}

// An entry that needs a password, or that would unpack to more than the size limit or the free space,
// is not extracted at all.
std::exception_ptr TEntriesAhead::Extract(TWorkingEntry& entry) {
    const UnicodeString name = u"\"" + entry.Entry.DisplayName() + u"\"";
    if (entry.Entry.IsEncrypted)
        return ExtractionFailure(u"Cannot extract " + name + u" from the archive: " +
                                 archive_.ResultText(RarResult::MissingPassword));
    if (const std::optional<UnicodeString> refusal = ExtractionRefusal(entry.Entry, StringToUtf8(folder_)))
        return ExtractionFailure(u"Cannot extract from the archive: " + *refusal);
    const int result = archive_.Extract(StringToUtf8(entry.PdfPath));
    if (result == RarResult::Success)
        return nullptr;
    // Where the output could not be written, the folder is part of the reason.
    const bool output = result == RarResult::CreateError || result == RarResult::WriteError ||
                        result == RarResult::CloseError;
    return ExtractionFailure(u"Cannot extract " + name + u" from the archive" +
                             (output ? u" into \"" + folder_ + u"\"" : UnicodeString()) + u": " +
                             archive_.ResultText(result));
}

std::exception_ptr TEntriesAhead::HeaderFailure(int headerResult) const {
    const UnicodeString where = lastHeader_ ? u"Cannot read the archive past \"" + *lastHeader_ + u"\""
                                            : UnicodeString(u"Cannot read the archive's first entry");
    return ExtractionFailure(where + u": " + archive_.ResultText(headerResult));
}
