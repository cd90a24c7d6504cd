// The host's callbook: one SQLite file with the table CALLBOOK, and the numbered queries through
// which plug-ins read it. Not thread-safe: the host uses it from its main thread only. The Windows test
// host has the same class over a table in memory (Host/win32/Callbook.cpp), which answers only the
// statements the plug-in sends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Any failure of the callbook: a file that cannot be opened or lacks the table, a bad statement,
// an unknown query or field. The message carries SQLite's own text where SQLite failed.
class CallbookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the host shows of a station besides its call, prefix and bureau mark. A callbook has a
// detail only when its table has a column for it; the plug-ins need none of them.
enum class CallbookDetail { Name, Qth, Grid };

// One station as the host's window lists it; a detail the callbook lacks is empty.
struct CallbookRow {
    std::string Call;
    std::string DxccPrefix;
    std::string Name;
    std::string Qth;
    std::string Grid;
    bool Bureau = false;

    bool operator==(const CallbookRow&) const = default;
};

class Callbook {
public:
    // Opens the file, creating it with the callbook's table when it does not exist. An existing
    // file must hold the table CALLBOOK with at least OMCALL, DXCCPFX and Use_BUREAU (names in any
    // case); other columns are the user's and are left as they are. The host adds an index on OMCALL
    // when there is none, and works in WAL mode when the file allows it, giving the file its own
    // journal mode back when it closes.
    explicit Callbook(const std::filesystem::path& file);
    ~Callbook();
    Callbook(const Callbook&) = delete;
    Callbook& operator=(const Callbook&) = delete;

    // A new, empty query; handles are positive and never reused while the callbook is open.
    std::int32_t CreateQuery();
    // Runs one SELECT and keeps its whole result in the query, replacing what it held.
    void OpenQuery(std::int32_t query, const std::string& sql);
    // Whether any row of the query's result holds exactly this text in the column (named without
    // regard to case). NULL matches nothing.
    bool Locate(std::int32_t query, const std::string& field, const std::string& value);
    // The number of rows the opened query holds, and the text of one of its cells (nullopt for NULL).
    std::int32_t RecordCount(std::int32_t query);
    std::optional<std::string> Value(std::int32_t query, std::int32_t row, const std::string& field);
    // Releases the query; 0 and handles never given out are ignored.
    void FreeQuery(std::int32_t query);
    // Runs one statement that changes data and yields the number of rows it changed.
    std::int32_t ExecSQL(const std::string& sql);

    // Rows whose call starts with prefix (ASCII case ignored), optionally only those with or
    // without the bureau mark, ordered by call; a negative limit lists them all.
    std::vector<CallbookRow> Rows(const std::string& prefix, std::optional<bool> bureau, int limit) const;
    std::int64_t Count(const std::string& prefix = {}, std::optional<bool> bureau = {}) const;
    std::int64_t BureauCount() const { return Count({}, true); }
    // Whether the table has a column for the detail (OMNAME or NAME, QTH, GRID or LOCATOR).
    bool HasDetail(CallbookDetail detail) const;

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};
