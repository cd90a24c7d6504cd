#include "Host/Callbook.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <random>

// Rows in failure messages, field by field.
void PrintTo(const CallbookRow& row, std::ostream* out) {
    *out << row.Call << '|' << row.DxccPrefix << '|' << row.Name << '|' << row.Qth << '|' << row.Grid << '|'
         << row.Bureau;
}

namespace {

// The statements the plug-in sends, exactly as it writes them.
const std::string kUkrainianCalls =
    R"(SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX="UR" ORDER BY OMCALL)";
const std::string kMarkUR5ABC = "UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='UR5ABC'";

// A second, independent connection, to see what the callbook left in the file.
class RawDatabase {
public:
    explicit RawDatabase(const std::filesystem::path& file) {
        if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    void Exec(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
    }
    // The first column of the first row, as text.
    std::string Scalar(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_));
        std::string value;
        if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
};

class CallbookTest : public testing::Test {
protected:
    std::filesystem::path File() const { return dir_.Path() / "callbook.db"; }

    void Insert(const std::string& call, const std::string& prefix, const std::string& name = "Ivan") {
        ASSERT_EQ(1, book_->ExecSQL("INSERT INTO CALLBOOK (OMCALL, DXCCPFX, OMNAME, QTH, GRID) VALUES ('" +
                                    call + "', '" + prefix + "', '" + name + "', 'Kyiv', 'KO50')"));
    }

    // The column of an opened query, row by row.
    static std::vector<std::string> Column(Callbook& book, std::int32_t query, const std::string& field) {
        std::vector<std::string> values;
        for (std::int32_t row = 0; row < book.RecordCount(query); ++row)
            values.push_back(book.Value(query, row, field).value_or("<NULL>"));
        return values;
    }
    std::vector<std::string> Column(std::int32_t query, const std::string& field) {
        return Column(*book_, query, field);
    }

