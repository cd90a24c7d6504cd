#include "Host/Callbook.h"

#include "Host/CallbookSchema.h"
#include "Host/SqlShape.h"
#include "PluginAPI/ScopeExit.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <list>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

// The columns the plug-ins' statements rely on.
constexpr const char* kRequiredColumns[] = {"OMCALL", "DXCCPFX", "Use_BUREAU"};
// The columns that may hold each detail, by CallbookDetail, in order of preference.
struct DetailColumns {
    const char* first;
    const char* second; // or null
};
constexpr DetailColumns kDetailColumns[] = {{"OMNAME", "NAME"}, {"QTH", nullptr}, {"GRID", "LOCATOR"}};
constexpr std::size_t kDetails = std::size(kDetailColumns);
constexpr int kBusyTimeoutMs = 5000;
constexpr std::size_t kStatementCacheSize = 32;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// Leaves a borrowed statement ready for its next use, so it holds no read transaction open.
class ResetOnExit {
public:
    explicit ResetOnExit(sqlite3_stmt* statement) : FStatement(statement) {}
    ~ResetOnExit() {
        sqlite3_reset(FStatement);
        sqlite3_clear_bindings(FStatement);
    }
    ResetOnExit(const ResetOnExit&) = delete;
    ResetOnExit& operator=(const ResetOnExit&) = delete;

private:
    sqlite3_stmt* FStatement;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// A name as an SQL identifier, whatever it holds.
std::string QuotedName(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

std::string ColumnText(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, std::size_t(sqlite3_column_bytes(statement, column))) : std::string();
}

// A LIKE pattern that matches texts starting with prefix, its wildcards taken literally.
std::string PrefixPattern(const std::string& prefix) {
    std::string pattern;
    for (char c : prefix) {
        if (c == '%' || c == '_' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern + '%';
}

// The result of one opened query, column by column, with a hash set per column that Locate has
// asked about.
struct QueryResult {
    bool open = false;
    std::vector<std::string> names;
    std::vector<std::vector<std::optional<std::string>>> columns;
    std::vector<std::unique_ptr<std::unordered_set<std::string>>> lookups;
};

} // namespace

// The filter that Rows and Count share: ?1 call pattern, ?2 bureau mark or NULL.
#define CALLBOOK_FILTER                                                                                      \
    " FROM CALLBOOK WHERE OMCALL LIKE ?1 ESCAPE '\\'"                                                        \
    " AND (?2 IS NULL OR (coalesce(Use_BUREAU, 0) <> 0) = ?2)"

struct Callbook::Impl {
    Database db;
    std::string file;
    std::unordered_map<std::int32_t, QueryResult> queries;
    std::int32_t lastHandle = 0;
    // The table's column for each detail, as it is written there; empty when it has none.
    std::string detailColumns[kDetails];
    std::string rowsSql;
    // The journal mode the file had before the host switched it to WAL; empty when there is none to
    // give back.
    std::string ownJournalMode;

    // Prepared statements by SQL text, most recently used first.
    std::list<std::pair<std::string, Statement>> cache;
    std::unordered_map<std::string_view, decltype(cache)::iterator> cacheIndex;

    [[noreturn]] void Fail(const std::string& what) const {
        throw CallbookError(what + ": " + sqlite3_errmsg(db.get()));
    }
    void Check(int rc, const std::string& what) const {
        if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
            Fail(what);
    }
    static std::string InSql(const std::string& sql) { return " in \"" + sql + "\""; }

    // Prepares exactly one statement; trailing text other than blanks and comments is an error.
    // On failure yields null and the reason.
    Statement TryPrepare(const std::string& sql, std::string& error) const {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        int rc = sqlite3_prepare_v3(db.get(), sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw,
                                    &tail);
        Statement statement(raw);
        if (rc != SQLITE_OK) {
            error = "Cannot prepare the statement" + InSql(sql) + ": " + sqlite3_errmsg(db.get());
            return nullptr;
        }
        if (!statement) {
            error = "No SQL statement" + InSql(sql);
            return nullptr;
        }
        const char* end = sql.c_str() + sql.size();
        if (tail && tail < end) {
            sqlite3_stmt* rawNext = nullptr;
            rc = sqlite3_prepare_v2(db.get(), tail, int(end - tail), &rawNext, nullptr);
            Statement next(rawNext);
            if (rc != SQLITE_OK || next) {
                error = "Only one SQL statement may be run at a time" + InSql(sql);
                return nullptr;
            }
        }
        return statement;
    }

    Statement Prepare(const std::string& sql) const {
        std::string error;
        Statement statement = TryPrepare(sql, error);
        if (!statement)
            throw CallbookError(error);
        return statement;
    }

    // A prepared statement for the SQL, kept for the next call with the same text; null and the
    // reason when it cannot be prepared.
    sqlite3_stmt* TryCached(const std::string& sql, std::string& error) {
        if (auto found = cacheIndex.find(sql); found != cacheIndex.end()) {
            cache.splice(cache.begin(), cache, found->second);
            return found->second->second.get();
        }
        Statement statement = TryPrepare(sql, error);
        if (!statement)
            return nullptr;
        if (cache.size() >= kStatementCacheSize) {
            cacheIndex.erase(cache.back().first);
            cache.pop_back();
        }
        cache.emplace_front(sql, std::move(statement));
        cacheIndex.emplace(cache.front().first, cache.begin());
        return cache.front().second.get();
    }

    sqlite3_stmt* Cached(const std::string& sql) {
        std::string error;
        sqlite3_stmt* statement = TryCached(sql, error);
        if (!statement)
            throw CallbookError(error);
        return statement;
    }

    void Exec(const char* sql, const std::string& what) const {
        char* message = nullptr;
        int rc = sqlite3_exec(db.get(), sql, nullptr, nullptr, &message);
        std::unique_ptr<char, decltype(&sqlite3_free)> owned(message, &sqlite3_free);
        if (rc != SQLITE_OK)
            throw CallbookError(what + ": " + (message ? message : sqlite3_errstr(rc)));
    }

    QueryResult& Find(std::int32_t query) {
        auto found = queries.find(query);
        if (found == queries.end())
            throw CallbookError("Unknown query " + std::to_string(query));
        return found->second;
    }

    QueryResult& FindOpen(std::int32_t query) {
        QueryResult& result = Find(query);
        if (!result.open)
            throw CallbookError("Query " + std::to_string(query) + " is not open");
        return result;
    }

    static std::size_t Column(const QueryResult& result, std::int32_t query, const std::string& field) {
        for (std::size_t i = 0; i < result.names.size(); ++i)
            if (EqualsIgnoringCase(result.names[i], field))
                return i;
        throw CallbookError("Query " + std::to_string(query) + " has no field \"" + field + "\"");
    }

    // Checks that the table has the columns the plug-ins need, and finds those of the details.
    void ReadColumns() {
        Statement info = Prepare("PRAGMA table_info(CALLBOOK)");
        std::vector<std::string> present;
        int rc;
        while ((rc = sqlite3_step(info.get())) == SQLITE_ROW)
            present.push_back(ColumnText(info.get(), 1));
        Check(rc, "Cannot read the callbook \"" + file + "\"");
        if (present.empty())
            throw CallbookError("The file \"" + file + "\" holds no table CALLBOOK");
        auto find = [&](const char* column) {
            auto found = std::find_if(present.begin(), present.end(), [&](const std::string& name) {
                return EqualsIgnoringCase(name, column);
            });
            return found == present.end() ? std::string() : *found;
        };
        std::string missing;
        for (const char* column : kRequiredColumns)
            if (find(column).empty())
                missing += (missing.empty() ? "" : ", ") + std::string(column);
        if (!missing.empty())
            throw CallbookError("The table CALLBOOK in \"" + file + "\" lacks the column(s) " + missing);

        rowsSql = "SELECT OMCALL, DXCCPFX";
        for (std::size_t i = 0; i < kDetails; ++i) {
            detailColumns[i] = find(kDetailColumns[i].first);
            if (detailColumns[i].empty() && kDetailColumns[i].second != nullptr)
                detailColumns[i] = find(kDetailColumns[i].second);
            rowsSql += detailColumns[i].empty() ? ", ''" : ", " + QuotedName(detailColumns[i]);
        }
        rowsSql += ", coalesce(Use_BUREAU, 0) <> 0" CALLBOOK_FILTER " ORDER BY OMCALL LIMIT ?3";
    }

    // Every bureau mark looks a call up by OMCALL: without an index each one reads the whole table.
    // An index is all the host adds to a user's file, and only when none starts with OMCALL; when the
    // file does not allow it, the marks are only slower.
    void EnsureCallIndex() const {
        Statement indexed = Prepare("SELECT count(*) FROM pragma_index_list('CALLBOOK') AS l, "
                                    "pragma_index_info(l.name) AS i WHERE i.seqno = 0 AND i.name = 'OMCALL' "
                                    "COLLATE NOCASE");
        const int rc = sqlite3_step(indexed.get());
        Check(rc, "Cannot read the indexes of the callbook \"" + file + "\"");
        if (rc == SQLITE_ROW && sqlite3_column_int(indexed.get(), 0) > 0)
            return;
        indexed.reset();
        sqlite3_exec(db.get(), "CREATE INDEX IF NOT EXISTS CALLBOOK_OMCALL ON CALLBOOK (OMCALL)", nullptr,
                     nullptr, nullptr);
    }

    // The journal mode the pragma leaves, or the empty text when it fails (a busy or read-only file).
    std::string JournalMode(const std::string& pragma) const {
        std::string error;
        Statement statement = TryPrepare(pragma, error);
        if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW)
            return {};
        return ColumnText(statement.get(), 0);
    }

    // WAL lets the host write while readers look on and makes single-row updates cheap; NORMAL syncs
    // at checkpoints only, which WAL keeps consistent. A file that cannot use WAL keeps its own mode.
    void UseWal(bool isNew) {
        const std::string own = JournalMode("PRAGMA journal_mode");
        if (!EqualsIgnoringCase(own, "wal")) {
            if (!EqualsIgnoringCase(JournalMode("PRAGMA journal_mode=WAL"), "wal"))
                return;
            if (!isNew &&
                std::all_of(own.begin(), own.end(), [](char c) { return std::isalpha(unsigned(c)); }))
                ownJournalMode = own;
        }
        Exec("PRAGMA synchronous=NORMAL", "Cannot set the callbook's synchronous mode");
    }

    // Binds the filter that Rows and Count share: ?1 call pattern, ?2 bureau mark or NULL.
    void BindFilter(sqlite3_stmt* statement, const std::string& prefix, std::optional<bool> bureau) const {
        std::string pattern = PrefixPattern(prefix);
        Check(sqlite3_bind_text(statement, 1, pattern.data(), int(pattern.size()), SQLITE_TRANSIENT),
              "Cannot bind the call prefix");
        Check(bureau ? sqlite3_bind_int(statement, 2, *bureau ? 1 : 0) : sqlite3_bind_null(statement, 2),
              "Cannot bind the bureau filter");
    }
};

Callbook::Callbook(const std::filesystem::path& file) : FImpl(std::make_unique<Impl>()) {
    const auto utf8 = file.u8string();
    FImpl->file.assign(utf8.begin(), utf8.end());
    std::error_code error;
    const bool isNew = !std::filesystem::exists(file, error);

    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(FImpl->file.c_str(), &raw,
                             SQLITE_OPEN_READWRITE | (isNew ? SQLITE_OPEN_CREATE : 0), nullptr);
    FImpl->db.reset(raw);
    if (rc != SQLITE_OK) {
        if (!raw)
            throw CallbookError("Cannot open the callbook \"" + FImpl->file + "\": " + sqlite3_errstr(rc));
        FImpl->Fail("Cannot open the callbook \"" + FImpl->file + "\"");
    }
    sqlite3_extended_result_codes(raw, 1);
    FImpl->Check(sqlite3_busy_timeout(raw, kBusyTimeoutMs), "Cannot set the busy timeout");

    if (isNew) {
        FImpl->Exec("BEGIN", "Cannot create the callbook \"" + FImpl->file + "\"");
        TScopeExit rollback([raw] { sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr); });
        FImpl->Exec(kCallbookSchemaSql, "Cannot create the callbook \"" + FImpl->file + "\"");
        FImpl->Exec("COMMIT", "Cannot create the callbook \"" + FImpl->file + "\"");
        rollback.Dismiss();
    }
    FImpl->ReadColumns();
    FImpl->EnsureCallIndex();
    FImpl->UseWal(isNew);
}

