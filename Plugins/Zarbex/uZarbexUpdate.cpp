// "Get data": the prerequisite checks and the update run, from the archive's entries to the bureau
// flags in the host's callbook.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "Includes/PdfToText.h"
#include "Includes/TextFile.h"
#include "Includes/UnRAR.h"
#include "Includes/uCommFunc.h"
#include "Platform/FileSystem.h"
#include "Platform/QuantityText.h"
#include "Platform/SystemInfo.h"
#include "Platform/TickCount.h"
#include "PluginAPI/BStr.h"
#include "PluginAPI/ScopeExit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <memory>
#include <optional>

namespace {

constexpr char16_t kCallbookQuery[] =
    u"SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX=\"UR\" ORDER BY OMCALL";
constexpr char16_t kUpdateStatement[] = u"UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL=";

UnicodeString Decimal(std::uint64_t n) {
    return Utf8ToString(std::to_string(n));
}
UnicodeString Decimal(std::int64_t n) {
    return Utf8ToString(std::to_string(n));
}

UnicodeString AsciiUpper(UnicodeString text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

// One left-to-right pass replacing every pair of spaces by one space, without rescanning.
UnicodeString FoldSpacePairs(const UnicodeString& text) {
    UnicodeString out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out.push_back(text[i]);
        if (text[i] == u' ' && i + 1 < text.size() && text[i + 1] == u' ')
            ++i;
    }
    return out;
}

UnicodeString QuotedSql(const UnicodeString& word) {
    UnicodeString quoted = u"'";
    for (char16_t c : word) {
        quoted.push_back(c);
        if (c == u'\'')
            quoted.push_back(u'\'');
    }
    return quoted + u"'";
}

UnicodeString EntryFileName(const UnicodeString& folder, std::int32_t number, const char16_t* extension,
                            const char16_t* prefix = u"") {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return folder + PathDelim + prefix + u"File" + Utf8ToString(digits) + extension;
}

void DeleteQuietly(const UnicodeString& path) {
    DeleteFileQuietly(StringToUtf8(path));
}

UnicodeString MissingComponentMessage(const UnicodeString& first, const UnicodeString& second,
                                      const UnicodeString& appPath, const UnicodeString& appName) {
    return first + u"\r\n" + second + u"\r\n\"" + appPath + u"\"\r\nand restart " + appName +
           u" application.";
}

// Why an entry could not be extracted: the run ends with it at the entry's turn.
std::exception_ptr ExtractionFailure(const UnicodeString& text) {
    return std::make_exception_ptr(EInOutError(text));
}

// One entry taken out of the archive ahead of its turn: its header, its working files and its
// converter. Until its turn its files carry a name of their own ("~File0002.pdf"), so that a file an
// earlier run left under the entry's name stays until the entry really takes it. Its files go with it,
// unless it is the entry whose turn it is when an error ends the run: those stay for the user to look at.
struct TWorkingEntry {
    bool HeaderRead = false; // false: the archive could not be read this far, and Entry is not this one
    TRarEntry Entry;
    UnicodeString PdfPath, TxtPath; // the names the files have now
    std::unique_ptr<TPdfToTextProcess> Converter;
    // Why the entry cannot be read (its header or its extraction failed, or the converter could not be
    // started): raised at the entry's turn, so that the entries before it are fully processed first.
    std::exception_ptr Failure;
    bool KeepFiles = false;

    TWorkingEntry() = default;
    TWorkingEntry(const TWorkingEntry&) = delete;
    TWorkingEntry& operator=(const TWorkingEntry&) = delete;
    ~TWorkingEntry() {
        Converter.reset(); // ends a converter still at work
        if (!KeepFiles) {
            DeleteQuietly(TxtPath);
            DeleteQuietly(PdfPath);
        }
    }
    // Nothing after an entry that cannot be read is taken out of the archive: the run ends with it.
    bool EndsTheArchive() const { return Failure != nullptr; }

