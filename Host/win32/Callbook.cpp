// The callbook of the Windows test host: the table CALLBOOK in memory, seeded from a text file, answering
// exactly the statements a plug-in of this host sends (SQLite is not built for Windows here). The file
// holds one station a line: OMCALL, DXCCPFX and Use_BUREAU (0 or 1), separated by tabs. A missing file
// is an empty table; the table is never written back.
#include "Host/Callbook.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// The plug-in's query of the Ukrainian calls, that of those marked already (its report's), and its update
// of one call's bureau flag.
constexpr char UkrainianCalls[] = "SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX=\"UR\" ORDER BY OMCALL";
constexpr char MarkedUkrainianCalls[] =
    "SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX=\"UR\" AND Use_BUREAU<>0 ORDER BY OMCALL";
constexpr char SetBureauPrefix[] = "UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='";

struct Station {
    std::string Call;
    std::string DxccPrefix;
    bool Bureau = false;
};

std::string AsciiUpper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return text;
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return AsciiUpper(text.substr(0, prefix.size())) == AsciiUpper(prefix);
}

// The text of an SQL string literal that fills the statement to its end: 'O''BRIEN' gives O'BRIEN.
std::optional<std::string> LiteralToEnd(const std::string& rest) {
    std::string value;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '\'') {
            value += rest[i];
        } else if (i + 1 < rest.size() && rest[i + 1] == '\'') {
            value += '\'';
            ++i;
        } else {
            return i + 1 == rest.size() ? std::optional<std::string>(value) : std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

struct Callbook::Impl {
    std::vector<Station> stations;
    // A query's rows (the calls it selected, sorted), or nothing before it was opened.
    std::map<std::int32_t, std::optional<std::vector<std::string>>> queries;
    std::int32_t nextQuery = 1;

    std::vector<std::string>& Opened(std::int32_t query) {
        auto it = queries.find(query);
        if (it == queries.end())
            throw CallbookError("Unknown query " + std::to_string(query));
        if (!it->second)
            throw CallbookError("Query " + std::to_string(query) + " was not opened");
        return *it->second;
    }
};

Callbook::Callbook(const std::filesystem::path& file) : FImpl(std::make_unique<Impl>()) {
    std::ifstream in(file);
    if (!in) {
        if (std::filesystem::exists(file))
            throw CallbookError("Cannot read the callbook \"" + file.string() + "\"");
        return;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::istringstream fields(line);
        Station station;
        std::string bureau;
        if (!std::getline(fields, station.Call, '\t') || !std::getline(fields, station.DxccPrefix, '\t') ||
            !std::getline(fields, bureau) || (bureau != "0" && bureau != "1"))
            throw CallbookError("The callbook \"" + file.string() + "\" has no station on line " +
                                std::to_string(number) + ": a call, a prefix and 0 or 1, separated by tabs");
        station.Bureau = bureau == "1";
        FImpl->stations.push_back(std::move(station));
    }
}

Callbook::~Callbook() = default;

std::int32_t Callbook::CreateQuery() {
    const std::int32_t query = FImpl->nextQuery++;
    FImpl->queries[query] = std::nullopt;
    return query;
}

void Callbook::OpenQuery(std::int32_t query, const std::string& sql) {
    auto it = FImpl->queries.find(query);
    if (it == FImpl->queries.end())
        throw CallbookError("Unknown query " + std::to_string(query));
    const bool markedOnly = sql == MarkedUkrainianCalls;
    if (sql != UkrainianCalls && !markedOnly)
        throw CallbookError("The in-memory callbook does not answer the statement: " + sql);
    std::vector<std::string> calls;
    for (const Station& station : FImpl->stations)
        if (station.DxccPrefix == "UR" && (station.Bureau || !markedOnly))
            calls.push_back(station.Call);
    std::sort(calls.begin(), calls.end());
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    it->second = std::move(calls);
}

bool Callbook::Locate(std::int32_t query, const std::string& field, const std::string& value) {
    const std::vector<std::string>& calls = FImpl->Opened(query);
    if (AsciiUpper(field) != "OMCALL")
        throw CallbookError("The query has no field " + field);
    return std::binary_search(calls.begin(), calls.end(), value);
}

std::int32_t Callbook::RecordCount(std::int32_t query) {
    return static_cast<std::int32_t>(FImpl->Opened(query).size());
}

std::optional<std::string> Callbook::Value(std::int32_t query, std::int32_t row, const std::string& field) {
    const std::vector<std::string>& calls = FImpl->Opened(query);
    if (AsciiUpper(field) != "OMCALL")
        throw CallbookError("The query has no field " + field);
    if (row < 0 || static_cast<std::size_t>(row) >= calls.size())
        throw CallbookError("The query has no row " + std::to_string(row));
    return calls[static_cast<std::size_t>(row)];
}

void Callbook::FreeQuery(std::int32_t query) {
    FImpl->queries.erase(query);
}

std::int32_t Callbook::ExecSQL(const std::string& sql) {
    const std::optional<std::string> call = sql.starts_with(SetBureauPrefix)
                                                ? LiteralToEnd(sql.substr(sizeof SetBureauPrefix - 1))
                                                : std::nullopt;
    if (!call)
        throw CallbookError("The in-memory callbook does not execute the statement: " + sql);
    std::int32_t changed = 0;
    for (Station& station : FImpl->stations)
        if (station.Call == *call && !station.Bureau) {
            station.Bureau = true;
            ++changed;
        }
    return changed;
}

std::vector<CallbookRow> Callbook::Rows(const std::string& prefix, std::optional<bool> bureau,
                                        int limit) const {
    std::vector<CallbookRow> rows;
    for (const Station& station : FImpl->stations)
        if (StartsWithIgnoringCase(station.Call, prefix) && (!bureau || station.Bureau == *bureau))
            rows.push_back(CallbookRow{station.Call, station.DxccPrefix, {}, {}, {}, station.Bureau});
    std::sort(rows.begin(), rows.end(),
              [](const CallbookRow& a, const CallbookRow& b) { return a.Call < b.Call; });
    if (limit >= 0 && rows.size() > static_cast<std::size_t>(limit))
        rows.resize(static_cast<std::size_t>(limit));
    return rows;
}

std::int64_t Callbook::Count(const std::string& prefix, std::optional<bool> bureau) const {
    return static_cast<std::int64_t>(Rows(prefix, bureau, -1).size());
}

bool Callbook::HasDetail(CallbookDetail) const {
    return false;
}
