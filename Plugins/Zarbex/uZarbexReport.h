// What a run changed and how old its lists are: the memo lines that tell the user which callsigns were
// marked for the first time and which are not in the callbook, the date of the newest list, and whether
// the archive is the one of the last update. It is told what the run saw and asks nobody itself.
#pragma once

#include "Includes/FileFingerprint.h"
#include "PluginAPI/SysUtils.h"
#include "Plugins/Zarbex/uZarbexLastUpdate.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

class TUnRARLibrary;

class TRunReport {
public:
    // How many callsigns a line names before it only counts the rest.
    static constexpr std::size_t CallsShown = 10;

    // A callsign-like word of a list, whether the callbook's Ukrainian entries hold it, and whether the
    // run marked it.
    void Word(const UnicodeString& call, bool inCallbook, bool updated);
    // The callsigns the run marked, each once.
    const std::set<UnicodeString>& UpdatedCalls() const { return FUpdated; }
    // Of those, one the callbook had marked already before the run.
    void MarkedBefore(const UnicodeString& call) { FMarkedBefore.insert(call); }
    // The callbook could not say which callsigns were marked before the run.
    void CallbookCannotTell() { FCannotTell = true; }

    // A list of the archive with its modification time, seconds since 1970 UTC, when it has one; and
    // the server's Last-Modified for a download, when it sent one.
    void ListDated(std::optional<std::int64_t> time);
    void ServerDated(std::optional<std::int64_t> time) { FServerTime = time; }
    // The archive read (nothing when it could not be read whole) and what the settings keep of the last
    // good update.
    void Archive(std::optional<TFileFingerprint> read, std::optional<TLastUpdate> last);

    // The lines after "* Use: ": the date of the newest list (none for a file without lists), then,
    // when it is so, that the archive is the one of the last update.
    std::vector<UnicodeString> ArchiveLines() const;
    // The lines before "* Done.": the callsigns marked for the first time, and those the callbook does
    // not hold.
    std::vector<UnicodeString> CallLines() const;

private:
    std::set<UnicodeString> FUpdated, FMarkedBefore, FNotInCallbook;
    bool FCannotTell = false;
    bool FListsSeen = false;
    std::optional<std::int64_t> FNewestList, FServerTime;
    std::optional<TLastUpdate> FSameAsLast;
};

// Tells report the date of each list (an entry named ".pdf") of the RAR archive at path; a later part
// of a multi-volume archive tells nothing. knownAs and downloaded are as for TRarArchive::KeepToThisFile.
// Reading stops at the first header that cannot be read.
void DateListsOfArchive(const TUnRARLibrary& library, const std::string& path, const UnicodeString& knownAs,
                        bool downloaded, TRunReport& report);
