// "Get data": the prerequisite checks and the update run, from the archive's entries to the bureau
// flags in the host's callbook.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "Includes/TextFile.h"
#include "Includes/UnRAR.h"
#include "Includes/uCommFunc.h"
#include "Platform/CodePage.h"
#include "Platform/PdfToText.h"
#include "Platform/TickCount.h"
#include "PluginAPI/BStr.h"

#include <cstdio>
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

// "hh:nn:ss", milliseconds dropped, hours modulo 24.
UnicodeString ElapsedText(std::uint32_t milliseconds) {
    const std::uint32_t seconds = milliseconds / 1000;
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", (seconds / 3600) % 24, (seconds / 60) % 60,
                  seconds % 60);
    return Utf8ToString(text);
}

UnicodeString EntryFileName(const UnicodeString& folder, std::int32_t number, const char16_t* extension) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return folder + u"/File" + Utf8ToString(digits) + extension;
}

void DeleteQuietly(const UnicodeString& path) {
    std::remove(UnicodeToAnsi(path).c_str());
}

UnicodeString MissingComponentMessage(const UnicodeString& first, const UnicodeString& second,
                                      const UnicodeString& appPath, const UnicodeString& appName) {
    return first + u"\r\n" + second + u"\r\n\"" + appPath + u"\"\r\nand restart " + appName +
           u" application.";
}

} // namespace

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
        bool present = FileExists(appPath + u"/libeay32.dll");
        present = present && FileExists(appPath + u"/ssleay32.dll");
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
    if (!FileExists(appPath + u"/UnRAR.dll")) {
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
    // Closing steps that run however the run ends.
    auto release = [&] {
        if (location == SourceLocation::Internet && !archiveFile.empty())
            DeleteQuietly(archiveFile);
        HostCall(FServer->FreeQuery(query));
    };
    try {
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
                TUnRARLibrary library(UnicodeToAnsi(FAppPath));
                // A file the library cannot open is an archive without entries.
                TRarArchive archive = library.OpenArchive(UnicodeToAnsi(archiveFile));
                int extractionResult = 0;
                HostValue(u"DOWNLOAD"); // the extraction folder, read once before the first entry
                progress_.ClearEntryMarks();
                while (true) {
                    const int headerResult = archive.ReadHeader();
                    if (headerResult == RarResult::EndOfArchive)
                        break;
                    const TRarEntry& entry = archive.Entry();
                    // Folders and links carry no list: nothing of them is extracted, counted or shown.
                    if (headerResult == RarResult::Success && !entry.IsFile()) {
                        archive.Skip();
                        continue;
                    }
                    progress_.MsgProgress(
                        1, u"Parsing " + entry.Name + u" (" + Decimal(entry.UnpackedSize) + u" bytes)", true);
                    ++files;
                    progress_.AddEntryMark();
                    const UnicodeString pdfPath = EntryFileName(HostValue(u"DOWNLOAD"), files, u".pdf");
                    DeleteQuietly(pdfPath);
                    if (headerResult == RarResult::Success)
                        extractionResult = archive.Extract(UnicodeToAnsi(pdfPath));
                    const UnicodeString txtPath = pdfPath.substr(0, pdfPath.size() - 4) + u".txt";
                    DeleteQuietly(txtPath);
                    ConvertPdfToText(UnicodeToAnsi(pdfPath), UnicodeToAnsi(txtPath), PdfToTextTimeLimit);
                    std::vector<UnicodeString> lines = ReadTextLines(UnicodeToAnsi(txtPath));
                    std::int32_t found = 0, updated = 0;
                    const std::size_t n = lines.size();
                    std::vector<UnicodeString> words;
                    for (std::size_t i = 0; i < n; ++i) {
                        UnicodeString line = AsciiUpper(TrimControls(lines[i]));
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
                    DeleteQuietly(txtPath);
                    DeleteQuietly(pdfPath);
                    totalFound += found;
                    totalUpdated += updated;
                    progress_.ShowProgress(0);
                    if (extractionResult != 0)
                        break;
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
    } catch (...) {
        try {
            release();
        } catch (...) {
            // The run's own error is the one to report.
        }
        throw;
    }
    release();
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
