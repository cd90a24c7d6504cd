#include "Plugins/Zarbex/uZarbexReport.h"

#include "Includes/UnRAR.h"
#include "Platform/Calendar.h"

#include <algorithm>

namespace {

UnicodeString Decimal(std::size_t n) {
    return Utf8ToString(std::to_string(n));
}

UnicodeString Date(std::int64_t time) {
    return Utf8ToString(LocalIsoDate(time));
}

// "3 (UR5ABC, UR7QQ, UT2XY)", the first CallsShown named and the rest counted; "none" for none.
UnicodeString CountedCalls(const std::set<UnicodeString>& calls) {
    if (calls.empty())
        return u"none";
    UnicodeString text = Decimal(calls.size()) + u" (";
    std::size_t shown = 0;
    for (const UnicodeString& call : calls) {
        if (shown == TRunReport::CallsShown)
            break;
        text += (shown++ == 0 ? u"" : u", ") + call;
    }
    if (calls.size() > shown)
        text += u", ... and " + Decimal(calls.size() - shown) + u" more";
    return text + u")";
}

// A list of the archive is a PDF: a read-me or a picture beside the lists, which the run passes over,
// does not date them. (The run tells a PDF by its first bytes once it is extracted; the headers read
// before that have only the name.)
bool NamedAsList(const TRarEntry& entry) {
    const UnicodeString& name = entry.Name;
    if (!entry.IsFile() || name.size() < 4)
        return false;
    UnicodeString extension = name.substr(name.size() - 4);
    for (char16_t& c : extension)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return extension == u".pdf";
}

} // namespace

void TRunReport::Word(const UnicodeString& call, bool inCallbook, bool updated) {
    if (!inCallbook)
        FNotInCallbook.insert(call);
    if (updated)
        FUpdated.insert(call);
}

void TRunReport::ListDated(std::optional<std::int64_t> time) {
    FListsSeen = true;
    if (time && (!FNewestList || *time > *FNewestList))
        FNewestList = time;
}

void TRunReport::Archive(std::optional<TFileFingerprint> read, std::optional<TLastUpdate> last) {
    FSameAsLast.reset();
    if (read && last && last->Archive == *read)
        FSameAsLast = std::move(last);
}

std::vector<UnicodeString> TRunReport::ArchiveLines() const {
    std::vector<UnicodeString> lines;
    if (!FListsSeen)
        return lines;
    UnicodeString dated = FNewestList ? u"Lists dated " + Date(*FNewestList)
                                      : UnicodeString(u"Lists dated: the archive does not tell");
    if (FServerTime)
        dated += u" (the server's date: " + Date(*FServerTime) + u")";
    lines.push_back(dated);
    if (FSameAsLast)
        lines.push_back(u"This is the archive of your last update (" + FSameAsLast->Date + u")");
    return lines;
}

std::vector<UnicodeString> TRunReport::CallLines() const {
    UnicodeString marked = u"Marked for the first time: ";
    if (FCannotTell) {
        marked += u"the callbook could not tell";
    } else {
        std::set<UnicodeString> first;
        std::set_difference(FUpdated.begin(), FUpdated.end(), FMarkedBefore.begin(), FMarkedBefore.end(),
                            std::inserter(first, first.end()));
        marked += CountedCalls(first);
    }
    return {marked, u"Not in the callbook: " + CountedCalls(FNotInCallbook)};
}

void DateListsOfArchive(const TUnRARLibrary& library, const std::string& path, const UnicodeString& knownAs,
                        bool downloaded, TRunReport& report) {
    TRarArchive archive = library.OpenArchive(path);
    if (!archive.IsOpen() || (archive.IsVolume() && !archive.IsFirstVolume()))
        return;
    if (downloaded)
        archive.KeepToThisFile(knownAs);
    while (archive.ReadHeader() == RarResult::Success)
        if (NamedAsList(archive.Entry()))
            report.ListDated(archive.Entry().ModifiedTime);
}