Callbook::~Callbook() {
    if (FImpl->ownJournalMode.empty())
        return;
    // Other programs may not read WAL files: the file leaves with the mode it came with. Statements
    // still prepared would keep the change from happening.
    FImpl->cacheIndex.clear();
    FImpl->cache.clear();
    const std::string restore = "PRAGMA journal_mode=" + FImpl->ownJournalMode;
    sqlite3_exec(FImpl->db.get(), restore.c_str(), nullptr, nullptr, nullptr);
}

bool Callbook::HasDetail(CallbookDetail detail) const {
    return !FImpl->detailColumns[static_cast<std::size_t>(detail)].empty();
}

std::int32_t Callbook::CreateQuery() {
    if (FImpl->lastHandle == std::numeric_limits<std::int32_t>::max())
        throw CallbookError("No query handles left");
    const std::int32_t handle = ++FImpl->lastHandle;
    FImpl->queries.emplace(handle, QueryResult{});
    return handle;
}

void Callbook::OpenQuery(std::int32_t query, const std::string& sql) {
    QueryResult& result = FImpl->Find(query);
    result = QueryResult{};

    sqlite3_stmt* statement = FImpl->Cached(sql);
    ResetOnExit reset(statement);
    const int columns = sqlite3_column_count(statement);
    if (columns == 0 || !sqlite3_stmt_readonly(statement))
        throw CallbookError("OpenQuery needs a SELECT statement" + Impl::InSql(sql));

    QueryResult fresh;
    fresh.columns.resize(std::size_t(columns));
    fresh.lookups.resize(std::size_t(columns));
    for (int i = 0; i < columns; ++i)
        fresh.names.emplace_back(sqlite3_column_name(statement, i));
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        for (int i = 0; i < columns; ++i)
            fresh.columns[std::size_t(i)].push_back(
                sqlite3_column_type(statement, i) == SQLITE_NULL
                    ? std::nullopt
                    : std::optional<std::string>(ColumnText(statement, i)));
    FImpl->Check(rc, "Cannot run the query" + Impl::InSql(sql));
    fresh.open = true;
    result = std::move(fresh);
}

