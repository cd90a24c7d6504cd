// How fast the callbook answers the plug-in's bureau run: Locate on one opened query and single
// UPDATEs through ExecSQL, on a callbook of 100,000 stations.
#include "Host/Callbook.h"
#include "bench/BenchSupport.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

constexpr int kRows = 100000;
constexpr int kLocates = 2000000;
constexpr int kUpdates = 20000;

using namespace bench;

int Run() {
    Folder folder("callbook-bench");
    Callbook book(folder.path / "callbook.db");

    std::vector<std::string> calls;
    const auto filling = Clock::now();
    book.ExecSQL("BEGIN");
    for (int i = 0; i < kRows; ++i) {
        calls.push_back((i % 2 ? "UR" : "UT") + std::to_string(i % 10) + "A" + std::to_string(i));
        book.ExecSQL("INSERT INTO CALLBOOK (OMCALL, DXCCPFX, OMNAME, QTH) VALUES ('" + calls.back() +
                     "', 'UR', 'Ivan', 'Kyiv')");
    }
    book.ExecSQL("COMMIT");
    Report("INSERT in one transaction", kRows, Seconds(filling));

    const auto query = book.CreateQuery();
    const auto opening = Clock::now();
    book.OpenQuery(query, R"(SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX="UR" ORDER BY OMCALL)");
    book.Locate(query, "OMCALL", calls.front());
    std::printf("%-34s %10.3f s\n", "OpenQuery + first Locate", Seconds(opening));

    // Half the looked-up calls are absent, in random order, as in a bureau list.
    std::vector<std::string> lookups = calls;
    for (int i = 0; i < kRows; i += 2)
        lookups[std::size_t(i)] += "X";
    std::shuffle(lookups.begin(), lookups.end(), std::mt19937(7));
    std::size_t found = 0;
    const auto locating = Clock::now();
    for (int i = 0; i < kLocates; ++i)
        found += book.Locate(query, "OMCALL", lookups[std::size_t(i) % lookups.size()]);
    Report("Locate", kLocates, Seconds(locating), 1000000);
    if (found != kLocates / 2) {
        std::fprintf(stderr, "Locate found %zu of %d\n", found, kLocates);
        return 1;
    }

    std::shuffle(calls.begin(), calls.end(), std::mt19937(11));
    const auto updating = Clock::now();
    for (int i = 0; i < kUpdates; ++i)
        book.ExecSQL("UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='" + calls[std::size_t(i)] + "'");
    Report("ExecSQL UPDATE (autocommit)", kUpdates, Seconds(updating), 20000);
    book.FreeQuery(query);
    if (book.BureauCount() != kUpdates) {
        std::fprintf(stderr, "%lld rows marked instead of %d\n", static_cast<long long>(book.BureauCount()),
                     kUpdates);
        return 1;
    }
    return 0;
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
