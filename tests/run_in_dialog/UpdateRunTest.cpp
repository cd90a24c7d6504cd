// Obtaining the archive and the "Get data" run, through the real dialog against the host's side of the
// boundary: real RAR archives, real PDFs, a real SQLite callbook and a real HTTP server on 127.0.0.1.
#include "UpdateFixture.h"
#include "tests/support/Fixture.h"

namespace {

using namespace std::string_literals;

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
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, 3)
        << "UR5ABC is updated once in the run, though both lists hold it";
    for (const char* call : {"UR5ABC", "UT2XY", "UR7QQ"})
        EXPECT_TRUE(Bureau(call)) << call;
    for (const char* call : {"US1ZZ", "DL1ABC", "RA3AA"})
        EXPECT_FALSE(Bureau(call)) << call;
    EXPECT_EQ(callbook->Count({}, true), 3);
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"));
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

// A source that is no RAR archive is named for what it is where its first bytes tell, and otherwise
// said to be no RAR archive or a damaged one; the run ends with the zero summary.
TEST_F(UpdateRunTest, SourceThatIsNoArchiveEndsWithAZeroSummarySayingWhatItIs) {
    fs::create_directories(dir / "www");
    const auto put = [&](const std::string& name, const std::string& bytes) {
        WriteFile(dir / "www" / name, bytes);
        return (dir / "www" / name).string();
    };
    put("junk.rar", "this is not a RAR archive\n");
    put("page.rar", "\xEF\xBB\xBF\n  <!DOCTYPE html>\n<html><body>Members</body></html>\n");
    put("empty.rar", "");
    put("7z.rar", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + std::string(24, '\0'));
    const fs::path zip = dir / "www" / "lists.rar";
    ASSERT_EQ(QProcess::execute(PYTHON3_EXECUTABLE, {"-c",
                                                     "import sys, zipfile; zipfile.ZipFile(sys.argv[1], 'w')"
                                                     ".write(sys.argv[2], 'a.pdf')",
                                                     QString::fromStdString(zip.string()),
                                                     QString::fromStdString(pdfA.string())}),
              0);
    TestServer server(dir / "www");
    const std::string notRar = "the file is not a RAR archive, or it is damaged";
    const struct {
        int location;
        std::string source, reason;
    } cases[] = {
        {1, (dir / "www" / "junk.rar").string(), notRar},
        {0, server.Url("/files/junk.rar"), notRar}, // downloaded whole, and no archive either
        {1, zip.string(), "the file is a ZIP archive, not a RAR archive"},
        {0, server.Url("/files/lists.rar"), "the server sent a ZIP archive, not a RAR archive"},
        {1, (dir / "www" / "7z.rar").string(), "the file is a 7-Zip archive, not a RAR archive"},
        {1, (dir / "www" / "page.rar").string(), "the file is a web page, not a RAR archive"},
        {0, server.Url("/status/200"), "the server sent a web page, not a RAR archive"},
        {1, (dir / "www" / "empty.rar").string(), "the file is empty"},
        {0, server.Url("/files/empty.rar"), "the server sent an empty file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const std::size_t logBefore = Log().size();
        w.edSource->clear();
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ExpectMemo("* Use: " + c.source + "\n   Cannot open the archive \"" + c.source + "\": " + c.reason +
                       "\n",
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
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"));
    const std::string failed = "Exec: " + std::string(kCaption) + ", " + archive.string() + " failed.";
    EXPECT_EQ(Log(), std::vector<std::string>{failed}) << "a run that fails leaves its log line too";
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
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"));
    EXPECT_EQ(Log(), std::vector<std::string>(2, failed));
    EXPECT_EQ(commands, (std::vector<std::pair<std::u16string, std::u16string>>{{u"REFRESH", u"0"}}))
        << "the callbook changed";
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    EXPECT_TRUE(fs::exists(archive));
    EXPECT_TRUE(FileNames(download).empty()) << "the failing entry's working files are left";

    // A downloaded archive goes also when the run fails, and so do the entry's working files.
    fs::create_directories(dir / "www");
    fs::copy_file(archive, dir / "www" / "lists.rar");
    TestServer server(dir / "www");
    messages.clear();
    // The host refusing the log line as well: the error that ended the run is the one shown.
    host->Faults().failing["IHostKernel.WriteLog"] = {E_FAIL, u"log full"};
    ASSERT_NO_FATAL_FAILURE(Run(0, server.Url("/files/lists.rar")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].second.find(u"callbook locked"), std::u16string::npos);
    EXPECT_TRUE(FileNames(download).empty());
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"));
}

// A list that converts to nothing usable is not an error: the memo says why it gave no callsigns (a
// scanned list has no text, another list none that looks like a callsign) and the run goes on to the
// next list. With the real converter.
TEST_F(UpdateRunTest, ListsWithoutTextOrCallsignsAreToldAndPassedOver) {
    const fs::path scan = dir / "scan.pdf";
    const fs::path blank = dir / "blank page.pdf";
    const fs::path words = dir / "words.pdf";
    WritePdfScan(scan.string(), {"1 UR5ABC Ivan Kyiv", "2 UR7QQ Taras Poltava"});
    WritePdfScan(blank.string(), {});
    WritePdfLines(words.string(), {"Members of the QSL bureau", "The list follows next month"});
    const fs::path archive = dir / "lists.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(archive, {pdfA, scan, blank, words, pdfB}));
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("a.pdf", pdfA) +
                   "      Found 4, updated 2 callsigns\n" + Parsing("scan.pdf", scan) +
                   "      Found 0, updated 0 callsigns\n"
                   "      The list \"scan.pdf\" has no text (a scanned image?)\n" +
                   Parsing("blank page.pdf", blank) +
                   "      Found 0, updated 0 callsigns\n"
                   "      The list \"blank page.pdf\" has no text (a scanned image?)\n" +
                   Parsing("words.pdf", words) +
                   "      Found 0, updated 0 callsigns\n"
                   "      The list \"words.pdf\" holds no callsigns\n" +
                   Parsing("b.pdf", pdfB) + "      Found 3, updated 2 callsigns\n",
               "Files:5, Tot:7, Upd:4");
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(form->Presenter().IsUpdateDone());
    EXPECT_TRUE(FileNames(download).empty());

    // Alone, such a list makes a run that updated nothing: the memo still says why.
    const fs::path scanOnly = dir / "scan.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(scanOnly, {scan}));
    ASSERT_NO_FATAL_FAILURE(Run(1, scanOnly.string()));
    ExpectMemo("* Use: " + scanOnly.string() + "\n" + Parsing("scan.pdf", scan) +
                   "      Found 0, updated 0 callsigns\n"
                   "      The list \"scan.pdf\" has no text (a scanned image?)\n",
               "Files:1, Tot:0, Upd:0");
    EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + scanOnly.string() + " failed.");
    EXPECT_TRUE(messages.empty());
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
    const std::string settings = ReadFile(dir / "host.ini");
    const std::string keys = "[Bureau-UR]\r\nResource=" + archive.string() + "\r\nLocation=Local\r\n";
    EXPECT_EQ(settings.substr(0, keys.size()), keys) << settings;
    EXPECT_NE(settings.find("\r\nLastArchive="), std::string::npos) << settings;
}

// A read-me or a picture beside the lists is no list: each is named as such and passed over, every list
// is read, and the run succeeds. A list whose header stands after some bytes is still a list.
TEST_F(UpdateRunTest, EntriesThatAreNoPdfArePassedOverAndTheListsRead) {
    const fs::path readme = dir / "00-readme.txt", photo = dir / "photo.jpg", late = dir / "late.pdf";
    WriteFile(readme, "These lists are of UR5ABC's bureau.\n");
    WriteFile(photo, std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(3000, '\x7F'));
    WriteFile(late, std::string(600, ' ') + "\n" + ReadFile(pdfB));
    const fs::path archive = dir / "lists.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(archive, {readme, pdfA, photo, late}));
    ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
    const auto skipped = [&](const std::string& name, const fs::path& file) {
        return Parsing(name, file) + "      \"" + name + "\" is not a PDF list: skipped\n";
    };
    ExpectMemo("* Use: " + archive.string() + "\n" + skipped("00-readme.txt", readme) + ListA() +
                   skipped("photo.jpg", photo) + Parsing("late.pdf", late) +
                   "      Found 3, updated 2 callsigns\n",
               "Files:4, Tot:7, Upd:4");
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(LastLog().rfind("Exec: " + std::string(kCaption) + ", Files:4, Tot:7, Upd:4 (", 0) == 0)
        << LastLog();
    EXPECT_EQ(commands.size(), 1u) << "REFRESH";
    EXPECT_TRUE(form->Presenter().IsUpdateDone());
    EXPECT_EQ(callbook->Count({}, true), 3);
    EXPECT_TRUE(FileNames(download).empty());
}

// Every RAR 4 archive's file entries are counted in archive order, with their real names and sizes;
// folders and links are passed over. Their entries are plain text, no PDF lists: each is named as such
// and the run goes on to the next.
TEST_F(UpdateRunTest, Rar4ArchivesAreReadToTheEnd) {
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
            start += "   Parsing " + name + " (" + std::to_string(size) + " bytes)\n" + "      \"" + name +
                     "\" is not a PDF list: skipped\n";
            marks += '>';
        }
        start += "   The archive \"" + archive + "\" holds no lists\n";
        ASSERT_NO_FATAL_FAILURE(Run(1, archive));
        ExpectMemo(start, "Files:" + std::to_string(c.files.size()) + ", Tot:0, Upd:0");
        EXPECT_EQ(w.psInfo->text().toStdString(), marks);
        EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + archive + " failed.");
        EXPECT_TRUE(FileNames(download).empty());
    }
    EXPECT_TRUE(messages.empty());

    // An archive whose file ends inside its only entry's data: nothing of it is converted, and the run
    // ends through its error path saying why (more cuts in RunFailureTest).
    std::string cut;
    ASSERT_NO_FATAL_FAILURE(Fixture("rar4/rar_invalid1.rar", cut));
    ASSERT_NO_FATAL_FAILURE(Run(1, cut));
    EXPECT_EQ(Memo(), "* Use: " + cut + "\n   Parsing test (3 bytes)\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Error");
    EXPECT_EQ(QString::fromStdU16String(messages[0].second).toStdString(),
              "The archive \"" + cut + "\" is cut short: none of its lists could be read");
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    EXPECT_TRUE(commands.empty());
}

