// "Get data": the prerequisite checks and the update run, from the archive's entries to the bureau
// flags in the host's callbook.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "Plugins/Zarbex/HostValue.h"
#include "Plugins/Zarbex/uZarbexEntries.h"
#include "Plugins/Zarbex/uZarbexLookup.h"
#include "Plugins/Zarbex/uZarbexSource.h"

#include "Includes/PdfToText.h"
#include "Includes/TextFile.h"
#include "Includes/UnRAR.h"
#include "Includes/uCommFunc.h"
#include "Platform/FileSystem.h"
#include "Platform/QuantityText.h"
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

UnicodeString MissingComponentMessage(const UnicodeString& first, const UnicodeString& second,
                                      const UnicodeString& appPath, const UnicodeString& appName) {
    return first + u"\r\n" + second + u"\r\n\"" + appPath + u"\"\r\nand restart " + appName +
           u" application.";
}

} // namespace

UnicodeString ElapsedText(std::uint32_t milliseconds) {
    const std::uint32_t seconds = milliseconds / 1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", (seconds / 3600) % 24, (seconds / 60) % 60,
                  seconds % 60);
    return Utf8ToString(text);
}

TUpdateRun::TUpdateRun(ComPtr<IHostKernel> kernel, ComPtr<IHostServer> server, IUpdateProgress& progress,
                       UnicodeString caption, const TRunOptions& options)
    : FKernel(std::move(kernel)), FServer(std::move(server)), FProgress(progress),
      FCaption(std::move(caption)), FOptions(options) {}

TUpdateRunFactory UpdateRunFactory(ComPtr<IHostKernel> kernel, ComPtr<IHostServer> server,
                                   UnicodeString caption) {
    return [kernel = std::move(kernel), server = std::move(server),
            caption = std::move(caption)](IUpdateProgress& progress) -> std::unique_ptr<IUpdateRun> {
        return std::make_unique<TUpdateRun>(kernel, server, progress, caption);
    };
}

UnicodeString TUpdateRun::HostValue(const char16_t* name) const {
    return ::HostValue(FKernel, name);
}

