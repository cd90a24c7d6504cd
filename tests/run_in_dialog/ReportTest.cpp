// The run's report: the lists' date after "* Use: ", the archive of the last update recognised, and
// before "* Done." the callsigns marked for the first time and those not in the callbook.
#include "UpdateFixture.h"

#include <QDate>

namespace {

struct ReportTest : UpdateRunTest {
    fs::path archive = dir / "lists.rar";

    void SetUp() override {
        UpdateRunTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(Rar(archive, {pdfA, pdfB}));
    }
    // The memo of a run over both lists, up to its summary line.
    std::string BothLists(const std::string& source, const std::string& archiveLines,
                          const std::string& marked) const {
        return "* Use: " + source + "\n" + archiveLines + ListA() + ListB() +
               Changed(marked, "3 (DL1ABC, RA3AA, UR3NEW)");
    }
    // The file's size and CRC-32 as the settings keep them, worked out by Python's zlib.
    static std::string Fingerprint(const fs::path& file) {
        QProcess python;
        python.start(
            PYTHON3_EXECUTABLE,
            {"-c",
             "import sys, zlib; d = open(sys.argv[1], 'rb').read(); print(len(d), '%08X' % zlib.crc32(d))",
             QString::fromStdString(file.string())});
        EXPECT_TRUE(python.waitForFinished());
        return python.readAllStandardOutput().trimmed().toStdString();
    }
    static std::string Today() { return QDate::currentDate().toString(Qt::ISODate).toStdString(); }
    void Close() {
        w.dbtUpdateCancel->click();
        ASSERT_FALSE(form->isVisible());
    }
};

// A fresh callbook: every Ukrainian found is marked for the first time. The settings then keep the
// archive, and a run over the same archive says so and marks nothing new; another archive is not taken
// for it.
TEST_F(ReportTest, AFreshCallbookThenTheSameArchiveAgain) {
    const std::string dayBefore = Today();
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    const std::string day = Today() == dayBefore ? dayBefore : Today(); // a run across midnight
    const std::string elapsed = ExpectMemo(
        BothLists(archive.string(), Dated(kDayA), "3 (UR5ABC, UR7QQ, UT2XY)"), "Files:2, Tot:7, Upd:4", true);
    EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", Files:2, Tot:7, Upd:4 (" + elapsed + ")");
    ASSERT_NO_FATAL_FAILURE(Close());
    EXPECT_EQ(ReadFile(dir / "host.ini"), "[Bureau-UR]\r\nResource=" + archive.string() +
                                              "\r\nLocation=Local\r\nLastArchive=" + Fingerprint(archive) +
                                              "\r\nLastUpdate=" + day + "\r\n");

    Open();
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    ExpectMemo(BothLists(archive.string(),
                         Dated(kDayA) + "   This is the archive of your last update (" + day + ")\n", "none"),
               "Files:2, Tot:7, Upd:4", true);

    // The same lists in another archive: another file.
    const fs::path other = dir / "other.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(other, {pdfB, pdfA}));
    w.edSource->clear();
    ASSERT_NO_FATAL_FAILURE(Run(1, other.string()));
    EXPECT_EQ(FullMemo().find("This is the archive"), std::string::npos) << FullMemo();
}

