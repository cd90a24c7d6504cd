// "Get data": the prerequisite checks and the update run, from the archive's entries to the bureau
// flags in the host's callbook.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "Plugins/Zarbex/uZarbexEntries.h"

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
    : FKernel(std::move(kernel)), FServer(std::move(server)), FProgress(progress),
      FCaption(std::move(caption)) {}

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
    return UpdateFromSource(location, source);
}

bool TUpdateRun::UpdateFromSource(SourceLocation location, const UnicodeString& source) {
    TRunTotals totals;
    {
        const std::int32_t query = OpenCallbookQuery();
        // Closing steps that run however the run ends, the downloaded archive first; when an error ends
        // the run, that error is the one reported.
        TScopeExit freeQuery([&] { HostCall(FServer->FreeQuery(query)); });
        FMarked.emplace(FServer);
        TScopeExit freeMarked([&] { FMarked.reset(); });
        UnicodeString archiveFile;
        TScopeExit deleteDownload([&] {
            if (location == SourceLocation::Internet && !archiveFile.empty())
                DeleteFileQuietly(archiveFile);
        });
        const std::uint32_t startTick = GetTickCount();
        if (ObtainArchive(location, source, archiveFile))
            totals = ReadArchive(query, archiveFile, location, source, startTick);
    }
    return Report(totals, source);
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

bool TUpdateRun::ObtainArchive(SourceLocation location, const UnicodeString& source, UnicodeString& path) {
    if (!LoadSource(location, source, path)) {
        HostCall(FKernel->ShowMessage(BStr(u"Resource open error: " + source).get(), BStr(u"Error").get()));
        return false;
    }
    FProgress.MsgProgress(0, u"* Use: " + source, true);
    ReportArchive(location, source, path);
    return true;
}

TUpdateRun::TRunTotals TUpdateRun::ReadArchive(std::int32_t query, const UnicodeString& archiveFile,
                                               SourceLocation location, const UnicodeString& source,
                                               std::uint32_t startTick) {
    TRunTotals totals;
    {
        const TSourceContent content = SourceContentOf(StringToUtf8(archiveFile));
        std::optional<TUnRARLibrary> library;
        std::optional<TRarArchive> archive;
        std::unique_ptr<TListSource> lists;
        if (content == TSourceContent::Pdf) {
            // A list published as a bare PDF reads as an archive of that one list.
            lists = std::make_unique<TPdfListSource>(
                StringToUtf8(archiveFile), SourceFileName(source, location == SourceLocation::Internet));
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
        TEntriesAhead ahead(*lists, source, folder, ConvertersAtATime(), ConversionTime);
        while (TWorkingEntry* current = ahead.Next()) {
            // An entry whose header could not be read has no name or size to show: only its error.
            if (current->HeaderRead) {
                FProgress.MsgProgress(1,
                                      u"Parsing " + current->Entry.DisplayName() + u" (" +
                                          Decimal(current->Entry.UnpackedSize) + u" bytes)",
                                      true);
                ++totals.Files;
                FProgress.AddEntryMark();
            }
            // While this entry is read, the converters work on the next ones.
            ahead.TakeTurn(*current);
            const TListCounts counts = ReadList(query, current->TxtPath, current->Entry.DisplayName());
            ahead.Finish();
            totals.Found += counts.Found;
            totals.Updated += counts.Updated;
            FProgress.ShowProgress(0);
        }
        if (archive && archive->IsOpen() && totals.Files == 0)
            FProgress.MsgProgress(1, u"The archive \"" + source + u"\" holds no lists", true);
        if (archive)
            archive->Close();
        totals.Elapsed = ElapsedText(GetTickCount() - startTick);
    }
    ReportCalls();
    FProgress.MsgProgress(0, u"* Done. " + totals.Counts() + u" (" + totals.Elapsed + u")", false);
    return totals;
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
    case TSourceContent::Pdf:
        break;
    }
    return std::nullopt;
}

} // namespace

TRarArchive TUpdateRun::OpenRarArchive(const TUnRARLibrary& library, const UnicodeString& archiveFile,
                                       SourceLocation location, const UnicodeString& source,
                                       TSourceContent content) {
    const bool downloaded = location == SourceLocation::Internet;
    TRarArchive archive = library.OpenArchive(StringToUtf8(archiveFile));
    const UnicodeString named = u"The archive \"" + source + u"\"";
    // Encrypted headers (rar -hp) keep every entry from the run: that is a reason to give.
    if (archive.OpenResult() == RarResult::MissingPassword || archive.OpenResult() == RarResult::BadPassword)
        throw EInOutError(u"Cannot open the archive \"" + source + u"\": " +
                          archive.ResultText(archive.OpenResult()));
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

TUpdateRun::TListCounts TUpdateRun::ReadList(std::int32_t query, const UnicodeString& txtPath,
                                             const UnicodeString& listName) {
    const std::vector<UnicodeString> lines = ReadTextLines(StringToUtf8(txtPath));
    TListCounts counts;
    bool hasText = false;
    const std::size_t n = lines.size();
    std::vector<UnicodeString> words;
    for (std::size_t i = 0; i < n; ++i) {
        UnicodeString line = AsciiUpper(UnicodeString(Trim(lines[i])));
        hasText = hasText || !line.empty();
        line = FoldSpacePairs(FoldSpacePairs(line));
        SplitWords(line, &words, 3);
        for (const UnicodeString& word : words) {
            if (!IsCallsign(word))
                continue;
            ++counts.Found;
            BOOL32 present = 0;
            HostCall(FServer->Locate(query, BStr(u"OMCALL").get(), BStr(word).get(), &present));
            if (present != 0) {
                std::int32_t changed = 0;
                HostCall(FServer->ExecSQL(BStr(kUpdateStatement + QuotedSql(word)).get(), &changed));
                ++counts.Updated;
            }
            FReport.Word(word, present != 0, present != 0);
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
    const bool result = totals.Found > 0 && totals.Updated > 0;
    if (result) {
        HostCall(FKernel->WriteLog(
            BStr(u"Exec: " + FCaption + u", " + totals.Counts() + u" (" + totals.Elapsed + u")").get()));
        HostCall(FKernel->SetValue(BStr(u"REFRESH").get(), BStr(u"0").get()));
    } else {
        HostCall(FKernel->WriteLog(BStr(u"Exec: " + FCaption + u", " + source + u" failed.").get()));
    }
    return result;
}

UnicodeString TUpdateRun::TRunTotals::Counts() const {
    return u"Files:" + Decimal(std::int64_t{Files}) + u", Tot:" + Decimal(std::int64_t{Found}) + u", Upd:" +
           Decimal(std::int64_t{Updated});
}
