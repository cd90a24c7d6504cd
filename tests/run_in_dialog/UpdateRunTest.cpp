// Obtaining the archive and the "Get data" run, through the real dialog against the host's side of the
// boundary: real RAR archives, real PDFs, a real SQLite callbook and a real HTTP server on 127.0.0.1.
#include "UpdateFixture.h"
#include "tests/support/Fixture.h"

namespace {

// ---- Obtaining the archive ----

TEST_F(UpdateTest, LocalAndNoneTouchNothingButTheGivenPath) {
    WriteFile(dir / " list.rar ", "Rar!");
    WriteFile(dir / "list.rar", "Rar!");
    const int valuesBefore = host->CallCount("IHostKernel.GetValue");
    struct Case {
        SourceLocation location;
        std::u16string source;
        bool result;
        std::u16string path; // what path holds afterwards
    } cases[] = {
        {SourceLocation::None, (dir / "list.rar").u16string(), false, u"unchanged"},
        {SourceLocation::Local, (dir / " list.rar ").u16string(), true, (dir / " list.rar ").u16string()},
        {SourceLocation::Local, u"  " + (dir / "list.rar").u16string() + u" ", false,
         u"  " + (dir / "list.rar").u16string() + u" "},
        {SourceLocation::Local, dir.u16string(), false, dir.u16string()}, // a folder is no archive
    };
    for (const auto& c : cases) {
        std::u16string path = u"unchanged";
        EXPECT_EQ(LoadSource(c.location, c.source, path), c.result)
            << QString::fromStdU16String(c.source).toStdString();
        EXPECT_EQ(path, c.path);
    }
    EXPECT_EQ(host->CallCount("IHostKernel.GetValue"), valuesBefore);
    EXPECT_TRUE(FileNames(download).empty());
}

// Only a successful response is an archive: an error page or a redirection is not saved (the failure
// table of the run shows what the user is told), and a redirection is not followed.
TEST_F(UpdateTest, DownloadSavesTheBodyOfASuccessfulResponseOnly) {
    fs::create_directories(dir / "www");
    std::string big(3 * 1024 * 1024 + 17, '\0');
    std::mt19937 random(7);
    for (char& c : big)
        c = static_cast<char>(random());
    WriteFile(dir / "www" / "lists.rar", big);
    WriteFile(dir / "www" / "empty.rar", "");
    TestServer server(dir / "www");
    struct Case {
        std::string path, body;
    } cases[] = {
        {"/files/lists.rar", big},
        {"/files/empty.rar", ""},
    };
    const QRegularExpression tempName(QRegularExpression::anchoredPattern(R"(~ar[0-9A-F]+\.tmp)"));
    for (const auto& c : cases) {
        std::u16string path;
        ASSERT_TRUE(LoadSource(SourceLocation::Internet, Utf8ToString(server.Url(c.path)), path)) << c.path;
        const fs::path saved(path);
        EXPECT_EQ(saved.parent_path(), download);
        EXPECT_TRUE(tempName.match(QString::fromStdString(saved.filename().string())).hasMatch()) << saved;
        EXPECT_TRUE(ReadFile(saved) == c.body) << c.path;
        EXPECT_TRUE(w.psInfo->text().isEmpty());
        fs::remove(saved);
    }
    for (const char* refused : {"/files/missing.rar", "/redirect"}) {
        std::u16string path = u"given";
        EXPECT_FALSE(LoadSource(SourceLocation::Internet, Utf8ToString(server.Url(refused)), path))
            << refused;
        EXPECT_EQ(path, u"given");
        EXPECT_TRUE(FileNames(download).empty()) << refused;
    }
    std::u16string requests;
    ASSERT_TRUE(LoadSource(SourceLocation::Internet, Utf8ToString(server.Url("/requests")), requests));
    EXPECT_EQ(ReadFile(requests).find("/target"), std::string::npos) << "a redirection is not followed";
}

TEST_F(UpdateTest, FailedDownloadLeavesNoFile) {
    fs::create_directories(dir / "www");
    TestServer server(dir / "www");
    ClosedPort closed;
    for (const std::string& url :
         {closed.Url("/lists.rar"), server.Url("/short"), server.Url("/broken-chunks")}) {
        std::u16string path = u"given";
        form->Presenter().MsgInfo(u"old status");
        EXPECT_FALSE(LoadSource(SourceLocation::Internet, Utf8ToString(url), path)) << url;
        EXPECT_EQ(path, u"given") << url;
        EXPECT_TRUE(w.psInfo->text().isEmpty()) << url;
        EXPECT_TRUE(FileNames(download).empty()) << url;
    }
}

TEST_F(UpdateTest, MissingDownloadFolderRaisesNamingIt) {
    fs::create_directories(dir / "www");
    WriteFile(dir / "www" / "lists.rar", "Rar!");
    TestServer server(dir / "www");
    const fs::path missing = dir / "no-such-folder";
    host->SetVariable(u"DOWNLOAD", missing.u16string());
    std::u16string path;
    try {
        LoadSource(SourceLocation::Internet, Utf8ToString(server.Url("/files/lists.rar")), path);
        ADD_FAILURE() << "no error raised";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(w.psInfo->text().isEmpty());
}

// ---- The update run ----

TEST_F(UpdateRunTest, LocalArchiveOfTwoListsSetsTheFlagsOfTheUkrainiansFound) {
    const fs::path archive = dir / "lists.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(archive, {pdfA, pdfB}));
    const std::string archiveBytes = ReadFile(archive);
    const int updatesBefore = host->CallCount("IHostServer.ExecSQL");

    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));