// Archives as rar writes them: solid, holding only a folder (cut ones in RunFailureTest).
TEST_F(UpdateRunTest, Rar5ArchivesOfEveryShape) {
    fs::create_directories(dir / "emptydir");
    const fs::path solid = dir / "solid.rar", folderOnly = dir / "folder.rar";
    ASSERT_NO_FATAL_FAILURE(Rar(solid, {pdfA, pdfB}, {"-s"}));
    ASSERT_NO_FATAL_FAILURE(Rar(folderOnly, {dir / "emptydir"}));

    ASSERT_NO_FATAL_FAILURE(Run(1, solid.string()));
    ExpectMemo("* Use: " + solid.string() + "\n" + ListA() + ListB(), "Files:2, Tot:7, Upd:4");
    EXPECT_EQ(commands.size(), 1u);

    ASSERT_NO_FATAL_FAILURE(Run(1, folderOnly.string()));
    ExpectMemo("* Use: " + folderOnly.string() + "\n   The archive \"" + folderOnly.string() +
                   "\" holds no lists\n",
               "Files:0, Tot:0, Upd:0");
    EXPECT_EQ(LastLog(), "Exec: " + std::string(kCaption) + ", " + folderOnly.string() + " failed.");
    EXPECT_TRUE(messages.empty());
}

