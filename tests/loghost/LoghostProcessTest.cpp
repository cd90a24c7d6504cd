// The loghost program as scripts use it: run as a child process with its own configuration folder.
#include "Host/Callbook.h"
#include "Platform/QuantityText.h"
#include "TestServer.h"
#include "tests/support/BrokenPdfs.h"
#include "tests/support/BrokenRars.h"
#include "tests/support/Files.h"
#include "tests/support/FolderCondition.h"
#include "tests/support/RarNames.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kCaption[] = "Get Bureau users info (Ukraine)";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs SQL on the file through a connection of its own, as another program would; yields the first
// column of the last row as text.
std::string Sql(const fs::path& file, const std::string& sql) {
    sqlite3* raw = nullptr;
    sqlite3_open(file.c_str(), &raw);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    std::string last;
    auto keep = [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "NULL";
        return 0;
    };
    char* error = nullptr;
    if (sqlite3_exec(db.get(), sql.c_str(), keep, &last, &error) != SQLITE_OK) {
        last = std::string("error: ") + (error ? error : "?");
        sqlite3_free(error);
    }
    return last;
}

void Shell(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class LoghostProcess : public testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("loghost_process_" + std::to_string(getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_);
    }
    void TearDown() override { fs::remove_all(home_); }

    // Runs loghost with HOME and XDG_CONFIG_HOME inside the test's folder, so that its default files
    // land there. Arguments are paths and words without quotes of their own.
    Outcome Loghost(const std::string& arguments) {
        const fs::path out = home_ / "stdout.txt", err = home_ / "stderr.txt";
        const std::string command = "env -u QT_QPA_PLATFORM HOME='" + home_.string() + "' XDG_CONFIG_HOME='" +
                                    (home_ / "config").string() + "' '" LOGHOST_EXE "' " + arguments + " >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        const int raw = std::system(command.c_str());
        Outcome run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        run.out = ReadFile(out);
        run.err = ReadFile(err);
        return run;
    }
    fs::path ConfigFolder() const { return home_ / "config" / "LogHost"; }

    fs::path home_;
};

TEST_F(LoghostProcess, ListShowsThePluginBesideTheProgramWithItsMenuItem) {
    // No --plugins and no display: the plug-ins folder beside the program, the offscreen platform.
    const Outcome run = Loghost("--list");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const char* expected :
         {"plugin: Zarbex.ext\n", "  id: {6A1F3C52-D8E4-4B07-9E21-73C5B8A0F4D9}\n",
          "  name: Get Bureau users info (Ukraine)\n", "  version: 1.04.019 (1706)\n", "  category: 2\n",
          "  menu item: Get Bureau users info (Ukraine)\n",
          "    hint: Update information about Bureau users (Ukraine)\n", "    enabled: yes\n"})
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    EXPECT_EQ(run.out.find("skipped"), std::string::npos) << run.out;

    // The files nobody named live in the user's configuration folder; the callbook is made new.
    EXPECT_NE(ReadFile(ConfigFolder() / "loghost.log").find("Plug-in Zarbex.ext loaded"), std::string::npos);
    ASSERT_TRUE(fs::exists(ConfigFolder() / "callbook.db"));
    EXPECT_EQ(Callbook(ConfigFolder() / "callbook.db").Count(), 0);
}