    // At its turn: waits for the converter, gives the files the entry's own names (replacing what an
    // earlier run left there), and raises when the entry cannot be read or its conversion failed.
    void TakeTurn(const UnicodeString& pdfPath, const UnicodeString& txtPath,
                  std::chrono::milliseconds conversionTime) {
        KeepFiles = true;
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

private:
    static UnicodeString TakeName(const UnicodeString& from, const UnicodeString& to) {
        const std::string target = StringToUtf8(to);
        if (!RenameFileReplacing(StringToUtf8(from), target))
            DeleteFileQuietly(target); // nothing was made for it: a stale file of that name goes
        return to;
    }
    UnicodeString ConversionFailure(const TPdfConversionResult& conversion,
                                    const UnicodeString& workingPdf) const {
        const UnicodeString name = Entry.DisplayName();
        // The converter knows the list only by its working file, which the user never made.
        return u"Cannot convert \"" + name + u"\" to text: " +
               StringReplaceAll(Utf8ToString(conversion.Reason), workingPdf, name);
    }
};

// The entries of the archive in order, extracted and converting up to `depth` at a time. The archive is
// read only here, on the run's own thread; the converters are child processes, so they work in
// parallel with the run without a thread of ours.
class TEntriesAhead {
public:
    TEntriesAhead(TRarArchive& archive, UnicodeString folder, std::size_t depth,
                  std::chrono::milliseconds conversionTime)
        : archive_(archive), folder_(std::move(folder)), depth_(depth), conversionTime_(conversionTime) {}

