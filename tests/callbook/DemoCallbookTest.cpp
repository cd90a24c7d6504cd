// The demo callbook generator, run as the demo's scripts run it, against the host's Callbook.
#include "Host/Callbook.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <fstream>

namespace {

const std::filesystem::path kScript = MAKE_CALLBOOK_SCRIPT;

void RunGenerator(const std::string& arguments) {
    const std::string command = "'" PYTHON3_EXECUTABLE "' '" + kScript.string() + "' " + arguments;
    ASSERT_EQ(0, std::system(command.c_str())) << command;
}

// The first column of a query's rows, read without changing the file.
std::vector<std::string> Texts(const std::filesystem::path& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> owned(db, &sqlite3_close);
    sqlite3_stmt* statement = nullptr;
    std::vector<std::string> texts;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        return {std::string("error: ") + sqlite3_errmsg(db)};
    while (sqlite3_step(statement) == SQLITE_ROW)
        texts.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
    return texts;
}

std::vector<std::string> SchemaOf(const std::filesystem::path& file) {
    return Texts(file, "SELECT type || ' ' || name || ': ' || sql FROM sqlite_master ORDER BY name");
}

TEST(DemoCallbook, GeneratorWritesTheHostsSchemaAndListsUkrainianCalls) {
    TempDir dir;
    const auto file = dir.Path() / "callbook.db";
    const auto list = dir.Path() / "calls.txt";
    RunGenerator("--db '" + file.string() + "' --list-ur 50 '" + list.string() + "'");

    // Same tables as a callbook the host creates itself, and a single file to ship.
    Callbook{dir.Path() / "host.db"};
    EXPECT_EQ(SchemaOf(dir.Path() / "host.db"), SchemaOf(file));
    EXPECT_EQ(std::vector<std::string>{"delete"}, Texts(file, "PRAGMA journal_mode"));

    std::vector<std::string> calls;
    std::ifstream in(list);
    for (std::string call; std::getline(in, call);)
        calls.push_back(call);
    ASSERT_EQ(50u, calls.size());

    Callbook book(file);
    EXPECT_EQ(20000, book.Count());
    EXPECT_EQ(0, book.BureauCount());
    const auto query = book.CreateQuery();
    book.OpenQuery(query, R"(SELECT DISTINCT OMCALL FROM CALLBOOK WHERE DXCCPFX="UR" ORDER BY OMCALL)");
    EXPECT_GT(book.RecordCount(query), 3000);
    for (const auto& call : calls)
        EXPECT_TRUE(book.Locate(query, "OMCALL", call)) << call;

    // The shipped callbook is this generator's current output. Opened from a copy: the host adds to
    // the file while it works on it (WAL files beside it).
    const auto shipped = kScript.parent_path() / "callbook.db";
    std::filesystem::copy_file(shipped, dir.Path() / "shipped.db");
    Callbook demo(dir.Path() / "shipped.db");
    EXPECT_EQ(book.Rows("", {}, -1), demo.Rows("", {}, -1)) << "regenerate " << shipped;
}

} // namespace