// A multi-volume archive (rar -v) is read from its first part through the others. Given a later part,
// the set is read from its first part when that lies beside it, and the memo says so; the old names
// (NAME.rar, NAME.r00...), which rar 7 no longer writes, are the same parts renamed.
TEST_F(UpdateRunTest, AMultiVolumeArchiveIsReadFromItsFirstPart) {
    fs::create_directories(dir / "set");
    fs::create_directories(dir / "old");
    ASSERT_NO_FATAL_FAILURE(Rar(dir / "set" / "lists.rar", {pdfA, pdfB}, {"-m0", "-v6k"}));
    int parts = 0;
    for (; fs::exists(dir / "set" / ("lists.part" + std::to_string(parts + 1) + ".rar")); ++parts)
        fs::copy_file(dir / "set" / ("lists.part" + std::to_string(parts + 1) + ".rar"),
                      dir / "old" / (parts == 0 ? "lists.rar" : "lists.r0" + std::to_string(parts - 1)));
    ASSERT_GE(parts, 3);
    const auto firstPart = [](const fs::path& source, const std::string& first) {
        return "   The archive \"" + source.string() +
               "\" is part 2 of a multi-volume archive: it is read from its first part, " + first + "\n";
    };
    const struct {
        const char* name;
        fs::path source;
        std::string note; // the memo's line before the lists
    } cases[] = {
        {"first part", dir / "set" / "lists.part1.rar", ""},
        {"second part", dir / "set" / "lists.part2.rar",
         firstPart(dir / "set" / "lists.part2.rar", "lists.part1.rar")},
        {"old names, second part", dir / "old" / "lists.r00",
         firstPart(dir / "old" / "lists.r00", "lists.rar")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        commands.clear();
        w.edSource->clear();
        ASSERT_NO_FATAL_FAILURE(Run(1, c.source.string()));
        ExpectMemo("* Use: " + c.source.string() + "\n" + c.note + ListA() + ListB(),
                   "Files:2, Tot:7, Upd:4");
        EXPECT_EQ(commands.size(), 1u);
        EXPECT_TRUE(form->Presenter().IsUpdateDone());
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(FileNames(download).empty());
}

// A list published as a bare PDF, local or downloaded, whatever its name, is read as an archive of that
// one list named as the file, or as the last segment of the address: the memo lines and counts of the
// same list in an archive (ListA).
TEST_F(UpdateRunTest, AListPublishedAsABarePdfIsReadAsAnArchiveOfOne) {
    fs::create_directories(dir / "bare");
    fs::create_directories(dir / "www");
    fs::copy_file(pdfA, dir / "bare" / "a.pdf");
    fs::copy_file(pdfA, dir / "bare" / "Список.pdf");
    fs::copy_file(pdfA, dir / "bare" / "members_upd2604.rar");
    fs::copy_file(pdfA, dir / "www" / "a.pdf");
    fs::copy_file(pdfA, dir / "www" / "members.rar");
    // Readers take a header anywhere in the first KiB: here after a mail program's lines.
    const fs::path late = dir / "bare" / "late.rar";
    WriteFile(late, "From: UR5ABC\r\nSubject: members\r\n\r\n" + ReadFile(pdfA));
    TestServer server(dir / "www");
    const struct {
        int location;
        std::string source, name;
        fs::path list;
    } cases[] = {
        {1, (dir / "bare" / "a.pdf").string(), "a.pdf", pdfA},
        {1, (dir / "bare" / "Список.pdf").string(), "Список.pdf", pdfA},
        {1, (dir / "bare" / "members_upd2604.rar").string(), "members_upd2604.rar", pdfA},
        {0, server.Url("/files/a.pdf"), "a.pdf", pdfA},
        {0, server.Url("/files/members.rar"), "members.rar", pdfA},
        {1, late.string(), "late.rar", late},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        commands.clear();
        w.edSource->clear();
        ASSERT_NO_FATAL_FAILURE(Run(c.location, c.source));
        ExpectMemo("* Use: " + c.source + "\n" + Parsing(c.name, c.list) +
                       "      Found 4, updated 2 callsigns\n",
                   "Files:1, Tot:4, Upd:2");
        EXPECT_EQ(commands.size(), 1u) << "REFRESH";
        EXPECT_TRUE(form->Presenter().IsUpdateDone());
        EXPECT_TRUE(FileNames(download).empty());
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(ReadFile(dir / "bare" / "a.pdf") == ReadFile(pdfA)) << "a local source is never touched";

    // A file named as a PDF that is no RAR archive is taken for the list it claims to be, and the
    // converter says what is wrong with it.
    const fs::path notes = dir / "bare" / "notes.pdf";
    WriteFile(notes, "UR5ABC is in these notes, but they are no PDF\n");
    ASSERT_NO_FATAL_FAILURE(Run(1, notes.string()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              std::make_pair(u"Error"s, u"1 of 1 list could not be read: notes.pdf (not a PDF)"s));
    EXPECT_NE(Memo().find("   Parsing notes.pdf ("), std::string::npos) << Memo();
    EXPECT_NE(Memo().find("      Cannot convert \"notes.pdf\" to text: it is not a PDF"), std::string::npos);
}

TEST(SourceFileNameTest, TheNameTheUserKnowsTheSourceBy) {
    const struct {
        std::u16string source;
        bool address;
        std::u16string name;
    } cases[] = {
        {u"/home/ur5abc/Списки/members.rar", false, u"members.rar"},
        {u"members.pdf", false, u"members.pdf"},
        {u"http://uarl.org.ua/files/members_upd2604.rar", true, u"members_upd2604.rar"},
        {u"https://example.org/lists/%D0%A1%D0%BF%D0%B8%D1%81%D0%BE%D0%BA%20UR.pdf?download=1#top", true,
         u"Список UR.pdf"},
        {u"http://example.org", true, u""},
        {u"http://example.org/lists/", true, u""},
        {u"/no/such/host/members.rar", true, u"members.rar"},
        {u"http://example.org/100%.pdf", true, u"100%.pdf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SourceFileName(c.source, c.address), c.name) << StringToUtf8(c.source);
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
        std::string hint; // the memo's line after each list's counts
    } cases[] = {
        {"utf16le", "{ printf '\\377\\376'; iconv -f UTF-8 -t UTF-16LE; }", 4, 3, 4, ""},
        {"utf16be", "{ printf '\\376\\377'; iconv -f UTF-8 -t UTF-16BE; }", 4, 3, 4, ""},
        {"utf8bom", "{ printf '\\357\\273\\277'; cat; }", 4, 3, 4, ""},
        {"crlf", "sed 's/$/\\r/'", 4, 3, 4, ""},
        {"cr", "tr '\\n' '\\r'", 4, 3, 4, ""},
        // The first byte is left of the first character, or nothing.
        {"utf16le-nomark", "iconv -f UTF-8 -t UTF-16LE", 0, 0, 0, "holds no callsigns"},
        {"utf16be-nomark", "iconv -f UTF-8 -t UTF-16BE", 0, 0, 0, "has no text (a scanned image?)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path script =
            Converter(c.name, "pdftotext \"$1\" - | " + std::string(c.recode) + " > \"$2\"");
        ScopedEnv converter("ZARBEX_PDFTOTEXT", script.c_str());
        const int updatesBefore = host->CallCount("IHostServer.ExecSQL");
        w.edSource->clear(); // the same source again, given anew after a successful run
        ASSERT_NO_FATAL_FAILURE(Run(1, archive.string()));
        const auto entry = [&c](const std::string& name, int found, int updated) {
            return "      Found " + std::to_string(found) + ", updated " + std::to_string(updated) +
                   " callsigns\n" +
                   (c.hint.empty() ? "" : "      The list \"" + name + "\" " + c.hint + "\n");
        };
        const int updatedA = c.updated == 0 ? 0 : 2;
        ExpectMemo("* Use: " + archive.string() + "\n" + Parsing("a.pdf", pdfA) +
                       entry("a.pdf", c.foundA, updatedA) + Parsing("b.pdf", pdfB) +
                       entry("b.pdf", c.foundB, c.updated - updatedA),
                   "Files:2, Tot:" + std::to_string(c.foundA + c.foundB) +
                       ", Upd:" + std::to_string(c.updated));
        // UR5ABC, UT2XY and UR7QQ, each once in the run
        EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, c.updated == 0 ? 0 : 3);
    }
    EXPECT_TRUE(messages.empty());
}

// Every occurrence of a callsign is counted, also twice on one line, while the host is asked once per
// distinct word and updates each callsign once; words are upper-cased before the lookup, and a word with
// punctuation is no callsign.
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
    EXPECT_EQ(host->CallCount("IHostServer.Locate") - lookupsBefore, 4 + 2)
        << "each distinct word on the callbook's query, and each callsign marked once on the query of the "
           "entries marked before";
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL") - updatesBefore, 2);
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