    TempDir dir_;
    std::unique_ptr<Callbook> book_ = std::make_unique<Callbook>(File());
};

TEST_F(CallbookTest, NewFileGetsTheSchemaInWalMode) {
    Insert("UR5ABC", "UR");
    book_.reset();

    RawDatabase raw(File());
    EXPECT_EQ("wal", raw.Scalar("PRAGMA journal_mode"));
    EXPECT_EQ("0", raw.Scalar("SELECT Use_BUREAU FROM CALLBOOK WHERE OMCALL='UR5ABC'"));
    EXPECT_EQ("1", raw.Scalar("SELECT count(*) FROM pragma_index_list('CALLBOOK') AS l, "
                              "pragma_index_info(l.name) AS i WHERE i.name = 'OMCALL'"));

    // Reopening keeps the data instead of creating the table again.
    Callbook again(File());
    EXPECT_EQ(1, again.Count());
}

TEST_F(CallbookTest, UnusableFilesGiveAClearError) {
    struct Case {
        const char* name;
        const char* file;
        std::function<void(const std::filesystem::path&)> make;
        const char* message;
    };
    const Case cases[] = {
        {"no CALLBOOK", "other.db",
         [](const auto& file) { RawDatabase(file).Exec("CREATE TABLE QSO (CALL TEXT)"); },
         "holds no table CALLBOOK"},
        {"empty database", "empty.db", [](const auto& file) { std::ofstream{file}; },
         "holds no table CALLBOOK"},
        {"no Use_BUREAU", "old.db",
         [](const auto& file) {
             RawDatabase(file).Exec(
                 "CREATE TABLE CALLBOOK (OMCALL TEXT, DXCCPFX TEXT, OMNAME TEXT, QTH TEXT, "
                 "GRID TEXT)");
         },
         "lacks the column(s) Use_BUREAU"},
        {"only calls and names", "names.db",
         [](const auto& file) { RawDatabase(file).Exec("CREATE TABLE callbook (omcall TEXT, name TEXT)"); },
         "lacks the column(s) DXCCPFX, Use_BUREAU"},
        {"not a database", "text.db", [](const auto& file) { std::ofstream{file} << std::string(4096, 'x'); },
         "file is not a database"},
        {"missing folder", "absent/callbook.db", [](const auto&) {}, "unable to open database file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir_.Path() / c.file;
        c.make(file);
        try {
            Callbook book(file);
            ADD_FAILURE() << "opened";
        } catch (const CallbookError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// Callbooks of other programs: the three columns the plug-ins need, in any case, and whatever else the
// user keeps. The host shows the details it finds, adds an index on OMCALL when there is none, works
// in WAL mode and leaves the file in its own journal mode with the user's data as it was.
TEST_F(CallbookTest, UsersCallbooksNeedOnlyTheColumnsOfThePlugins) {
    const struct {
        const char* name;
        const char* file;
        const char* schema;
        const char* rows; // UR5ABC (UR) and DL1ABC (DL), in the table's own columns
        bool hasName, hasQth, hasGrid;
        std::vector<CallbookRow> shown; // before any mark
    } cases[] = {
        {"three columns",
         "three.db",
         "CREATE TABLE CALLBOOK (OMCALL TEXT, DXCCPFX TEXT, Use_BUREAU INTEGER)",
         "INSERT INTO CALLBOOK VALUES ('UR5ABC', 'UR', 0), ('DL1ABC', 'DL', NULL)",
         false,
         false,
         false,
         {{"DL1ABC", "DL", "", "", "", false}, {"UR5ABC", "UR", "", "", "", false}}},
        {"other columns, small letters, boolean mark, an index of its own",
         "other.db",
         "CREATE TABLE callbook (omcall TEXT, dxccpfx TEXT, name TEXT, qth TEXT, country TEXT, use_bureau "
         "BOOLEAN NOT NULL DEFAULT FALSE); CREATE INDEX by_call ON callbook (omcall)",
         "INSERT INTO callbook (omcall, dxccpfx, name, qth, country) VALUES ('UR5ABC', 'UR', 'Ivan', 'Kyiv', "
         "'Ukraine'), ('DL1ABC', 'DL', 'Hans', NULL, 'Germany')",
         true,
         true,
         false,
         {{"DL1ABC", "DL", "Hans", "", "", false}, {"UR5ABC", "UR", "Ivan", "Kyiv", "", false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = dir_.Path() / c.file;
        {
            RawDatabase raw(file);
            raw.Exec(c.schema);
            raw.Exec(c.rows);
        }
        const std::string userData =
            "SELECT group_concat(quote(omcall) || quote(dxccpfx), ',') FROM callbook";
        const std::string before = RawDatabase(file).Scalar(userData);
        {
            Callbook book(file);
            EXPECT_EQ(c.hasName, book.HasDetail(CallbookDetail::Name));
            EXPECT_EQ(c.hasQth, book.HasDetail(CallbookDetail::Qth));
            EXPECT_EQ(c.hasGrid, book.HasDetail(CallbookDetail::Grid));
            EXPECT_EQ(c.shown, book.Rows("", {}, -1));

            // The plug-in's statements as it writes them.
            const auto query = book.CreateQuery();
            book.OpenQuery(query, kUkrainianCalls);
            EXPECT_EQ((std::vector<std::string>{"UR5ABC"}), Column(book, query, "OMCALL"));
            EXPECT_EQ(1, book.ExecSQL(kMarkUR5ABC));
            EXPECT_EQ(1, book.BureauCount());
            EXPECT_EQ(2, book.Count());
            EXPECT_EQ("wal", RawDatabase(file).Scalar("PRAGMA journal_mode"));
        }
        RawDatabase raw(file);
        EXPECT_EQ("delete", raw.Scalar("PRAGMA journal_mode")) << "the file's own mode is given back";
        EXPECT_EQ("1", raw.Scalar("SELECT count(*) FROM pragma_index_list('CALLBOOK') AS l, "
                                  "pragma_index_info(l.name) AS i WHERE i.seqno = 0 AND i.name = 'OMCALL' "
                                  "COLLATE NOCASE"));
        EXPECT_EQ(before, raw.Scalar(userData));
        EXPECT_EQ("1", raw.Scalar("SELECT use_bureau FROM callbook WHERE omcall = 'UR5ABC'"));
        EXPECT_EQ("0", raw.Scalar("SELECT count(*) FROM callbook WHERE omcall = 'DL1ABC' AND use_bureau"));
    }
    // The other program's columns are still its own.
    EXPECT_EQ("Ukraine,Germany",
              RawDatabase(dir_.Path() / "other.db").Scalar("SELECT group_concat(country) FROM callbook"));
}

TEST_F(CallbookTest, LocateAnswersForTheWholeResultInAnyOrder) {
    std::vector<std::string> calls;
    ASSERT_EQ(0, book_->ExecSQL("BEGIN"));
    for (int i = 0; i < 10000; ++i) {
        calls.push_back("UR" + std::to_string(i % 10) + "A" + std::to_string(i));
        Insert(calls.back(), "UR");
    }
    ASSERT_EQ(0, book_->ExecSQL("COMMIT"));

    const auto query = book_->CreateQuery();
    book_->OpenQuery(query, "SELECT OMCALL, QTH FROM CALLBOOK ORDER BY OMCALL");
    std::shuffle(calls.begin(), calls.end(), std::mt19937(20240501));
    for (const auto& call : calls) {
        ASSERT_TRUE(book_->Locate(query, "OMCALL", call)) << call;
        // Near misses: case, a longer and a shorter text are different calls.
        std::string lower = call;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        ASSERT_FALSE(book_->Locate(query, "OMCALL", lower)) << lower;
        ASSERT_FALSE(book_->Locate(query, "OMCALL", call + "/P")) << call;
        ASSERT_FALSE(book_->Locate(query, "OMCALL", call.substr(0, call.size() - 1) + "X")) << call;
    }
    EXPECT_TRUE(book_->Locate(query, "omcall", calls.front())) << "field names ignore case";
    EXPECT_TRUE(book_->Locate(query, "QTH", "Kyiv"));
    EXPECT_FALSE(book_->Locate(query, "QTH", calls.front()));
    EXPECT_FALSE(book_->Locate(query, "OMCALL", ""));
}

TEST_F(CallbookTest, UkrainianSelectAsTheSystemWritesIt) {
    for (const char* call : {"UT1A", "UR5ABC", "DL1ABC", "UR5ABC", "US0ZZ", "EM1XYZ"})
        Insert(call, call[0] == 'D' ? "DL" : "UR");
    Insert("UX2AA", "UA");

    const auto query = book_->CreateQuery();
    book_->OpenQuery(query, kUkrainianCalls);
    EXPECT_EQ((std::vector<std::string>{"EM1XYZ", "UR5ABC", "US0ZZ", "UT1A"}), Column(query, "OMCALL"));
}

TEST_F(CallbookTest, ExecSqlMarksTheBureauWhileAQueryStaysOpen) {
    Insert("UR5ABC", "UR");
    Insert("UT1A", "UR");
    const auto query = book_->CreateQuery();
    book_->OpenQuery(query, kUkrainianCalls);

    EXPECT_EQ(1, book_->ExecSQL(kMarkUR5ABC));
    EXPECT_EQ(1, book_->ExecSQL(kMarkUR5ABC)) << "the cached statement runs again";
    EXPECT_EQ(0, book_->ExecSQL("UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL='UR9ZZZ'"));
    EXPECT_EQ(0, book_->ExecSQL("CREATE TABLE NOTES (TEXT TEXT)")) << "no stale count from the UPDATE";
    EXPECT_TRUE(book_->Locate(query, "OMCALL", "UT1A"));

    EXPECT_EQ(1, book_->BureauCount());
    EXPECT_EQ((std::vector<CallbookRow>{{"UR5ABC", "UR", "Ivan", "Kyiv", "KO50", true}}),
              book_->Rows("", true, -1));
    // Committed: another connection sees the mark.
    EXPECT_EQ("1", RawDatabase(File()).Scalar("SELECT Use_BUREAU FROM CALLBOOK WHERE OMCALL='UR5ABC'"));
}

TEST_F(CallbookTest, ExecSqlRunsStatementsOfOneShapeWithTheirOwnLiterals) {
    Insert("UR5ABC", "UR");
    Insert("UT1A", "UR");
    EXPECT_EQ(1, book_->ExecSQL("UPDATE CALLBOOK SET QTH='Lviv' WHERE OMCALL='UR5ABC'"));
    EXPECT_EQ(1, book_->ExecSQL("UPDATE CALLBOOK SET QTH='O''Brien -- x' WHERE OMCALL='UT1A'"));
    EXPECT_EQ(0, book_->ExecSQL("UPDATE CALLBOOK SET QTH='Lviv' WHERE OMCALL='UT1'"));
    // Places where SQLite takes no parameter: the statement runs as written.
    EXPECT_EQ(0, book_->ExecSQL("CREATE TABLE NOTES (BODY TEXT DEFAULT 'none')"));
    EXPECT_EQ(1, book_->ExecSQL("INSERT INTO 'CALLBOOK' (OMCALL, DXCCPFX) VALUES ('UR0ZZ', 'UR')"));
    EXPECT_EQ(1, book_->ExecSQL("INSERT INTO NOTES DEFAULT VALUES"));

    std::vector<std::string> qths;
    for (const auto& row : book_->Rows("", {}, -1))
        qths.push_back(row.Call + " " + row.Qth);
    EXPECT_EQ((std::vector<std::string>{"UR0ZZ ", "UR5ABC Lviv", "UT1A O'Brien -- x"}), qths);
    EXPECT_EQ("none", RawDatabase(File()).Scalar("SELECT BODY FROM NOTES"));
}

TEST_F(CallbookTest, FreeQueryIgnoresUnknownHandles) {
    const auto query = book_->CreateQuery();
    EXPECT_GT(query, 0);
    book_->OpenQuery(query, kUkrainianCalls);
    book_->FreeQuery(0);
    book_->FreeQuery(query + 100);
    EXPECT_FALSE(book_->Locate(query, "OMCALL", "UR5ABC"));
    book_->FreeQuery(query);
    book_->FreeQuery(query);
    EXPECT_THROW(book_->Locate(query, "OMCALL", "UR5ABC"), CallbookError);
    EXPECT_NE(query, book_->CreateQuery()) << "handles are not reused";
}

TEST_F(CallbookTest, BadStatementsGiveErrorsAndChangeNothing) {
    Insert("UR5ABC", "UR");
    const auto opened = book_->CreateQuery();
    book_->OpenQuery(opened, kUkrainianCalls);
    const auto unopened = book_->CreateQuery();
    struct Case {
        const char* name;
        std::function<void()> run;
        const char* message;
    };
    const Case cases[] = {
        {"syntax", [&] { book_->ExecSQL("UPDTE CALLBOOK SET Use_BUREAU=1"); }, "syntax error"},
        {"unknown column", [&] { book_->ExecSQL("UPDATE CALLBOOK SET BUREAU=1"); }, "no such column: BUREAU"},
        {"two statements", [&] { book_->ExecSQL(kMarkUR5ABC + "; DELETE FROM CALLBOOK"); },
         "one SQL statement"},
        {"trailing junk", [&] { book_->ExecSQL(kMarkUR5ABC + "; junk"); }, "one SQL statement"},
        {"empty", [&] { book_->ExecSQL(" -- nothing"); }, "No SQL statement"},
        {"rows from ExecSQL", [&] { book_->ExecSQL("SELECT * FROM CALLBOOK"); }, "returns rows"},
        {"constraint", [&] { book_->ExecSQL("INSERT INTO CALLBOOK (OMCALL) VALUES (NULL)"); }, "NOT NULL"},
        {"change in OpenQuery", [&] { book_->OpenQuery(unopened, kMarkUR5ABC); }, "needs a SELECT"},
        {"unknown query", [&] { book_->OpenQuery(999, kUkrainianCalls); }, "Unknown query 999"},
        {"unopened query", [&] { book_->Locate(unopened, "OMCALL", "UR5ABC"); }, "is not open"},
        {"unknown field", [&] { book_->Locate(opened, "CALL", "UR5ABC"); }, "has no field \"CALL\""},
        {"row out of range", [&] { book_->Value(opened, 1, "OMCALL"); }, "has no row 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.run();
            ADD_FAILURE() << "no error";
        } catch (const CallbookError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ((std::vector<CallbookRow>{{"UR5ABC", "UR", "Ivan", "Kyiv", "KO50", false}}),
              book_->Rows("", {}, -1));
    // A statement ended by a semicolon and a comment is still one statement.
    EXPECT_EQ(1, book_->ExecSQL(kMarkUR5ABC + "; -- mark it"));
}

TEST_F(CallbookTest, RowsAndCountsFilterByPrefixAndBureau) {
    for (const char* call : {"UT1A", "UR5ABC", "UR0ZZ", "DL1ABC", "U_9X"})
        Insert(call, "UR");
    book_->ExecSQL("UPDATE CALLBOOK SET Use_BUREAU=TRUE WHERE OMCALL IN ('UR0ZZ', 'DL1ABC')");

    auto calls = [&](const std::string& prefix, std::optional<bool> bureau, int limit) {
        std::vector<std::string> result;
        for (const auto& row : book_->Rows(prefix, bureau, limit))
            result.push_back(row.Call);
        return result;
    };
    using Calls = std::vector<std::string>;
    EXPECT_EQ((Calls{"DL1ABC", "UR0ZZ", "UR5ABC", "UT1A", "U_9X"}), calls("", {}, -1));
    EXPECT_EQ((Calls{"UR0ZZ", "UR5ABC"}), calls("ur", {}, -1));
    EXPECT_EQ((Calls{"UR5ABC"}), calls("UR", false, -1));
    EXPECT_EQ((Calls{"DL1ABC", "UR0ZZ"}), calls("", true, -1));
    EXPECT_EQ((Calls{"U_9X"}), calls("U_", {}, -1)) << "wildcards in the prefix are plain text";
    EXPECT_EQ((Calls{"DL1ABC", "UR0ZZ"}), calls("", {}, 2));
    EXPECT_EQ(5, book_->Count());
    EXPECT_EQ(2, book_->Count("ur"));
    EXPECT_EQ(1, book_->Count("UR", false));
    EXPECT_EQ(1, book_->Count("U_"));
    EXPECT_EQ(2, book_->BureauCount());
}

} // namespace
