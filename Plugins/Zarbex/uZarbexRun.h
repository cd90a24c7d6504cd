// "Get data" apart from its window: the prerequisite checks, the acquisition of the archive and the
// update run, from the archive's entries to the bureau flags in the host's callbook. It knows the host's
// interfaces and reports through IUpdateProgress; it knows nothing of the window toolkit. The archive is
// acquired by TSourceAcquisition (uZarbexSource.h).
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"
#include "Plugins/Zarbex/IUpdateRun.h"
#include "Plugins/Zarbex/uZarbexMarkedQuery.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexReport.h"
#include "Plugins/Zarbex/uZarbexRunOptions.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class BStr;
class TCallbookLookup;
class TEntriesAhead;
class TRarArchive;
class TUnRARLibrary;
struct TWorkingEntry;
enum class TSourceContent;

class TUpdateRun final : public IUpdateRun {
public:
    // caption names the command in the log line.
    TUpdateRun(ComPtr<IHostKernel> kernel, ComPtr<IHostServer> server, IUpdateProgress& progress,
               UnicodeString caption, const TRunOptions& options = TRunOptions::FromEnvironment());

    // The outside libraries the run needs lie in the host's application folder.
    bool CheckComponents(const TUpdateSource& source) override;
    // The run with its frame: the busy cursor, a cleared memo and locked controls for its length. Errors
    // of the run pass to the caller once the frame is taken down.
    bool Execute(const TUpdateSource& source) override;
    // What the settings keep of the last good update, so that the memo can say when the same archive
    // comes again.
    void SetLastUpdate(const std::optional<TLastUpdate>& last) override { FLastUpdate = last; }
    // What the settings are to keep of this run once it returned true; nothing when the archive could
    // not be read for its fingerprint.
    std::optional<TLastUpdate> ThisUpdate() const override;

private:
    // What a run counted, and the time it took, for the summary line and the log line; the lists among
    // the files, and each list that could not be read with its reason ("b.pdf (password)").
    struct TRunTotals {
        std::int32_t Files = 0, Found = 0, Updated = 0;
        std::int32_t Lists = 0;
        std::vector<UnicodeString> Unread;
        UnicodeString Elapsed;
        UnicodeString Counts() const; // "Files:2, Tot:812, Upd:640"
    };
    struct TListCounts {
        std::int32_t Found = 0, Updated = 0;
    };

    // The run's steps: the callbook query, the archive, each list in it, and the report at the end.
    bool UpdateFromSource(const TUpdateSource& source);
    std::int32_t OpenCallbookQuery();
    // The archive obtained, or the user told that it could not be.
    bool ObtainArchive(const TUpdateSource& source, UnicodeString& path);
    // Reads every list of the archive into totals, which keep what was counted when an error ends the run.
    void ReadArchive(std::int32_t query, const UnicodeString& archiveFile, SourceLocation location,
                     const UnicodeString& source, std::uint32_t startTick, TRunTotals& totals);
    // One entry at its turn: a list read, or the memo told why it is passed over.
    void ReadEntry(TCallbookLookup& callbook, TEntriesAhead& ahead, TWorkingEntry& entry, TRunTotals& totals);
    // The RAR archive opened, or the memo told why it cannot be read (the archive then has no entries);
    // a later part of a multi-volume archive is read from its first part when that lies beside it.
    TRarArchive OpenRarArchive(const TUnRARLibrary& library, const UnicodeString& archiveFile,
                               SourceLocation location, const UnicodeString& source, TSourceContent content);
    // Reads one converted list, named listName in the memo.
    TListCounts ReadList(TCallbookLookup& callbook, const UnicodeString& txtPath,
                         const UnicodeString& listName);
    // The closing steps of a run that came to its end: the log line, REFRESH when the callbook changed,
    // and, when lists were left unread, the error that says which.
    bool Report(const TRunTotals& totals, const UnicodeString& source);
    // Those of a run that an error ended: the "failed." log line and REFRESH when the callbook changed,
    // as far as the host takes them.
    void ReportFailure(const UnicodeString& source) noexcept;
    BStr FailedLogLine(const UnicodeString& source) const;
    // "2 of 12 lists could not be read: a.pdf (damaged), b.pdf (password)"
    static UnicodeString UnreadListsText(const TRunTotals& totals);
    // The memo's lines on the archive (after "* Use: ") and on the callsigns (before "* Done.").
    void ReportArchive(const TUpdateSource& source, const UnicodeString& path);
    void ReportCalls();

    UnicodeString HostValue(const char16_t* name) const;

    ComPtr<IHostKernel> FKernel;
    ComPtr<IHostServer> FServer;
    IUpdateProgress& FProgress;
    UnicodeString FCaption;
    TRunOptions FOptions;
    // The host's application folder, where the outside libraries lie.
    UnicodeString FAppPath;
    // The run's log line has been written, or tried: the error path writes none after it.
    bool FLogWritten = false;
    // An update statement was executed: the host is asked to refresh, however the run ends.
    bool FCallbookChanged = false;
    // What the run changed and how old its lists are, for the memo.
    TRunReport FReport;
    std::optional<TMarkedQuery> FMarked;
    std::optional<TLastUpdate> FLastUpdate;
    std::optional<TFileFingerprint> FArchiveRead;
};

// The real run for every press of "Get data", with the limits as they stand at the press.
TUpdateRunFactory UpdateRunFactory(ComPtr<IHostKernel> kernel, ComPtr<IHostServer> server,
                                   UnicodeString caption);

// The time a run took as "hh:nn:ss": milliseconds dropped, hours counted modulo 24.
UnicodeString ElapsedText(std::uint32_t milliseconds);