// Calls marked by hand before the run were not marked by it; a callbook that had them all gives none.
TEST_F(ReportTest, CallsMarkedBeforeTheRunAreNotMarkedForTheFirstTime) {
    const struct {
        const char* markedByHand;
        const char* marked;
    } cases[] = {
        {"'UR5ABC', 'US1ZZ', 'DL1ABC'", "2 (UR7QQ, UT2XY)"},
        {"'UR5ABC', 'UR7QQ', 'UT2XY'", "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.markedByHand);
        Open(); // a good run of the same dialog would be the last update
        callbook->ExecSQL("UPDATE CALLBOOK SET Use_BUREAU = FALSE");
        callbook->ExecSQL(std::string("UPDATE CALLBOOK SET Use_BUREAU = TRUE WHERE OMCALL IN (") +
                          c.markedByHand + ")");
        w.edSource->clear();
        ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
        ExpectMemo(BothLists(archive.string(), Dated(kDayA), c.marked), "Files:2, Tot:7, Upd:4", true);
    }
}

// The date of the newest list: the latest entry's, the server's beside it for a download; a bare PDF's
// own file date when it is local, and only the server's when it was downloaded.
TEST_F(ReportTest, TheListsDateIsTheNewestEntrysWithTheServersBesideIt) {
    fs::create_directories(dir / "www");
    const fs::path onlyB = dir / "www" / "b.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(onlyB, {pdfB}));
    fs::copy_file(pdfB, dir / "www" / "b.pdf");
    for (const char* served : {"b.rar", "b.pdf"})
        ASSERT_NO_FATAL_FAILURE(SetDay(dir / "www" / served, "2025-04-01"));
    ASSERT_NO_FATAL_FAILURE(SetDay(pdfB, kDayB));
    WriteFile(dir / "www" / "junk.rar", "this is not a RAR archive\n");
    TestServer server(dir / "www");
    const struct {
        int location;
        std::string source, dated;
    } cases[] = {
        {1, archive.string(), "Lists dated 2025-03-14"},
        {1, onlyB.string(), "Lists dated 2025-02-01"},
        {0, server.Url("/files/b.rar"), "Lists dated 2025-02-01 (the server's date: 2025-04-01)"},
        {1, pdfB.string(), "Lists dated 2025-02-01"},
        {0, server.Url("/files/b.pdf"),
         "Lists dated: the archive does not tell (the server's date: 2025-04-01)"},
        {1, (dir / "www" / "junk.rar").string(), ""}, // no lists, no date
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        Open(); // a good run of the same dialog would be the last update
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        const std::string start =
            "* Use: " + c.source + "\n   " + (c.dated.empty() ? "Cannot open" : c.dated + "\n   Parsing ");
        EXPECT_EQ(FullMemo().substr(0, start.size()), start) << FullMemo();
    }
}

// A read-me beside the lists, newer than them, is no list and does not date them; a list that cannot
// be read adds nothing to the calls, and its line on the unread lists stands before the report's, which
// stand before "* Done.".
TEST_F(ReportTest, EntriesPassedOverAndListsLeftUnreadKeepTheReportToTheListsRead) {
    const fs::path readme = dir / "00-readme.txt", secret = dir / "secret.pdf", mixed = dir / "mixed.rar";
    WriteFile(readme, "These lists are of UR5ABC's bureau.\n");
    ASSERT_NO_FATAL_FAILURE(SetDay(readme, "2025-06-01"));
    fs::copy_file(pdfB, secret);
    ASSERT_NO_FATAL_FAILURE(SetDay(secret, kDayB));
    ASSERT_NO_FATAL_FAILURE(Rar(mixed, {readme, pdfA}));
    ASSERT_NO_FATAL_FAILURE(Rar(mixed, {secret}, {"-psecret"}));
    ASSERT_NO_FATAL_FAILURE(Run(1, mixed.string()));
    ExpectMemo("* Use: " + mixed.string() + "\n" + Dated(kDayA) + Parsing("00-readme.txt", readme) +
                   "      \"00-readme.txt\" is not a PDF list: skipped\n" + ListA() +
                   Parsing("secret.pdf", secret) +
                   "      Cannot extract \"secret.pdf\" from the archive: it is encrypted (protected by a "
                   "password)\n   1 of 2 lists could not be read: secret.pdf (encrypted)\n" +
                   Changed("2 (UR5ABC, UT2XY)", "2 (DL1ABC, UR3NEW)"),
               "Files:3, Tot:4, Upd:2", true);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + mixed.string() + " failed.");
}

// A host that refuses the second query, or a question on it, costs only the line on the calls marked
// for the first time: the lists are read and marked, and the summary and the log line are as ever.
TEST_F(ReportTest, AHostThatRefusesTheSecondQueryCostsOnlyThatLine) {
    const struct {
        const char* method;
        int succeeding; // calls of this run that succeed before the refusal
    } cases[] = {
        {"IHostServer.CreateQuery", 1},
        {"IHostServer.OpenQuery", 1},
        {"IHostServer.Locate", 6}, // the lists' six distinct callsigns on the first query
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        Open(); // a good run of the same dialog would be the last update
        callbook->ExecSQL("UPDATE CALLBOOK SET Use_BUREAU = FALSE");
        host->Faults().failing.clear();
        host->Faults().failing[c.method] = {E_FAIL, u"not now", host->CallCount(c.method) + c.succeeding};
        commands.clear();
        const int created = host->CallCount("IHostServer.CreateQuery");
        const int freed = host->CallCount("IHostServer.FreeQuery");
        ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
        const std::string elapsed =
            ExpectMemo(BothLists(archive.string(), Dated(kDayA), "the callbook could not tell"),
                       "Files:2, Tot:7, Upd:4", true);
        EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", Files:2, Tot:7, Upd:4 (" + elapsed + ")");
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(commands.size(), 1u) << "REFRESH";
        for (const char* call : {"UR5ABC", "UT2XY", "UR7QQ"})
            EXPECT_TRUE(Bureau(call)) << call;
        const int refusedCreation = c.method == std::string("IHostServer.CreateQuery") ? 1 : 0;
        EXPECT_EQ(host->CallCount("IHostServer.FreeQuery") - freed,
                  host->CallCount("IHostServer.CreateQuery") - created - refusedCreation)
            << "every query the host made is freed";
    }
}

} // namespace