    EXPECT_TRUE(messages.empty());
    const std::string elapsed =
        ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("a.pdf", pdfA) +
                       "      Found 4, updated 2 callsigns\n" + Parsing("b.pdf", pdfB) +
                       "      Found 3, updated 2 callsigns\n",
                   "Files:2, Tot:7, Upd:4");
    EXPECT_EQ(Log(), std::vector<std::string>{"Exec: " + std::string(kCaption) + ", Files:2, Tot:7, Upd:4 (" +
                                              elapsed + ")"});
    EXPECT_EQ(commands, (std::vector<std::pair<std::u16string, std::u16string>>{{u"REFRESH", u"0"}}));
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, 4) << "UR5ABC is updated once per list";
    for (const char* call : {"UR5ABC", "UT2XY", "UR7QQ"})
        EXPECT_TRUE(Bureau(call)) << call;
    for (const char* call : {"US1ZZ", "DL1ABC", "RA3AA"})
        EXPECT_FALSE(Bureau(call)) << call;
    EXPECT_EQ(callbook->Count({}, true), 3);
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), 1);
    EXPECT_TRUE(FileNames(download).empty());
    EXPECT_TRUE(ReadFile(archive) == archiveBytes) << "a local archive is never touched";
    EXPECT_EQ(w.psInfo->text(), ">>");
    EXPECT_TRUE(form->Presenter().IsUpdateDone());
    EXPECT_FALSE(w.dbtUpdateOk->isEnabled()) << "a successful run waits for a change";
}

TEST_F(UpdateRunTest, DownloadedArchiveIsDeletedAndFoldersAreSkipped) {
    fs::create_directories(dir / "www");
    fs::create_directories(dir / "emptydir");
    const fs::path cyrillic = dir / "Список.pdf";
    fs::copy_file(pdfA, cyrillic);
    ASSERT_NO_FATAL_FAILURE(Rar(dir / "www" / "lists.rar", {dir / "emptydir", cyrillic}));
    TestServer server(dir / "www");
    const std::string url = server.Url("/files/lists.rar");

    ASSERT_NO_FATAL_FAILURE(Run(0, url));

    EXPECT_TRUE(messages.empty());
    ExpectMemo("* Use: " + url + "\n" + Parsing("Список.pdf", cyrillic) +
                   "      Found 4, updated 2 callsigns\n",
               "Files:1, Tot:4, Upd:2");
    EXPECT_EQ(w.psInfo->text(), ">");
    EXPECT_TRUE(FileNames(download).empty()) << "the downloaded archive is deleted";
    EXPECT_EQ(commands.size(), 1u);
}

TEST_F(UpdateRunTest, SourceThatIsNoArchiveEndsWithAZeroSummary) {
    fs::create_directories(dir / "www");
    const fs::path junk = dir / "www" / "junk.rar";
    WriteFile(junk, "this is not a RAR archive\n");
    TestServer server(dir / "www");
    struct Case {
        int location;
        std::string source;
    } cases[] = {
        {1, junk.string()}, {0, server.Url("/files/junk.rar")}, // downloaded whole, and no archive either
    };
    for (const auto& c : cases) {
        host->Faults() = {};
        const std::size_t logBefore = Log().size();
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ExpectMemo("* Use: " + c.source + "\n   Cannot open the archive \"" + c.source +
                       "\": the file is not a RAR archive, or it is damaged\n",
                   "Files:0, Tot:0, Upd:0");
        ASSERT_EQ(Log().size(), logBefore + 1);
        EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + c.source + " failed.");
        EXPECT_FALSE(form->Presenter().IsUpdateDone());
        EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
        EXPECT_TRUE(FileNames(download).empty()) << c.source;
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(commands.empty()) << "no REFRESH after a run that updated nothing";
}

