// The main window's table of the callbook: the details a callbook has are shown, the others left out.
#include "Host/LogHostCallbookModel.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace {

// What the table shows: the header, then each row's texts, the bureau column as [x] or [ ].
std::vector<std::string> Shown(const LogHostCallbookModel& model) {
    std::vector<std::string> lines;
    std::string header;
    for (int column = 0; column < model.columnCount(); ++column)
        header += (column ? "|" : "") + model.headerData(column, Qt::Horizontal).toString().toStdString();
    lines.push_back(header);
    for (int row = 0; row < model.rowCount(); ++row) {
        std::string line;
        for (int column = 0; column < model.columnCount(); ++column) {
            const QModelIndex index = model.index(row, column);
            const QVariant check = model.data(index, Qt::CheckStateRole);
            line += (column ? "|" : "") + (check.isValid()
                                               ? std::string(check.toInt() == Qt::Checked ? "[x]" : "[ ]")
                                               : model.data(index).toString().toStdString());
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(CallbookModel, ShowsTheDetailsTheCallbookHasAndLeavesOutTheOthers) {
    const struct {
        const char* name;
        const char* table; // empty: the host's own callbook
        const char* row;
        std::vector<std::string> shown;
    } cases[] = {
        {"three columns",
         "CREATE TABLE CALLBOOK (OMCALL TEXT, DXCCPFX TEXT, Use_BUREAU INTEGER)",
         "INSERT INTO CALLBOOK VALUES ('UR5ABC', 'UR', 1)",
         {"Call|DXCC|Bureau", "UR5ABC|UR|[x]"}},
        {"other columns",
         "CREATE TABLE callbook (omcall TEXT, dxccpfx TEXT, name TEXT, qth TEXT, country TEXT, "
         "use_bureau BOOLEAN)",
         "INSERT INTO callbook VALUES ('UR5ABC', 'UR', 'Ivan', 'Kyiv', 'Ukraine', FALSE)",
         {"Call|DXCC|Name|QTH|Bureau", "UR5ABC|UR|Ivan|Kyiv|[ ]"}},
        {"the host's own",
         "",
         "INSERT INTO CALLBOOK (OMCALL, DXCCPFX, OMNAME, QTH, GRID) VALUES ('UR5ABC', 'UR', 'Ivan', 'Kyiv', "
         "'KO50')",
         {"Call|DXCC|Name|QTH|Grid|Bureau", "UR5ABC|UR|Ivan|Kyiv|KO50|[ ]"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto file = dir.Path() / "callbook.db";
        if (*c.table) {
            sqlite3* db = nullptr;
            sqlite3_open(file.c_str(), &db);
            EXPECT_EQ(sqlite3_exec(db, c.table, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        Callbook book(file);
        book.ExecSQL(c.row);
        LogHostCallbookModel model;
        model.Reload(&book, "", {});
        EXPECT_EQ(Shown(model), c.shown);
        EXPECT_EQ(model.SectionOf(LogHostCallbookModel::Qth) >= 0,
                  c.shown[0].find("QTH") != std::string::npos);
    }
}

} // namespace