bool TUpdateRun::CheckComponents(const TUpdateSource& updateSource) {
    const SourceLocation location = updateSource.Location;
    const UnicodeString& source = updateSource.Text;
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

bool TUpdateRun::Execute(const TUpdateSource& source) {
    FProgress.SetBusyCursor(true);
    FProgress.ClearMemo();
    FProgress.LockControls(true);
    // However the run ends, the window is given back to the user before anything else happens.
    struct Frame {
        IUpdateProgress& progress;
        ~Frame() {
            progress.LockControls(false);
            progress.SetBusyCursor(false);
        }
    } frame{FProgress};
    return UpdateFromSource(source);
}

bool TUpdateRun::UpdateFromSource(const TUpdateSource& source) {
    TRunTotals totals;
    FLogWritten = FCallbookChanged = false;
    FReport = TRunReport();
    FArchiveRead.reset();
    try {
        {
            const std::int32_t query = OpenCallbookQuery();
            // Closing steps that run however the run ends, the downloaded archive first; when an error
            // ends the run, that error is the one reported.
            TScopeExit freeQuery([&] { HostCall(FServer->FreeQuery(query)); });
            FMarked.emplace(FServer);
            TScopeExit freeMarked([&] { FMarked.reset(); });
            UnicodeString archiveFile;
            TScopeExit deleteDownload([&] {
                if (source.Location == SourceLocation::Internet && !archiveFile.empty())
                    DeleteFileQuietly(archiveFile);
            });
            const std::uint32_t startTick = GetTickCount();
            if (ObtainArchive(source, archiveFile))
                ReadArchive(query, archiveFile, source.Location, source.Text, startTick, totals);
        }
        return Report(totals, source.Text);
    } catch (...) {
        if (!FLogWritten)
            ReportFailure(source.Text);
        throw;
    }
}

std::int32_t TUpdateRun::OpenCallbookQuery() {
    if (!FServer)
        throw EInvalidOperation(u"The host offers no database services (IHostServer)");
    std::int32_t query = 0;
    HostCall(FServer->CreateQuery(&query));
    // A query the host made is freed even when it cannot be opened.
    TScopeExit freeQuery([&] { HostCall(FServer->FreeQuery(query)); });
    HostCall(FServer->OpenQuery(query, BStr(kCallbookQuery).get()));
    freeQuery.Dismiss();
    return query;
}

bool TUpdateRun::ObtainArchive(const TUpdateSource& source, UnicodeString& path) {
    TSourceAcquisition acquisition(FKernel, FProgress, FOptions);
    if (!acquisition.LoadSource(source, path)) {
        HostCall(
            FKernel->ShowMessage(BStr(u"Resource open error: " + source.Text).get(), BStr(u"Error").get()));
        return false;
    }
    FProgress.MsgProgress(0, u"* Use: " + source.Text, true);
    FReport.ServerDated(acquisition.ServerModified());
    ReportArchive(source, path);
    return true;
}

void TUpdateRun::ReadArchive(std::int32_t query, const UnicodeString& archiveFile, SourceLocation location,
                             const UnicodeString& source, std::uint32_t startTick, TRunTotals& totals) {
    {
        const bool downloaded = location == SourceLocation::Internet;
        const TSourceContent content = SourceContentOf(StringToUtf8(archiveFile));
        const UnicodeString knownAs = SourceFileName(source, downloaded);
        std::optional<TUnRARLibrary> library;
        std::optional<TRarArchive> archive;
        std::unique_ptr<TListSource> lists;
        if (IsBarePdf(content, knownAs)) {
            // A list published as a bare PDF reads as an archive of that one list.
            lists = std::make_unique<TPdfListSource>(StringToUtf8(archiveFile), knownAs);
        } else {
            if (FAppPath.empty())
                FAppPath = HostValue(u"APPPATH");
            library.emplace(StringToUtf8(FAppPath));
            archive.emplace(OpenRarArchive(*library, archiveFile, location, source, content));
            lists = std::make_unique<TRarListSource>(*archive);
        }
        // The extraction folder, read once before the first entry.
        const UnicodeString folder = HostValue(u"DOWNLOAD");
        FProgress.ClearEntryMarks();
        // The entry being read has done with its converter: the others keep every converter at work
        // while it is read and looked up.
        TEntriesAhead ahead(*lists, source, folder, FOptions.ConvertersAtATime + 1,
                            {FOptions.ConversionTime, FOptions.ConversionOutputLimit});
        TCallbookLookup callbook(FServer, query);
        while (TWorkingEntry* current = ahead.Next())
            ReadEntry(callbook, ahead, *current, totals);
        if (archive && archive->IsOpen() && totals.Lists == 0)
            FProgress.MsgProgress(1, u"The archive \"" + source + u"\" holds no lists", true);
        if (archive)
            archive->Close();
        totals.Elapsed = ElapsedText(GetTickCount() - startTick);
    }
    if (!totals.Unread.empty())
        FProgress.MsgProgress(1, UnreadListsText(totals), true);
    ReportCalls();
    FProgress.MsgProgress(0, u"* Done. " + totals.Counts() + u" (" + totals.Elapsed + u")", false);
}

void TUpdateRun::ReadEntry(TCallbookLookup& callbook, TEntriesAhead& ahead, TWorkingEntry& entry,
                           TRunTotals& totals) {
    // An entry whose header could not be read has no name or size to show: only its error.
    if (entry.HeaderRead) {
        FProgress.MsgProgress(1,
                              u"Parsing " + entry.Entry.DisplayName() + u" (" +
                                  Decimal(entry.Entry.UnpackedSize) + u" bytes)",
                              true);
        ++totals.Files;
        FProgress.AddEntryMark();
    }
    // While this entry is read, the converters work on the next ones.
    ahead.TakeTurn(entry);
    if (entry.NotPdf) {
        FProgress.MsgProgress(2, u"\"" + entry.Entry.DisplayName() + u"\" is not a PDF list: skipped", true);
    } else if (entry.Unread) {
        ++totals.Lists;
        FProgress.MsgProgress(2, entry.Unread->Line, true);
        totals.Unread.push_back(entry.Unread->Name + u" (" + entry.Unread->Reason + u")");
    } else {
        ++totals.Lists;
        const TListCounts counts = ReadList(callbook, entry.TxtPath, entry.Entry.DisplayName());
        totals.Found += counts.Found;
        totals.Updated += counts.Updated;
    }
    ahead.Finish();
    FProgress.ShowProgress(0);
}

namespace {

// What a file the RAR library cannot open is, where its first bytes tell; nothing where they do not.
std::optional<UnicodeString> ContentReason(TSourceContent content, bool downloaded) {
    const UnicodeString is = downloaded ? u"the server sent " : u"the file is ";
    switch (content) {
    case TSourceContent::Empty:
        return is + (downloaded ? u"an empty file" : u"empty");
    case TSourceContent::Zip:
        return is + u"a ZIP archive, not a RAR archive";
    case TSourceContent::SevenZip:
        return is + u"a 7-Zip archive, not a RAR archive";
    case TSourceContent::WebPage:
        return is + u"a web page, not a RAR archive";
    case TSourceContent::Other:
    case TSourceContent::Rar:
    case TSourceContent::Pdf:
        break;
    }
    return std::nullopt;
}

// Encrypted headers (rar -hp), a damaged or a cut archive keep every entry from the run: that is a
// reason to give.
void RaiseWhenNoEntryCanBeRead(const TRarArchive& archive, const UnicodeString& source) {
    const int opened = archive.OpenResult();
    if (opened == RarResult::CutShort)
        throw EInOutError(u"The archive \"" + source + u"\" is cut short: none of its lists could be read");
    if (opened == RarResult::MissingPassword || opened == RarResult::BadPassword ||
        opened == RarResult::Damaged)
        throw EInOutError(u"Cannot open the archive \"" + source + u"\": " + archive.ResultText(opened));
}

} // namespace

TRarArchive TUpdateRun::OpenRarArchive(const TUnRARLibrary& library, const UnicodeString& archiveFile,
                                       SourceLocation location, const UnicodeString& source,
                                       TSourceContent content) {
    const bool downloaded = location == SourceLocation::Internet;
    TRarArchive archive = library.OpenArchive(StringToUtf8(archiveFile));
    const UnicodeString named = u"The archive \"" + source + u"\"";
    RaiseWhenNoEntryCanBeRead(archive, source);
    // Any other file the library cannot open is an archive without entries, and the memo says why.
    if (!archive.IsOpen()) {
        const bool noArchive =
            archive.OpenResult() == RarResult::BadArchive || archive.OpenResult() == RarResult::UnknownFormat;
        const std::optional<UnicodeString> what =
            noArchive ? ContentReason(content, downloaded) : std::nullopt;
        FProgress.MsgProgress(1,
                              u"Cannot open the archive \"" + source + u"\": " +
                                  what.value_or(archive.ResultText(archive.OpenResult())),
                              true);
        return archive;
    }
    const UnicodeString knownAs = SourceFileName(source, downloaded);
    // A download is all there is of its archive: no file beside it is another part of it.
    if (downloaded)
        archive.KeepToThisFile(knownAs);
    if (!archive.IsVolume() || archive.IsFirstVolume())
        return archive;
    // A later part of a multi-volume archive: the set can be read only from its first part.
    const std::optional<int> number = RarVolumeNumber(knownAs);
    UnicodeString first = RarFirstVolumeName(knownAs);
    if (first == knownAs)
        first.clear(); // a later part under a first part's name: its first part's name is unknown
    const UnicodeString part = number && *number > 1 ? u"is part " + Decimal(std::int64_t{*number})
                                                     : UnicodeString(u"is a later part");
    if (!downloaded && !first.empty()) {
        const UnicodeString beside = archiveFile.substr(0, archiveFile.size() - knownAs.size()) + first;
        if (FileExists(beside)) {
            TRarArchive set = library.OpenArchive(StringToUtf8(beside));
            if (set.IsOpen() && set.IsFirstVolume()) {
                FProgress.MsgProgress(1,
                                      named + u" " + part +
                                          u" of a multi-volume archive: it is read from its first part, " +
                                          first,
                                      true);
                return set;
            }
        }
    }
    FProgress.MsgProgress(1,
                          named + u" " + part + u" of a multi-volume archive: choose its first part" +
                              (first.empty() ? UnicodeString() : u", " + first),
                          true);
    archive.Close();
    return archive;
}

TUpdateRun::TListCounts TUpdateRun::ReadList(TCallbookLookup& callbook, const UnicodeString& txtPath,
                                             const UnicodeString& listName) {
    TTextLineReader text(StringToUtf8(txtPath));
    // The progress of each line needs the number of lines: a first pass counts them, so that the text is
    // never held whole.
    const std::size_t n = text.CountLines();
    TListCounts counts;
    bool hasText = false;
    UnicodeString line;
    std::vector<UnicodeString> words;
    for (std::size_t i = 0; i < n && text.ReadLine(line); ++i) {
        line = AsciiUpper(UnicodeString(Trim(line)));
        hasText = hasText || !line.empty();
        SplitWords(FoldSpacePairs(FoldSpacePairs(line)), &words, 3);
        for (const UnicodeString& word : words) {
            if (!IsCallsign(word))
                continue;
            ++counts.Found;
            const bool marked = callbook.Mark(word);
            if (marked) {
                FCallbookChanged = true;
                ++counts.Updated;
            }
            FReport.Word(word, marked, marked);
        }
        FProgress.ShowProgress(static_cast<long double>(i) / static_cast<long double>(n));
    }
    FProgress.MsgProgress(2,
                          u"Found " + Decimal(std::int64_t{counts.Found}) + u", updated " +
                              Decimal(std::int64_t{counts.Updated}) + u" callsigns",
                          true);
    // A list that gave nothing is not an error (the next one may give all), but the user learns why.
    if (!hasText)
        FProgress.MsgProgress(2, u"The list \"" + listName + u"\" has no text (a scanned image?)", true);
    else if (counts.Found == 0)
        FProgress.MsgProgress(2, u"The list \"" + listName + u"\" holds no callsigns", true);
    FProgress.ProcessMessages();
    return counts;
}

bool TUpdateRun::Report(const TRunTotals& totals, const UnicodeString& source) {
    FProgress.ProcessMessages();
    FProgress.ShowProgress(0);
    // A run that left lists unread did not do its job, whatever it updated.
    const bool result = totals.Unread.empty() && totals.Found > 0 && totals.Updated > 0;
    FLogWritten = true;
    if (result)
        HostCall(FKernel->WriteLog(
            BStr(u"Exec: " + FCaption + u", " + totals.Counts() + u" (" + totals.Elapsed + u")").get()));
    else
        HostCall(FKernel->WriteLog(FailedLogLine(source).get()));
    if (FCallbookChanged)
        HostCall(FKernel->SetValue(BStr(u"REFRESH").get(), BStr(u"0").get()));
    if (!totals.Unread.empty())
        throw EInOutError(UnreadListsText(totals));
    return result;
}

void TUpdateRun::ReportFailure(const UnicodeString& source) noexcept {
    // The error that ends the run is the one the user is told; these two only follow it as they can.
    if (!FKernel)
        return;
    try {
        HostCall(FKernel->WriteLog(FailedLogLine(source).get()));
    } catch (...) {
    }
    try {
        if (FCallbookChanged)
            HostCall(FKernel->SetValue(BStr(u"REFRESH").get(), BStr(u"0").get()));
    } catch (...) {
    }
}

BStr TUpdateRun::FailedLogLine(const UnicodeString& source) const {
    return BStr(u"Exec: " + FCaption + u", " + source + u" failed.");
}

UnicodeString TUpdateRun::UnreadListsText(const TRunTotals& totals) {
    UnicodeString text = Decimal(static_cast<std::uint64_t>(totals.Unread.size())) + u" of " +
                         Decimal(std::int64_t{totals.Lists}) + (totals.Lists == 1 ? u" list" : u" lists") +
                         u" could not be read: ";
    for (std::size_t i = 0; i < totals.Unread.size(); ++i)
        text += (i == 0 ? u"" : u", ") + totals.Unread[i];
    return text;
}

UnicodeString TUpdateRun::TRunTotals::Counts() const {
    return u"Files:" + Decimal(std::int64_t{Files}) + u", Tot:" + Decimal(std::int64_t{Found}) + u", Upd:" +
           Decimal(std::int64_t{Updated});
}