TEST_F(UpdateRunTest, MissingComponentsAreReportedBeforeAnythingElse) {
    fs::remove(app / "UnRAR.dll");
    const std::string appPath = app.string();
    struct Case {
        int location;
        std::string source;
        std::string caption, text;
    } cases[] = {
        {1, pdfA.string(), "UnRAR component needed",
         "Not found library for RAR archive unpacking:\r\nplease put UnRAR.dll in application folder\r\n\"" +
             appPath + "\"\r\nand restart LogHost application."},
        {0, "HtTpS://127.0.0.1/lists.rar", "OpenSSL components needed",
         "Not found libraries for secure web connection:\r\nplease put libeay32.dll and ssleay32.dll in "
         "application folder\r\n\"" +
             appPath + "\"\r\nand restart LogHost application."},
    };
    for (const auto& c : cases) {
        messages.clear();
        w.mProgress->setPlainText("earlier run");
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ASSERT_EQ(messages.size(), 1u) << "UnRAR is not checked after missing OpenSSL";
        EXPECT_EQ(QString::fromStdU16String(messages[0].first).toStdString(), c.caption);
        EXPECT_EQ(QString::fromStdU16String(messages[0].second).toStdString(), c.text);
        EXPECT_EQ(Memo(), "earlier run");
        EXPECT_FALSE(form->Presenter().IsUpdateDone());
        EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    }
    EXPECT_EQ(host->CallCount("IHostServer.CreateQuery"), 0);
    EXPECT_TRUE(Log().empty());
}

TEST_F(UpdateRunTest, ErrorInsideTheRunIsShownAndTheQueryFreed) {
    const fs::path archive = dir / "lists.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(archive, {pdfA, pdfB}));
    {
        // The converter cannot be started: the case of an Acrobat that is not installed.
        ScopedEnv converter("ZARBEX_PDFTOTEXT", (dir / "no-such-pdftotext").c_str());
        ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Error");
    EXPECT_EQ(Memo(), "* Use: " + archive.string() + "\n" + Parsing("a.pdf", pdfA));
    EXPECT_TRUE(FileNames(download).empty());
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), 1);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled()) << "\"Get data\" is usable again";

    // A host call failing in the middle: the updates done before it stay.
    messages.clear();
    host->Faults().failing["IHostServer.ExecSQL"] = {E_FAIL, u"callbook locked", 2};
    const int updatesBefore = host->CallCount("IHostServer.ExecSQL");
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Error");
    EXPECT_NE(messages[0].second.find(u"callbook locked"), std::u16string::npos);
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, 3);
    EXPECT_EQ(callbook->Count({}, true), 2);
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), 2);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    EXPECT_TRUE(fs::exists(archive));
    EXPECT_TRUE(FileNames(download).empty()) << "the failing entry's working files are left";

    // A downloaded archive goes also when the run fails, and so do the entry's working files.
    fs::create_directories(dir / "www");
    fs::copy_file(archive, dir / "www" / "lists.rar");
    TestServer server(dir / "www");
    messages.clear();
    ASSERT_NO_FATAL_FAILURE(Run(0, server.Url("/files/lists.rar")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(FileNames(download).empty());
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), 3);
}

// Close pressed while the run works waits for the run; then the dialog closes and, the run having
// succeeded, keeps its source in the settings.
TEST_F(UpdateRunTest, CloseDuringARunWaitsForItThenWritesTheSettings) {
    const fs::path archive = dir / "lists.rar";
    Rar(archive, {pdfA, pdfB});
    bool closedDuringRun = false;
    QTimer::singleShot(0, form.get(), [&] {
        w.dbtUpdateCancel->click();
        closedDuringRun = form->isVisible();
    });
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    EXPECT_TRUE(closedDuringRun) << "the dialog stays while the run works";
    EXPECT_FALSE(form->isVisible());
    ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("a.pdf", pdfA) +
                   "      Found 4, updated 2 callsigns\n" + Parsing("b.pdf", pdfB) +
                   "      Found 3, updated 2 callsigns\n",
               "Files:2, Tot:7, Upd:4");
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=" + archive.string() + "\r\nLocation=Local\r\n");
}

