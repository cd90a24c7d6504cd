// The run's report on what it changed and how old the lists are: what the run tells it, and its lines
// in the memo.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "Plugins/Zarbex/HostValue.h"
#include "Plugins/Zarbex/uZarbexEntries.h"

#include "Includes/UnRAR.h"
#include "Platform/Calendar.h"
#include "Platform/FileSystem.h"

void TUpdateRun::ReportArchive(const TUpdateSource& source, const UnicodeString& path) {
    const bool downloaded = source.Location == SourceLocation::Internet;
    const std::string file = StringToUtf8(path);
    const UnicodeString knownAs = SourceFileName(source.Text, downloaded);
    FArchiveRead = FileFingerprint(file);
    FReport.Archive(FArchiveRead, FLastUpdate);
    if (IsBarePdf(SourceContentOf(file), knownAs)) {
        // A downloaded file is as new as the download: only the server can date it.
        FReport.ListDated(downloaded ? std::nullopt : FileModifiedTime(file));
    } else {
        if (FAppPath.empty())
            FAppPath = ::HostValue(FKernel, u"APPPATH");
        const TUnRARLibrary library(StringToUtf8(FAppPath));
        DateListsOfArchive(library, file, knownAs, downloaded, FReport);
    }
    for (const UnicodeString& line : FReport.ArchiveLines())
        FProgress.MsgProgress(1, line, true);
}

void TUpdateRun::ReportCalls() {
    if (FMarked)
        FMarked->TellReport(FReport);
    else
        FReport.CallbookCannotTell();
    for (const UnicodeString& line : FReport.CallLines())
        FProgress.MsgProgress(1, line, true);
}

std::optional<TLastUpdate> TUpdateRun::ThisUpdate() const {
    if (!FArchiveRead)
        return std::nullopt;
    return TLastUpdate{*FArchiveRead, Utf8ToString(LocalIsoDate(UnixTimeNow()))};
}
