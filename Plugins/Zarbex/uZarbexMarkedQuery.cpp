#include "Plugins/Zarbex/uZarbexMarkedQuery.h"

#include "PluginAPI/BStr.h"
#include "PluginAPI/Helpers.h"

namespace {

constexpr char16_t kMarkedQuery[] =
    u"SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX=\"UR\" AND Use_BUREAU<>0 ORDER BY OMCALL";

} // namespace

TMarkedQuery::TMarkedQuery(ComPtr<IHostServer> server) : FServer(std::move(server)) {
    std::int32_t query = 0;
    try {
        HostCall(FServer->CreateQuery(&query));
    } catch (const Exception&) {
        return; // refused: the report's line says the callbook could not tell
    }
    FQuery = query;
    try {
        HostCall(FServer->OpenQuery(query, BStr(kMarkedQuery).get()));
    } catch (const Exception&) {
        Free();
    }
}

TMarkedQuery::~TMarkedQuery() {
    Free();
}

void TMarkedQuery::Free() noexcept {
    if (!FQuery)
        return;
    const std::int32_t query = *FQuery;
    FQuery.reset();
    try {
        HostCall(FServer->FreeQuery(query));
    } catch (const Exception&) {
        // Nothing of the run depends on this query: a host that cannot free it keeps it.
    }
}

void TMarkedQuery::TellReport(TRunReport& report) {
    if (!FQuery) {
        report.CallbookCannotTell();
        return;
    }
    try {
        for (const UnicodeString& call : report.UpdatedCalls()) {
            BOOL32 marked = 0;
            HostCall(FServer->Locate(*FQuery, BStr(u"OMCALL").get(), BStr(call).get(), &marked));
            if (marked != 0)
                report.MarkedBefore(call);
        }
    } catch (const Exception&) {
        report.CallbookCannotTell();
    }
    Free();
}