    // The next entry in archive order, nullptr after the last one.
    TWorkingEntry* Next() {
        Fill();
        return entries_.empty() ? nullptr : &entries_.front();
    }
    // Takes the next entry's turn: see TWorkingEntry::TakeTurn.
    void TakeTurn(TWorkingEntry& entry) {
        const UnicodeString pdfPath = EntryFileName(folder_, ++turns_, u".pdf");
        entry.TakeTurn(pdfPath, pdfPath.substr(0, pdfPath.size() - 4) + u".txt", conversionTime_);
    }
    // The current entry is done with: its working files go.
    void Finish() {
        entries_.front().KeepFiles = false;
        entries_.pop_front();
    }
    // Takes entries out of the archive and starts their converters until depth are under way.
    void Fill() {
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
            entry.TxtPath = entry.PdfPath.substr(0, entry.PdfPath.size() - 4) + u".txt";
            DeleteQuietly(entry.PdfPath);
            DeleteQuietly(entry.TxtPath);
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

private:
    // Writes the entry's data to its working PDF, or says why not. An entry that needs a password, or
    // that would unpack to more than the size limit or the free space, is not extracted at all.
    std::exception_ptr Extract(TWorkingEntry& entry) {
        const UnicodeString name = u"\"" + entry.Entry.DisplayName() + u"\"";
        if (entry.Entry.IsEncrypted)
            return ExtractionFailure(u"Cannot extract " + name + u" from the archive: " +
                                     archive_.ResultText(RarResult::MissingPassword));
        if (const std::optional<UnicodeString> refusal =
                ExtractionRefusal(entry.Entry, StringToUtf8(folder_)))
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
    std::exception_ptr HeaderFailure(int headerResult) const {
        const UnicodeString where = lastHeader_ ? u"Cannot read the archive past \"" + *lastHeader_ + u"\""
                                                : UnicodeString(u"Cannot read the archive's first entry");
        return ExtractionFailure(where + u": " + archive_.ResultText(headerResult));
    }

    TRarArchive& archive_;
    UnicodeString folder_;
    std::size_t depth_;
    std::chrono::milliseconds conversionTime_;
    std::deque<TWorkingEntry> entries_;
    std::int32_t taken_ = 0, turns_ = 0;
    bool ended_ = false;
    std::optional<UnicodeString> lastHeader_; // the name of the last entry whose header was read
};

} // namespace

UnicodeString ElapsedText(std::uint32_t milliseconds) {
    const std::uint32_t seconds = milliseconds / 1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", (seconds / 3600) % 24, (seconds / 60) % 60,
                  seconds % 60);
    return Utf8ToString(text);
}

std::size_t TUpdateRun::ConvertersAtATime() {
    if (const char* value = std::getenv(ConvertersVariable)) {
        const long count = std::strtol(value, nullptr, 10);
        if (count > 0)
            return static_cast<std::size_t>(std::min(count, 64L));
    }
    // One converter per processor, and at least one ahead of the entry being read.
    return std::clamp<std::size_t>(ProcessorCount(), 2, 8);
}

TUpdateRun::TUpdateRun(ComPtr<IHostKernel> kernel, ComPtr<IHostServer> server, IUpdateProgress& progress,
                       UnicodeString caption)
    : FKernel(std::move(kernel)), FServer(std::move(server)), progress_(progress),
      caption_(std::move(caption)) {}

UnicodeString TUpdateRun::HostValue(const char16_t* name) {
    if (!FKernel)
        throw EInvalidOperation(u"The host offers no kernel services (IHostKernel)");
    BStr value;
    HostCall(FKernel->GetValue(BStr(name).get(), value.put()));
    return value.str();
}

bool TUpdateRun::CheckComponents(SourceLocation location, const UnicodeString& source) {
    const UnicodeString appPath = HostValue(u"APPPATH");
    const UnicodeString appName = HostValue(u"APPNAME");
    if (location == SourceLocation::Internet && AsciiUpper(source).find(u"HTTPS://") != UnicodeString::npos) {
        bool present = FileExists(appPath + PathDelim + u"libeay32.dll");
        present = present && FileExists(appPath + PathDelim + u"ssleay32.dll");
        if (!present) {
            HostCall(FKernel->ShowMessage(
                BStr(MissingComponentMessage(
                         u"Not found libraries for secure web connection:",
                         u"please put libeay32.dll and ssleay32.dll in application folder", appPath, appName))
                    .get(),
                BStr(u"OpenSSL components needed").get()));
            return false;
        }
    }
    if (!FileExists(appPath + PathDelim + u"UnRAR.dll")) {
        HostCall(FKernel->ShowMessage(
            BStr(MissingComponentMessage(u"Not found library for RAR archive unpacking:",
                                         u"please put UnRAR.dll in application folder", appPath, appName))
                .get(),
            BStr(u"UnRAR component needed").get()));
        return false;
    }
    FAppPath = appPath;
    return true;
}

bool TUpdateRun::Execute(SourceLocation location, const UnicodeString& source) {
    progress_.SetBusyCursor(true);
    progress_.ClearMemo();
    progress_.LockControls(true);
    // However the run ends, the window is given back to the user before anything else happens.
    struct Frame {
        IUpdateProgress& progress;
        ~Frame() {
            progress.LockControls(false);
            progress.SetBusyCursor(false);
        }
    } frame{progress_};
    return UpdateFromSource(location, source);
}

bool TUpdateRun::UpdateFromSource(SourceLocation location, const UnicodeString& source) {
    std::int32_t query = 0;
    UnicodeString archiveFile;
    bool result = false;
    std::int32_t files = 0, totalFound = 0, totalUpdated = 0;
    UnicodeString elapsed;
    {
        // Closing steps that run however the run ends; when an error ends it, that error is the one
        // reported.
        TScopeExit release([&] {
            if (location == SourceLocation::Internet && !archiveFile.empty())
                DeleteQuietly(archiveFile);
            HostCall(FServer->FreeQuery(query));
        });
        if (!FServer)
            throw EInvalidOperation(u"The host offers no database services (IHostServer)");
        HostCall(FServer->CreateQuery(&query));
        HostCall(FServer->OpenQuery(query, BStr(kCallbookQuery).get()));
        const std::uint32_t startTick = GetTickCount();
        if (!LoadSource(location, source, archiveFile)) {
            result = false;
            HostCall(
                FKernel->ShowMessage(BStr(u"Resource open error: " + source).get(), BStr(u"Error").get()));
        } else {
            progress_.MsgProgress(0, u"* Use: " + source, true);
            {
                if (FAppPath.empty())
                    FAppPath = HostValue(u"APPPATH");
                TUnRARLibrary library(StringToUtf8(FAppPath));
                // A file the library cannot open is an archive without entries.
                TRarArchive archive = library.OpenArchive(StringToUtf8(archiveFile));
                // Encrypted headers (rar -hp) keep every entry from the run: that is a reason to give.
                if (archive.OpenResult() == RarResult::MissingPassword ||
                    archive.OpenResult() == RarResult::BadPassword)
                    throw EInOutError(u"Cannot open the archive \"" + source + u"\": " +
                                      archive.ResultText(archive.OpenResult()));
                // The extraction folder, read once before the first entry.
                const UnicodeString folder = HostValue(u"DOWNLOAD");
                progress_.ClearEntryMarks();
                TEntriesAhead ahead(archive, folder, ConvertersAtATime(), ConversionTime);
                while (TWorkingEntry* current = ahead.Next()) {
                    // An entry whose header could not be read has no name or size to show: only its error.
                    if (current->HeaderRead) {
                        const TRarEntry& entry = current->Entry;
                        progress_.MsgProgress(1,
                                              u"Parsing " + entry.DisplayName() + u" (" +
                                                  Decimal(entry.UnpackedSize) + u" bytes)",
                                              true);
                        ++files;
                        progress_.AddEntryMark();
                    }
                    // While this entry is read, the converters work on the next ones.
                    ahead.TakeTurn(*current);
                    std::vector<UnicodeString> lines = ReadTextLines(StringToUtf8(current->TxtPath));
                    std::int32_t found = 0, updated = 0;
                    const std::size_t n = lines.size();
                    std::vector<UnicodeString> words;
                    for (std::size_t i = 0; i < n; ++i) {
                        UnicodeString line = AsciiUpper(UnicodeString(Trim(lines[i])));
                        line = FoldSpacePairs(FoldSpacePairs(line));
                        SplitWords(line, &words, 3);
                        for (const UnicodeString& word : words) {
                            if (!IsCallsign(word))
                                continue;
                            ++found;
                            BOOL32 present = 0;
                            HostCall(
                                FServer->Locate(query, BStr(u"OMCALL").get(), BStr(word).get(), &present));
                            if (present != 0) {
                                std::int32_t changed = 0;
                                HostCall(FServer->ExecSQL(BStr(kUpdateStatement + QuotedSql(word)).get(),
                                                          &changed));
                                ++updated;
                            }
                        }
                        progress_.ShowProgress(static_cast<long double>(i) / static_cast<long double>(n));
                    }
                    progress_.MsgProgress(2,
                                          u"Found " + Decimal(std::int64_t{found}) + u", updated " +
                                              Decimal(std::int64_t{updated}) + u" callsigns",
                                          true);
                    progress_.ProcessMessages();
                    lines.clear();
                    ahead.Finish();
                    totalFound += found;
                    totalUpdated += updated;
                    progress_.ShowProgress(0);
                }
                archive.Close();
                elapsed = ElapsedText(GetTickCount() - startTick);
            }
            progress_.MsgProgress(0,
                                  u"* Done. Files:" + Decimal(std::int64_t{files}) + u", Tot:" +
                                      Decimal(std::int64_t{totalFound}) + u", Upd:" +
                                      Decimal(std::int64_t{totalUpdated}) + u" (" + elapsed + u")",
                                  false);
            result = totalFound > 0 && totalUpdated > 0;
        }
    }
    progress_.ProcessMessages();
    progress_.ShowProgress(0);
    if (result) {
        HostCall(FKernel->WriteLog(BStr(u"Exec: " + caption_ + u", Files:" + Decimal(std::int64_t{files}) +
                                        u", Tot:" + Decimal(std::int64_t{totalFound}) + u", Upd:" +
                                        Decimal(std::int64_t{totalUpdated}) + u" (" + elapsed + u")")
                                       .get()));
        HostCall(FKernel->SetValue(BStr(u"REFRESH").get(), BStr(u"0").get()));
    } else {
        HostCall(FKernel->WriteLog(BStr(u"Exec: " + caption_ + u", " + source + u" failed.").get()));
    }
    return result;
}