// Every RAR 4 archive's file entries are converted and counted in archive order, with their real names
// and sizes; folders and links are passed over. Their entries are plain text already, so a stand-in
// converter copies them.
TEST_F(UpdateRunTest, Rar4ArchivesAreReadToTheEnd) {
    const fs::path copier = Converter("copy", "cp -- \"$1\" \"$2\"");
    ScopedEnv converter("ZARBEX_PDFTOTEXT", copier.c_str());
    const struct {
        const char* file;
        std::vector<std::pair<std::string, int>> files; // name, unpacked size
    } cases[] = {
        {"rar.rar", {{"test.txt", 20}, {"testdir/test.txt", 20}}},
        {"rar_unicode.rar",
         {{"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt", 0},
          {"表だよ/漢字長いファイル名long-filename-in-漢字.txt", 5},
          {"abcdefghijklmnopqrsテスト.txt", 16}}},
        {"rar_windows.rar", {{"testdir/test.txt", 16}, {"test.txt", 16}, {"testshortcut.lnk", 441}}},
        {"rar_noeof.rar", {{"test.txt", 20}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        std::string archive;
        ASSERT_NO_FATAL_FAILURE(Fixture(std::string("rar4/") + c.file, archive));
        std::string start = "* Use: " + archive + "\n";
        std::string marks;
        for (const auto& [name, size] : c.files) {
            start += "   Parsing " + name + " (" + std::to_string(size) + " bytes)\n" +
                     "      Found 0, updated 0 callsigns\n";
            marks += '>';
        }
        ASSERT_NO_FATAL_FAILURE(Run(1, archive));
        ExpectMemo(start, "Files:" + std::to_string(c.files.size()) + ", Tot:0, Upd:0");
        EXPECT_EQ(w.psInfo->text().toStdString(), marks);
        EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + archive + " failed.");
        EXPECT_TRUE(FileNames(download).empty());
    }
    EXPECT_TRUE(messages.empty());

    // A damaged entry: nothing of it is converted, and the run ends through its error path saying why.
    std::string damaged;
    ASSERT_NO_FATAL_FAILURE(Fixture("rar4/rar_invalid1.rar", damaged));
    ASSERT_NO_FATAL_FAILURE(Run(1, damaged));
    EXPECT_EQ(Memo(), "* Use: " + damaged + "\n   Parsing test (3 bytes)\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Error");
    EXPECT_EQ(QString::fromStdU16String(messages[0].second).toStdString(),
              "Cannot extract \"test\" from the archive: the data is damaged or cut short (CRC error)");
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    EXPECT_TRUE(commands.empty());
}

// Archives as rar writes them and as they reach users: solid, holding only a folder, nothing but the
// signature, cut short.
TEST_F(UpdateRunTest, Rar5ArchivesOfEveryShape) {
    fs::create_directories(dir / "emptydir");
    const fs::path solid = dir / "solid.rar", folderOnly = dir / "folder.rar",
                   signature = dir / "signature.rar", truncated = dir / "truncated.rar";
    ASSERT_EQ(
        QProcess::execute(RAR_PROGRAM,
                          {"a", "-s", "-ep1", "-idq", QString::fromStdString(solid.string()),
                           QString::fromStdString(pdfA.string()), QString::fromStdString(pdfB.string())}),
        0);
    ASSERT_NO_FATAL_FAILURE(Rar(folderOnly, {dir / "emptydir"}));
    WriteFile(signature, std::string("Rar!\x1a\x07\x01\x00", 8));
    const std::string whole = ReadFile(solid);
    WriteFile(truncated, whole.substr(0, whole.size() - 200));
    const std::string listA = Parsing("a.pdf", pdfA) + "      Found 4, updated 2 callsigns\n";
    const std::string listB = Parsing("b.pdf", pdfB) + "      Found 3, updated 2 callsigns\n";

    ASSERT_NO_FATAL_FAILURE(Run(1, solid.string()));
    ExpectMemo("* Use: " + solid.string() + "\n" + listA + listB, "Files:2, Tot:7, Upd:4");
    EXPECT_EQ(commands.size(), 1u);

    for (const fs::path& empty : {folderOnly, signature}) {
        ASSERT_NO_FATAL_FAILURE(Run(1, empty.string()));
        ExpectMemo("* Use: " + empty.string() + "\n   The archive \"" + empty.string() +
                       "\" holds no lists\n",
                   "Files:0, Tot:0, Upd:0");
        EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + empty.string() + " failed.");
    }
    EXPECT_TRUE(messages.empty());

    // The entry cut short cannot be extracted: the run stops with an error naming it, after the first
    // list's updates.
    const int updatesBefore = host->CallCount("IHostServer.ExecSQL");
    ASSERT_NO_FATAL_FAILURE(Run(1, truncated.string()));
    EXPECT_EQ(Memo(), "* Use: " + truncated.string() + "\n" + listA + Parsing("b.pdf", pdfB));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Error");
    EXPECT_EQ(QString::fromStdU16String(messages[0].second).toStdString(),
              "Cannot extract \"b.pdf\" from the archive: the data is damaged or cut short (CRC error)");
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, 2);
    EXPECT_TRUE(FileNames(download).empty());
    EXPECT_EQ(commands.size(), 1u);
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
}

