// "Get data" apart from its window: the prerequisite checks, the acquisition of the archive and the
// update run, from the archive's entries to the bureau flags in the host's callbook. It knows the host's
// interfaces and reports through IUpdateProgress; it knows nothing of the window toolkit.
#pragma once

#include "Includes/PdfToText.h"
#include "Platform/FileSystem.h"
#include "Platform/HttpClient.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"
#include "Plugins/Zarbex/uZarbexMarkedQuery.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexReport.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

enum class SourceLocation : std::uint8_t { None = 0, Internet = 1, Local = 2 };

class TRarArchive;
class TUnRARLibrary;
enum class TSourceContent;

// The default source: the bureau list archive on the national league's web server.
inline constexpr char16_t DefaultInternetSource[] =
    u"http://uarl.org.ua/files/stories2018/memb_polzov2018/members_upd2604.rar";
inline constexpr char16_t DefaultArchiveName[] = u"members_upd2604.rar";

class TUpdateRun {
public:
    // caption names the command in the log line.
    TUpdateRun(ComPtr<IHostKernel> kernel, ComPtr<IHostServer> server, IUpdateProgress& progress,
               UnicodeString caption);

    // The outside libraries the run needs lie in the host's application folder; when one is missing the
    // user is told which and where to put it, and false is returned with nothing else changed.
    bool CheckComponents(SourceLocation location, const UnicodeString& source);
    // The run with its frame: the busy cursor, a cleared memo and locked controls for its length. True
    // when it updated something. Errors of the run pass to the caller once the frame is taken down.
    bool Execute(SourceLocation location, const UnicodeString& source);

    // How many entries are extracted and converting at a time: one per processor and at least two, so
    // that one converts ahead while another is read; the value of ZARBEX_CONVERTERS when it is set
    // (1: one entry after the other).
    static std::size_t ConvertersAtATime();
    static constexpr const char* ConvertersVariable = "ZARBEX_CONVERTERS";

    // How long a download may wait for a connection and for the next byte, how long it may take as a
    // whole, and how long one list may take to convert; tests shorten them.
    int ConnectTimeoutSeconds = 30;
    int StallTimeoutSeconds = 60;
    std::chrono::milliseconds DownloadTime = DownloadTimeLimit;
    std::chrono::milliseconds ConversionTime = PdfToTextTimeLimit;

    // What the settings keep of the last good update, told by the dialog before the run, so that the
    // memo can say when the same archive comes again.
    std::optional<TLastUpdate> LastUpdate;
    // What the settings are to keep of this run once it returned true; nothing when the archive could
    // not be read for its fingerprint.
    std::optional<TLastUpdate> ThisUpdate() const;

private:
    // The tests reach the acquisition on its own through this seam.
    friend struct TUpdateRunTestSeam;

    // What a run counted, and the time it took, for the summary line and the log line.
    struct TRunTotals {
        std::int32_t Files = 0, Found = 0, Updated = 0;
        UnicodeString Elapsed;
        UnicodeString Counts() const; // "Files:2, Tot:812, Upd:640"
    };
    struct TListCounts {
        std::int32_t Found = 0, Updated = 0;
    };

    // The run's steps: the callbook query, the archive, each list in it, and the report at the end.
    bool UpdateFromSource(SourceLocation location, const UnicodeString& source);
    std::int32_t OpenCallbookQuery();
    // The archive obtained, or the user told that it could not be.
    bool ObtainArchive(SourceLocation location, const UnicodeString& source, UnicodeString& path);
    TRunTotals ReadArchive(std::int32_t query, const UnicodeString& archiveFile, SourceLocation location,
                           const UnicodeString& source, std::uint32_t startTick);
    // The RAR archive opened, or the memo told why it cannot be read (the archive then has no entries);
    // a later part of a multi-volume archive is read from its first part when that lies beside it.
    TRarArchive OpenRarArchive(const TUnRARLibrary& library, const UnicodeString& archiveFile,
                               SourceLocation location, const UnicodeString& source, TSourceContent content);
    // Reads one converted list, named listName in the memo.
    TListCounts ReadList(std::int32_t query, const UnicodeString& txtPath, const UnicodeString& listName);
    bool Report(const TRunTotals& totals, const UnicodeString& source);
    // The memo's lines on the archive (after "* Use: ") and on the callsigns (before "* Done.").
    void ReportArchive(SourceLocation location, const UnicodeString& source, const UnicodeString& path);
    void ReportCalls();

    // Obtains the archive: true and path set to the file to read when there is one.
    bool LoadSource(SourceLocation location, const UnicodeString& source, UnicodeString& path);
    bool LoadFromInternet(const UnicodeString& source, UnicodeString& path);
    bool LoadFromLocal(const UnicodeString& source, UnicodeString& path);
    UnicodeString HostValue(const char16_t* name);

    ComPtr<IHostKernel> FKernel;
    ComPtr<IHostServer> FServer;
    IUpdateProgress& FProgress;
    UnicodeString FCaption;
    // The host's application folder, where the outside libraries lie.
    UnicodeString FAppPath;
    TRunReport FReport;
    std::optional<TMarkedQuery> FMarked;
    std::optional<TFileFingerprint> FArchiveRead;
};

// The time a run took as "hh:nn:ss": milliseconds dropped, hours counted modulo 24.
UnicodeString ElapsedText(std::uint32_t milliseconds);