bool Callbook::Locate(std::int32_t query, const std::string& field, const std::string& value) {
    QueryResult& result = FImpl->FindOpen(query);
    const std::size_t column = Impl::Column(result, query, field);
    auto& lookup = result.lookups[column];
    if (!lookup) {
        lookup = std::make_unique<std::unordered_set<std::string>>();
        lookup->reserve(result.columns[column].size());
        for (const auto& cell : result.columns[column])
            if (cell)
                lookup->insert(*cell);
    }
    return lookup->contains(value);
}

std::int32_t Callbook::RecordCount(std::int32_t query) {
    const QueryResult& result = FImpl->FindOpen(query);
    return result.columns.empty() ? 0 : std::int32_t(result.columns.front().size());
}

std::optional<std::string> Callbook::Value(std::int32_t query, std::int32_t row, const std::string& field) {
    const QueryResult& result = FImpl->FindOpen(query);
    const auto& cells = result.columns[Impl::Column(result, query, field)];
    if (row < 0 || std::size_t(row) >= cells.size())
        throw CallbookError("Query " + std::to_string(query) + " has no row " + std::to_string(row));
    return cells[std::size_t(row)];
}

void Callbook::FreeQuery(std::int32_t query) {
    FImpl->queries.erase(query);
}

std::int32_t Callbook::ExecSQL(const std::string& sql) {
    // Statements of one shape with other literals reuse one prepared statement. Where SQLite takes
    // no parameter in a literal's place (DDL, PRAGMA, a quoted name), the text runs as written.
    std::optional<SqlShape> shape = LiftLiterals(sql);
    sqlite3_stmt* statement = nullptr;
    std::string ignored;
    if (shape)
        statement = FImpl->TryCached(shape->Text, ignored);
    if (!statement) {
        shape.reset();
        statement = FImpl->Cached(sql);
    }
    ResetOnExit reset(statement);
    if (shape)
        for (std::size_t i = 0; i < shape->Literals.size(); ++i)
            FImpl->Check(sqlite3_bind_text(statement, int(i + 1), shape->Literals[i].data(),
                                           int(shape->Literals[i].size()), SQLITE_STATIC),
                         "Cannot bind a literal" + Impl::InSql(sql));
    if (sqlite3_column_count(statement) != 0)
        throw CallbookError("ExecSQL runs no statement that returns rows" + Impl::InSql(sql));
    const auto before = sqlite3_total_changes64(FImpl->db.get());
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE)
        FImpl->Fail("Cannot execute the statement" + Impl::InSql(sql));
    // sqlite3_changes keeps the count of the last INSERT, UPDATE or DELETE, which is stale after
    // any other statement.
    return sqlite3_total_changes64(FImpl->db.get()) == before ? 0 : sqlite3_changes(FImpl->db.get());
}