// Whatever encoding and line ends the converter writes, the reading rule gives the same words; UTF-16
// without its mark reads as the ANSI code page, whose first zero byte ends the text.
TEST_F(UpdateRunTest, TextInEveryEncodingGivesTheSameCallsigns) {
    const fs::path archive = dir / "lists.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(archive, {pdfA, pdfB}));
    const struct {
        const char* name;
        const char* recode; // a filter from pdftotext's UTF-8 to the text file's bytes
        int foundA, foundB, updated;
    } cases[] = {
        {"utf16le", "{ printf '\\377\\376'; iconv -f UTF-8 -t UTF-16LE; }", 4, 3, 4},
        {"utf16be", "{ printf '\\376\\377'; iconv -f UTF-8 -t UTF-16BE; }", 4, 3, 4},
        {"utf8bom", "{ printf '\\357\\273\\277'; cat; }", 4, 3, 4},
        {"crlf", "sed 's/$/\\r/'", 4, 3, 4},
        {"cr", "tr '\\n' '\\r'", 4, 3, 4},
        {"utf16le-nomark", "iconv -f UTF-8 -t UTF-16LE", 0, 0, 0},
        {"utf16be-nomark", "iconv -f UTF-8 -t UTF-16BE", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path script =
            Converter(c.name, "pdftotext \"$1\" - | " + std::string(c.recode) + " > \"$2\"");
        ScopedEnv converter("ZARBEX_PDFTOTEXT", script.c_str());
        const int updatesBefore = host->CallCount("IHostServer.ExecSQL");
        w.edSource->clear(); // the same source again, given anew after a successful run
        ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
        const auto entry = [](int found, int updated) {
            return "      Found " + std::to_string(found) + ", updated " + std::to_string(updated) +
                   " callsigns\n";
        };
        const int updatedA = c.updated == 0 ? 0 : 2;
        ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("a.pdf", pdfA) + entry(c.foundA, updatedA) +
                       Parsing("b.pdf", pdfB) + entry(c.foundB, c.updated - updatedA),
                   "Files:2, Tot:" + std::to_string(c.foundA + c.foundB) +
                       ", Upd:" + std::to_string(c.updated));
        EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, c.updated);
    }
    EXPECT_TRUE(messages.empty());
}

// Every occurrence of a callsign is counted, looked up and updated, also twice on one line; words are
// upper-cased before the lookup, and a word with punctuation is no callsign.
TEST_F(UpdateRunTest, EveryOccurrenceOfACallsignCounts) {
    const fs::path pdf = dir / "lines.pdf", archive = dir / "lines.rar";
    WritePdfLines(pdf.string(), {"UR5ABC and UR5ABC again", "ut2xy", "QSL VIA UR7QQ/P", "DL1ABC UR3NEW"});
    ASSERT_NO_FATAL_FAILURE(Rar(archive, {pdf}));
    const int updatesBefore = host->CallCount("IHostServer.ExecSQL");
    const int lookupsBefore = host->CallCount("IHostServer.Locate");
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("lines.pdf", pdf) +
                   "      Found 5, updated 3 callsigns\n",
               "Files:1, Tot:5, Upd:3");
    EXPECT_EQ(host->CallCount("IHostServer.Locate") - lookupsBefore, 5);
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, 3);
    EXPECT_TRUE(Bureau("UT2XY"));
    EXPECT_FALSE(Bureau("UR7QQ"));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
