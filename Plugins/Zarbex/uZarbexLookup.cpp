#include "Plugins/Zarbex/uZarbexLookup.h"

#include "PluginAPI/Helpers.h"

namespace {

constexpr char16_t kUpdateStatement[] = u"UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL=";

UnicodeString QuotedSql(const UnicodeString& word) {
    UnicodeString quoted = u"'";
    for (char16_t c : word) {
        quoted.push_back(c);
        if (c == u'\'')
            quoted.push_back(u'\'');
    }
    return quoted + u"'";
}

} // namespace

TCallbookLookup::TCallbookLookup(ComPtr<IHostServer> server, std::int32_t query)
    : FServer(std::move(server)), FQuery(query), FField(u"OMCALL") {}

bool TCallbookLookup::Mark(const UnicodeString& word) {
    if (const auto known = FKnown.find(word); known != FKnown.end())
        return known->second;
    BOOL32 found = 0;
    HostCall(FServer->Locate(FQuery, FField.get(), BStr(word).get(), &found));
    const bool present = found != 0;
    if (present) {
        std::int32_t changed = 0;
        HostCall(FServer->ExecSQL(BStr(kUpdateStatement + QuotedSql(word)).get(), &changed));
    }
    // Remembered only once its statement is done: a word whose update failed is not taken for updated.
    if (present || FAbsent < AbsentWordsKept) {
        FKnown.emplace(word, present);
        FAbsent += present ? 0 : 1;
    }
    return present;
}