std::vector<CallbookRow> Callbook::Rows(const std::string& prefix, std::optional<bool> bureau,
                                        int limit) const {
    sqlite3_stmt* statement = FImpl->Cached(FImpl->rowsSql);
    ResetOnExit reset(statement);
    FImpl->BindFilter(statement, prefix, bureau);
    FImpl->Check(sqlite3_bind_int(statement, 3, limit < 0 ? -1 : limit), "Cannot bind the row limit");
    std::vector<CallbookRow> rows;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        rows.push_back({ColumnText(statement, 0), ColumnText(statement, 1), ColumnText(statement, 2),
                        ColumnText(statement, 3), ColumnText(statement, 4),
                        sqlite3_column_int(statement, 5) != 0});
    FImpl->Check(rc, "Cannot list the callbook");
    return rows;
}

std::int64_t Callbook::Count(const std::string& prefix, std::optional<bool> bureau) const {
    sqlite3_stmt* statement = FImpl->Cached("SELECT count(*)" CALLBOOK_FILTER);
    ResetOnExit reset(statement);
    FImpl->BindFilter(statement, prefix, bureau);
    const int rc = sqlite3_step(statement);
    FImpl->Check(rc, "Cannot count the callbook");
    return sqlite3_column_int64(statement, 0);
}