TEST_F(LoghostProcess, FilesThatAreNoPluginsAreNamedAndSkipped) {
    const fs::path plugins = home_ / "plugins";
    fs::create_directories(plugins);
    std::ofstream(plugins / "bad.ext") << "not a library\n";
    fs::copy_file(OLEAUT32_LIBRARY, plugins / "other.ext"); // a real library without the entry export
    fs::copy_file(fs::path(LOGHOST_EXE).parent_path() / "plugins" / "Zarbex.ext", plugins / "Zarbex.ext");
    const fs::path log = home_ / "host.log";

    const Outcome run = Loghost("--list --plugins '" + plugins.string() + "' --log '" + log.string() + "'");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("skipped: bad.ext: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("skipped: other.ext: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("not a plug-in (no entry export)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("plugin: Zarbex.ext\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  menu item: Get Bureau users info (Ukraine)\n"), std::string::npos) << run.out;
    const std::string logged = ReadFile(log);
    EXPECT_NE(logged.find("Plug-in bad.ext skipped"), std::string::npos) << logged;
    EXPECT_NE(logged.find("Plug-in other.ext skipped"), std::string::npos) << logged;
}

TEST_F(LoghostProcess, WrongCommandsExitWithStatusTwo) {
    const struct {
        std::string arguments;
        std::string told; // on standard error
    } cases[] = {
        {"--headless --invoke 'No such command'",
         "no menu item \"No such command\"; the menu holds: \"" + std::string(kCaption) + "\""},
        {"--headless --invoke x --location disk", "--location must be internet or local"},
        {"--invoke x", "add --headless"},
        {"--list --unknown", "Unknown option 'unknown'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome run = Loghost(c.arguments + " --callbook '" + (home_ / "cb.db").string() + "'");
        EXPECT_EQ(run.status, 2) << run.out << run.err;
        EXPECT_NE(run.err.find(c.told), std::string::npos) << run.err;
    }
}

TEST_F(LoghostProcess, InvokeAnswersTheDialogAndClosesItWhenGetDataIsDisabled) {
    // A local source that does not exist leaves "Get data" disabled: the host says so and closes, and
    // the command could not run.
    const fs::path ini = home_ / "host.ini";
    const Outcome run =
        Loghost(std::string("--headless --invoke '") + kCaption + "' --location local --source '" +
                (home_ / "missing.rar").string() + "' --callbook '" + (home_ / "cb.db").string() +
                "' --ini '" + ini.string() + "' --download '" + (home_ / "dl").string() + "'");
    ASSERT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.out.find("get data: disabled (the local file \"" + (home_ / "missing.rar").string() +
                           "\" does not exist)\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("memo:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bureau flags: 0 of 0 callsigns\n"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::is_directory(home_ / "dl")); // the download folder is made for the plug-in
    EXPECT_FALSE(fs::exists(ini));               // nothing ran, so the dialog stored nothing
}

// Callbooks of other programs, with only the columns the plug-in needs or with others of their own:
// the demo's bureau lists set the flags of the Ukrainian stations they name, and nothing else changes.
TEST_F(LoghostProcess, InvokeUpdatesTheCallbookOfAnotherProgram) {
    // EM0ENH, US7YM and UX5AB are named by the demo's lists (demo/members_demo), UT0ZZZ is not;
    // UX5AB is not counted as Ukrainian here.
    const struct {
        const char* name;
        const char* schema;
        const char* rows;
    } cases[] = {
        {"three columns", "CREATE TABLE CALLBOOK (OMCALL TEXT, DXCCPFX TEXT, Use_BUREAU INTEGER)",
         "INSERT INTO CALLBOOK VALUES ('EM0ENH', 'UR', 0), ('US7YM', 'UR', 0), ('UX5AB', 'UA', 0), "
         "('UT0ZZZ', 'UR', 0)"},
        {"other columns",
         "CREATE TABLE callbook (omcall TEXT, dxccpfx TEXT, name TEXT, qth TEXT, use_bureau BOOLEAN)",
         "INSERT INTO callbook VALUES ('EM0ENH', 'UR', 'Ivan', 'Kharkiv', FALSE), ('US7YM', 'UR', "
         "'Viktor', 'Lviv', FALSE), ('UX5AB', 'UA', 'Volodymyr', 'Lviv', FALSE), ('UT0ZZZ', 'UR', NULL, "
         "NULL, FALSE)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path callbook = home_ / "users.db";
        fs::remove(callbook);
        ASSERT_EQ(Sql(callbook, std::string(c.schema) + "; " + c.rows), "");
        const std::string userData = "SELECT group_concat(omcall || '/' || dxccpfx, ' ') FROM callbook";
        const std::string before = Sql(callbook, userData);

        const Outcome run = Loghost(
            std::string("--headless --invoke '") + kCaption +
            "' --location local --source '" DEMO_DIR "/members_demo.rar' --callbook '" + callbook.string() +
            "' --ini '" + (home_ / "host.ini").string() + "' --download '" + (home_ / "dl").string() + "'");
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("bureau flags: 2 of 4 callsigns\n"), std::string::npos) << run.out << run.err;
        // The run's report is printed like any memo line.
        EXPECT_NE(run.out.find("Marked for the first time: 2 (EM0ENH, US7YM)\n"), std::string::npos)
            << run.out;
        EXPECT_EQ(Sql(callbook, "SELECT group_concat(omcall, ' ') FROM (SELECT omcall FROM callbook WHERE "
                                "use_bureau ORDER BY omcall)"),
                  "EM0ENH US7YM");
        EXPECT_EQ(Sql(callbook, userData), before);
        EXPECT_EQ(Sql(callbook, "PRAGMA journal_mode"), "delete") << "the file keeps its own journal mode";
    }
}

TEST_F(LoghostProcess, InvokeWithoutACallbookFails) {
    // A database of another program, or a file that is no database: the host cannot use it as its
    // callbook, leaves it as it is, and says which file and why on its output.
    const fs::path other = home_ / "other.db";
    Callbook(other.string()).ExecSQL("DROP TABLE CALLBOOK");
    const fs::path text = home_ / "notes.txt";
    std::ofstream(text, std::ios::binary) << "UR5ABC Kyiv\n";
    const struct {
        const char* name;
        fs::path file;
        std::string reason;
    } cases[] = {
        {"another program's database", other, "holds no table CALLBOOK"},
        {"no database", text, "file is not a database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = fs::file_size(c.file);
        const Outcome run =
            Loghost(std::string("--headless --invoke '") + kCaption + "' --location local --source '" +
                    (home_ / "missing.rar").string() + "' --callbook '" + c.file.string() + "' --download '" +
                    (home_ / "dl").string() + "'");
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        const std::size_t line =
            run.out.find("error: no callbook is open: Cannot open the callbook " + c.file.string() + ": ");
        ASSERT_NE(line, std::string::npos) << run.out;
        EXPECT_NE(run.out.find(c.reason, line), std::string::npos) << run.out;
        EXPECT_EQ(fs::file_size(c.file), before);
    }
}

// A script learns from the exit status how the command ended, and reads the same in the help.
TEST_F(LoghostProcess, InvokeExitStatusTellsHowTheRunEnded) {
    const fs::path emptyFolder = home_ / "empty";
    fs::create_directories(emptyFolder);
    const fs::path demoCallbook = home_ / "demo.db";
    fs::copy_file(DEMO_DIR "/callbook.db", demoCallbook);
    const std::string archive = DEMO_DIR "/members_demo.rar";
    const std::string junk = (home_ / "junk.rar").string(), page = (home_ / "page.rar").string();
    WriteFile(junk, "UR5ABC is in these notes, but they are no archive\n");
    WriteFile(page, "<html><body>Not found</body></html>\n");
    const struct {
        const char* name;
        std::string arguments;
        int status;
        std::string shown; // on standard output
    } cases[] = {
        {"a successful run",
         "--location local --source '" + archive + "' --callbook '" + demoCallbook.string() + "'", 0,
         "refresh\n"},
        {"a run that updates nothing", "--location local --source '" + archive + "'", 4, " failed.\n"},
        {"a file that is no archive", "--location local --source '" + junk + "'", 4,
         "Cannot open the archive \"" + junk + "\": the file is not a RAR archive, or it is damaged\n"},
        {"a web page", "--location local --source '" + page + "'", 4,
         "Cannot open the archive \"" + page + "\": the file is a web page, not a RAR archive\n"},
        {"the UnRAR library missing",
         "--location local --source '" + archive + "' --app-path '" + emptyFolder.string() + "'", 3,
         "message: UnRAR component needed: Not found library for RAR archive unpacking:\n"},
        {"an address that cannot be fetched", "--location internet --source '/no/such/host/members.rar'", 3,
         "message: Error: Resource open error: /no/such/host/members.rar\n"},
        {"\"Get data\" disabled", "--location local --source '" + (home_ / "missing.rar").string() + "'", 2,
         "get data: disabled (the local file \"" + (home_ / "missing.rar").string() + "\" does not exist)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome run = Loghost(std::string("--headless --invoke '") + kCaption + "' " + c.arguments +
                                    (c.arguments.find("--callbook") == std::string::npos
                                         ? " --callbook '" + (home_ / "cb.db").string() + "'"
                                         : std::string()) +
                                    " --download '" + (home_ / "dl").string() + "'");
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_NE(run.out.find(c.shown), std::string::npos) << run.out;
    }

    const Outcome help = Loghost("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* line : {"  0  the command ran to a successful end\n", "\n  1  the command failed",
                             "\n  2  the command could not run", "\n  3  the plug-in showed a message",
                             "\n  4  the run ended with a log line ending in \"failed.\""})
        EXPECT_NE(help.out.find(line), std::string::npos) << line << "\n" << help.out;
}

// Texts that came from outside (here the source the user typed, in the message and the log line) are
// printed with their control characters as U+FFFD: no escape sequence reaches the terminal.
TEST_F(LoghostProcess, HeadlessOutputCarriesNoControlCharacters) {
    const Outcome run = Loghost(
        std::string("--headless --invoke '") + kCaption +
        "' --location internet --source \"$(printf '/x\\033[31m\\033]0;title\\007.rar')\"" + " --callbook '" +
        (home_ / "cb.db").string() + "' --download '" + (home_ / "dl").string() + "'");
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("Resource open error: /x\uFFFD[31m\uFFFD]0;title\uFFFD.rar\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("/x\uFFFD[31m\uFFFD]0;title\uFFFD.rar failed.\n"), std::string::npos) << run.out;
    for (const char control : {'\x1b', '\x07', '\r'})
        EXPECT_EQ(run.out.find(control), std::string::npos) << int(control) << "\n" << run.out;
}

// Every way a run can fail, as a script sees it: a status other than 0, and a message that names what
// failed and why. Names from the archive reach the output without their control characters.
TEST_F(LoghostProcess, FailuresExitWithTheirStatusAndSayWhatFailedAndWhy) {
    const fs::path work = home_ / "work", download = home_ / "dl";
    fs::create_directories(work);
    fs::create_directories(download);
    // A list of two Ukrainian stations the callbook holds, a file that is no PDF, and a list too large
    // for a nearly full download folder.
    WriteFile(work / "list.txt", "1 UR5ABC Ivan Kyiv\n2 UT2XY Petro Lviv\n");
    Shell("'" FIXTUREGEN "' pdf '" + (work / "list.pdf").string() + "' --lines '" +
          (work / "list.txt").string() + "'");
    fs::copy_file(work / "list.pdf", work / "again.pdf");
    Shell("'" FIXTUREGEN "' pdf '" + (work / "scan.pdf").string() + "' --scan '" +
          (work / "list.txt").string() + "'");
    WriteFile(work / "words.txt", "Members of the QSL bureau\nThe list follows next month\n");
    Shell("'" FIXTUREGEN "' pdf '" + (work / "words.pdf").string() + "' --lines '" +
          (work / "words.txt").string() + "'");
    WriteFile(work / "notes.pdf", "UR5ABC is in these notes, but they are no PDF\n");
    WriteFile(work / "locked.pdf", PasswordProtectedPdf());
    WriteFile(work / "brotli.pdf", BrotliPdf());
    std::string noise(2 << 20, '\0');
    std::mt19937 random(5);
    for (char& c : noise)
        c = static_cast<char>(random());
    WriteFile(work / "big.pdf", noise);
    const fs::path callbook = home_ / "stations.db";
    {
        Callbook stations(callbook);
        stations.ExecSQL("INSERT INTO CALLBOOK (OMCALL, DXCCPFX) VALUES ('UR5ABC', 'UR'), ('UT2XY', 'UR')");
    }
    const auto archive = [&](const std::string& name, const std::string& switches,
                             const std::string& lists) -> std::string {
        const fs::path path = work / name;
        Shell("cd '" + work.string() + "' && '" RAR_PROGRAM "' a -idq " + switches + " '" + path.string() +
              "' " + lists);
        return path.string();
    };
    const std::string encrypted = archive("encrypted.rar", "-psecret", "list.pdf");
    const std::string headers = archive("headers.rar", "-hpsecret", "list.pdf");
    const std::string damaged = archive("damaged.rar", "-m0", "list.pdf");
    {
        // Stored, the list's bytes stand in the archive as they are: one changed is a CRC error.
        std::string bytes = ReadFile(damaged);
        const std::string list = ReadFile(work / "list.pdf");
        const std::size_t at = bytes.rfind(list.substr(list.size() / 2, 64));
        ASSERT_NE(at, std::string::npos);
        bytes[at] = static_cast<char>(~bytes[at]);
        WriteFile(damaged, bytes);
    }
    const std::string notes = archive("notes.rar", "", "list.pdf notes.pdf again.pdf");
    const std::string lists = archive("lists.rar", "", "list.pdf");
    const std::string unread = archive("unread.rar", "", "scan.pdf words.pdf");
    const std::string big = archive("big.rar", "", "big.pdf");
    const std::string locked = archive("locked.rar", "", "list.pdf locked.pdf");
    std::string wrongType = ReadFile(lists);
    ASSERT_TRUE(SpoilMainHeaderType(wrongType));
    const std::string spoilt = (work / "spoilt.rar").string();
    WriteFile(spoilt, wrongType);
    const fs::path named = work / "named";
    fs::create_directories(named);
    fs::copy_file(work / "list.pdf", named / "a\r\n- Done. Files:9\x1b[31m.pdf");
    const std::string names = (work / "names.rar").string();
    Shell("cd '" + named.string() + "' && '" RAR_PROGRAM "' a -idq '" + names + "' *");
    // A name that decodes to nothing, as another program than rar may store it.
    const std::string noName = archive("noname.rar", "-qo-", "list.pdf");
    {
        std::string bytes = ReadFile(noName);
        ASSERT_TRUE(MakeNameUndecodable(bytes, "list.pdf"));
        WriteFile(noName, bytes);
    }
    // Cut short: only its end-of-archive block is missing.
    const std::string cut = (work / "cut.rar").string();
    WriteFile(cut, ReadFile(lists).substr(0, fs::file_size(lists) - 8));
    // A multi-volume archive: its second part alone, and its first part without the second.
    const fs::path parts = work / "parts";
    fs::create_directories(parts / "second");
    fs::create_directories(parts / "first");
    Shell("cd '" + work.string() + "' && '" RAR_PROGRAM "' a -idq -m0 -v4k '" + (parts / "vol.rar").string() +
          "' list.pdf again.pdf");
    fs::copy_file(parts / "vol.part2.rar", parts / "second" / "vol.part2.rar");
    fs::copy_file(parts / "vol.part1.rar", parts / "first" / "vol.part1.rar");
    const std::string secondPart = (parts / "second" / "vol.part2.rar").string();
    const std::string firstPart = (parts / "first" / "vol.part1.rar").string();

    TestServer server(work);
    ClosedPort closed;
    const fs::path certificate = work / "cert.pem", key = work / "key.pem";
    Shell(std::string(OPENSSL_PROGRAM) + " req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1" +
          " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key.string() + "' -out '" +
          certificate.string() + "' 2>/dev/null");
    TestServer secure(work, TestServer::Tls{certificate, key});
    const ScopedEnv systemStore("CURL_CA_BUNDLE", nullptr);

    const std::string listSize = std::to_string(fs::file_size(work / "list.pdf"));
    const auto failed = [](const std::string& source) {
        return "message: Error: Resource open error: " + source + "\nlog: Exec: " + kCaption + ", " + source +
               " failed.\n";
    };
    const auto logFailed = [](const std::string& source) {
        return "log: Exec: " + std::string(kCaption) + ", " + source + " failed.\n";
    };
    using Kind = FolderCondition::Kind;
    const struct {
        const char* name;
        std::string location, source;
        std::optional<Kind> folder;
        int status;
        std::function<std::vector<std::string>()> shown; // on standard output, each somewhere
    } cases[] = {
        {"encrypted", "local", encrypted, std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"        Cannot extract \"list.pdf\" from the archive: it is "
                                             "encrypted (protected by a password)\n",
                                             "message: Error: 1 of 1 list could not be read: list.pdf "
                                             "(encrypted)\n",
                                             logFailed(encrypted)};
         }},
        {"a list with a password beside a good one", "local", locked, std::nullopt, 3,
         [&] {
             return std::vector<std::string>{
                 "     Parsing list.pdf (" + listSize + " bytes)\n        Found 2, updated 2 callsigns\n",
                 "message: Error: 1 of 2 lists could not be read: locked.pdf (password)\n", logFailed(locked),
                 "refresh\n", "bureau flags: 2 of 2 callsigns\n"};
         }},
        {"a bare PDF with a compression the converter lacks", "local", (work / "brotli.pdf").string(),
         std::nullopt, 3,
         [&] {
             return std::vector<std::string>{
                 "        Cannot convert \"brotli.pdf\" to text: it uses a "
                 "compression that the PDF converter cannot read (BrotliDecode)\n",
                 "message: Error: 1 of 1 list could not be read: brotli.pdf "
                 "(unsupported compression)\n"};
         }},
        {"main header damaged", "local", spoilt, std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"message: Error: Cannot read the archive's first entry: the "
                                             "archive is damaged (its headers do not match the file)\n",
                                             logFailed(spoilt)};
         }},
        {"headers encrypted", "local", headers, std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"message: Error: Cannot open the archive \"" + headers +
                                             "\": it is encrypted (protected by a password)\n"};
         }},
        {"damaged entry", "local", damaged, std::nullopt, 3,
         [] {
             return std::vector<std::string>{
                 "        Cannot extract \"list.pdf\" from the archive: the data is damaged or cut short "
                 "(CRC "
                 "error)\n",
                 "message: Error: 1 of 1 list could not be read: list.pdf (damaged)\n"};
         }},
        // Not an error: a file beside the lists that is no PDF is passed over.
        {"list, no PDF, list", "local", notes, std::nullopt, 0,
         [&] {
             return std::vector<std::string>{
                 "     Parsing list.pdf (" + listSize + " bytes)\n        Found 2, updated 2 callsigns\n",
                 "        \"notes.pdf\" is not a PDF list: skipped\n     Parsing again.pdf (", "refresh\n",
                 "bureau flags: 2 of 2 callsigns\n"};
         }},
        // Not an error: the lists are read and said to give nothing, and the run updated nothing.
        {"scanned list and list without callsigns", "local", unread, std::nullopt, 4,
         [&] {
             return std::vector<std::string>{"        The list \"scan.pdf\" has no text (a scanned image?)\n",
                                             "        The list \"words.pdf\" holds no callsigns\n",
                                             "log: Exec: " + std::string(kCaption) + ", " + unread +
                                                 " failed.\n"};
         }},
        {"2 GiB entry", "local", HUGE_ARCHIVE, std::nullopt, 3,
         [] {
             return std::vector<std::string>{
                 "        Cannot extract from the archive: \"zeros.pdf\" unpacks to 2147483648 bytes "
                 "(2048 MiB), more than the limit of 268435456 bytes (256 MiB)\n",
                 "message: Error: 1 of 1 list could not be read: zeros.pdf (too large)\n"};
         }},
        {"read-only download folder", "local", lists, Kind::ReadOnly, 3,
         [&] {
             return std::vector<std::string>{
                 "message: Error: Cannot extract \"list.pdf\" from the archive into "
                 "\"" +
                 download.string() + "\": the output file cannot be created\n"};
         }},
        {"full download folder", "local", big, Kind::NearlyFull, 3,
         [&] {
             struct statvfs space {};
             EXPECT_EQ(statvfs(download.c_str(), &space), 0);
             return std::vector<std::string>{
                 "        Cannot extract from the archive: \"big.pdf\" "
                 "unpacks to 2097152 bytes (2 MiB), "
                 "more than the " +
                     ByteCountText(std::uint64_t{space.f_bavail} * space.f_frsize) + " free in \"" +
                     download.string() + "\"\n",
                 "message: Error: 1 of 1 list could not be read: big.pdf (too large)\n"};
         }},
        {"cut short", "local", cut, std::nullopt, 3,
         [&] {
             return std::vector<std::string>{
                 "     Parsing list.pdf (" + listSize + " bytes)\n        Found 2, updated 2 callsigns\n",
                 "message: Error: The archive \"" + cut +
                     "\" is cut short after \"list.pdf\": the lists after it were not read\n",
                 logFailed(cut), "refresh\n", "bureau flags: 2 of 2 callsigns\n"};
         }},
        {"second part alone", "local", secondPart, std::nullopt, 4,
         [&] {
             return std::vector<std::string>{
                 "     The archive \"" + secondPart +
                     "\" is part 2 of a multi-volume archive: choose its first part, "
                     "vol.part1.rar\n",
                 " failed.\n"};
         }},
        {"next part missing", "local", firstPart, std::nullopt, 3,
         [&] {
             return std::vector<std::string>{
                 "message: Error: Cannot extract \"list.pdf\" from the archive: the "
                 "next part vol.part2.rar is missing\n"};
         }},
        {"a bare PDF", "local", (work / "list.pdf").string(), std::nullopt, 0,
         [&] {
             return std::vector<std::string>{"     Parsing list.pdf (" + listSize +
                                                 " bytes)\n        Found 2, updated 2 callsigns\n",
                                             "refresh\n"};
         }},
        {"name that decodes to nothing", "local", noName, std::nullopt, 0,
         [&] {
             return std::vector<std::string>{"     Parsing (no readable name) (" + listSize + " bytes)\n",
                                             "refresh\n"};
         }},
        {"name with CR LF and ESC", "local", names, std::nullopt, 0,
         [&] {
             return std::vector<std::string>{"     Parsing a\uFFFD\uFFFD- Done. Files:9\uFFFD[31m.pdf (" +
                                                 listSize + " bytes)\n",
                                             "refresh\n"};
         }},
        {"web page sent with status 200", "internet", server.Url("/status/200"), std::nullopt, 4,
         [&] {
             return std::vector<std::string>{"     Cannot open the archive \"" + server.Url("/status/200") +
                                                 "\": the server sent a web page, not a RAR archive\n",
                                             " failed.\n"};
         }},
        {"HTTP 404", "internet", server.Url("/files/missing.rar"), std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"  * Download failed: HTTP/1.1 404 Not Found\n",
                                             failed(server.Url("/files/missing.rar"))};
         }},
        {"HTTP 500", "internet", server.Url("/status/500"), std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"  * Download failed: HTTP/1.1 500 Internal Server Error\n",
                                             failed(server.Url("/status/500"))};
         }},
        {"redirect", "internet", server.Url("/redirect"), std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"  * Download failed: HTTP/1.1 302 Found\n",
                                             failed(server.Url("/redirect"))};
         }},
        {"connection refused", "internet", closed.Url("/lists.rar"), std::nullopt, 3,
         [&] {
             return std::vector<std::string>{"  * Download failed: Failed to connect to 127.0.0.1 port ",
                                             failed(closed.Url("/lists.rar"))};
         }},
        {"self-signed certificate", "internet", secure.Url("/files/lists.rar"), std::nullopt, 3,
         [&] {
             return std::vector<std::string>{
                 "  * Download failed: SSL certificate problem: self-signed certificate\n",
                 failed(secure.Url("/files/lists.rar"))};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Callbook(callbook).ExecSQL("UPDATE CALLBOOK SET Use_BUREAU = FALSE");
        std::unique_ptr<FolderCondition> condition;
        if (c.folder && !(condition = FolderCondition::ForCase(c.name, *c.folder, download)))
            continue;
        const std::vector<std::string> shown = c.shown();
        const Outcome run = Loghost(std::string("--headless --invoke '") + kCaption + "' --location " +
                                    c.location + " --source '" + c.source + "' --callbook '" +
                                    callbook.string() + "' --download '" + download.string() + "'");
        condition.reset();
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        for (const std::string& line : shown)
            EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
        for (const char* hidden : {"\x1b", "\r", "File0", "~ar"})
            EXPECT_EQ(run.out.find(hidden), std::string::npos) << hidden << "\n" << run.out;
        std::uintmax_t left = 0;
        for (const auto& file : fs::directory_iterator(download))
            left += file.file_size();
        EXPECT_LT(left, 1u << 20) << "nothing large is left in the download folder";
        if (c.status == 0) {
            EXPECT_TRUE(fs::is_empty(download)) << "a finished run leaves no working file";
        }
        for (const auto& file : fs::directory_iterator(download))
            fs::remove(file.path());
    }
}

} // namespace
