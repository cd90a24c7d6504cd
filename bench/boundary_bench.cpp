// How fast the host answers the plug-in's bureau run through the boundary itself: IHostServer calls
// with BSTRs on HostServices over a callbook of 100,000 stations, each string made as the plug-in
// makes it, one BSTR per call.
#include "Host/Callbook.h"
#include "Host/HostServices.h"
#include "Platform/CodePage.h"
#include "PluginAPI/BStr.h"
#include "bench/BenchSupport.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr int kLocates = 2000000;
constexpr int kUpdates = 20000;

using namespace bench;

bool Check(HRESULT hr, const char* what) {
    if (hr >= 0)
        return true;
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    return false;
}

int Run() {
    Folder folder("boundary-bench");
    Callbook book(folder.path / "callbook.db");
    auto host = HostServices::Create();
    host->SetCallbook(&book);
    ComPtr<IHostServer> server = host.query<IHostServer>();

    std::vector<std::u16string> calls;
    book.ExecSQL("BEGIN");
    for (int i = 0; i < kRows; ++i) {
        calls.push_back(
            AnsiToUnicode((i % 2 ? "UR" : "UT") + std::to_string(i % 10) + "A" + std::to_string(i)));
        book.ExecSQL("INSERT INTO CALLBOOK (OMCALL, DXCCPFX) VALUES ('" + UnicodeToAnsi(calls.back()) +
                     "', 'UR')");
    }
    book.ExecSQL("COMMIT");
    std::printf("callbook: %d rows\n", kRows);

    int32_t query = 0;
    if (!Check(server->CreateQuery(&query), "CreateQuery"))
        return 1;
    const auto opening = Clock::now();
    if (!Check(server->OpenQuery(query, BStr(u"SELECT OMCALL FROM CALLBOOK WHERE DXCCPFX = \"UR\"").get()),
               "OpenQuery"))
        return 1;
    std::printf("%-36s %10.3f s\n", "OpenQuery", Seconds(opening));

    // Half the looked-up calls are absent, in random order, as in a bureau list.
    std::vector<std::u16string> lookups = calls;
    for (int i = 0; i < kRows; i += 2)
        lookups[std::size_t(i)] += u"X";
    std::shuffle(lookups.begin(), lookups.end(), std::mt19937(7));
    const BStr field(u"OMCALL");
    long long found = 0;
    const auto locating = Clock::now();
    for (int i = 0; i < kLocates; ++i) {
        int32_t hit = 0;
        if (!Check(server->Locate(query, field.get(), BStr(lookups[std::size_t(i) % lookups.size()]).get(),
                                  &hit),
                   "Locate"))
            return 1;
        found += hit != 0;
    }
    Report("Locate through IHostServer", kLocates, Seconds(locating), 1000000);
    if (found != kLocates / 2) {
        std::fprintf(stderr, "Locate found %lld of %d\n", found, kLocates);
        return 1;
    }

    std::shuffle(calls.begin(), calls.end(), std::mt19937(11));
    const auto updating = Clock::now();
    for (int i = 0; i < kUpdates; ++i) {
        int32_t changed = 0;
        const BStr sql(u"UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='" + calls[std::size_t(i)] + u"'");
        if (!Check(server->ExecSQL(sql.get(), &changed), "ExecSQL") || changed != 1)
            return 1;
    }
    Report("ExecSQL UPDATE through IHostServer", kUpdates, Seconds(updating), 20000);
    server->FreeQuery(query);
    host->SetCallbook(nullptr);
    return book.BureauCount() == kUpdates ? 0 : 1;
}

} // namespace

int main() {
    try {
        return Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
