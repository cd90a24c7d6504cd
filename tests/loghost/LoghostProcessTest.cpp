// The loghost program as scripts use it: run as a child process with its own configuration folder.
#include "Host/Callbook.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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
        run.out = Read(out);
        run.err = Read(err);
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
    EXPECT_NE(Read(ConfigFolder() / "loghost.log").find("Plug-in Zarbex.ext loaded"), std::string::npos);
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
    const std::string logged = Read(log);
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
    EXPECT_NE(run.out.find("get data: disabled\n"), std::string::npos) << run.out;
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
        EXPECT_EQ(Sql(callbook, "SELECT group_concat(omcall, ' ') FROM (SELECT omcall FROM callbook WHERE "
                                "use_bureau ORDER BY omcall)"),
                  "EM0ENH US7YM");
        EXPECT_EQ(Sql(callbook, userData), before);
        EXPECT_EQ(Sql(callbook, "PRAGMA journal_mode"), "delete") << "the file keeps its own journal mode";
    }
}

TEST_F(LoghostProcess, InvokeWithoutACallbookFails) {
    // A database of another program: the host cannot use it as its callbook and leaves it as it is.
    const fs::path other = home_ / "other.db";
    Callbook(other.string()).ExecSQL("DROP TABLE CALLBOOK");
    const auto before = fs::file_size(other);
    const Outcome run =
        Loghost(std::string("--headless --invoke '") + kCaption + "' --location local --source '" +
                (home_ / "missing.rar").string() + "' --callbook '" + other.string() + "' --download '" +
                (home_ / "dl").string() + "'");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("holds no table CALLBOOK"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("error: no callbook is open"), std::string::npos) << run.out;
    EXPECT_EQ(fs::file_size(other), before);
}

// A script learns from the exit status how the command ended, and reads the same in the help.
TEST_F(LoghostProcess, InvokeExitStatusTellsHowTheRunEnded) {
    const fs::path emptyFolder = home_ / "empty";
    fs::create_directories(emptyFolder);
    const fs::path demoCallbook = home_ / "demo.db";
    fs::copy_file(DEMO_DIR "/callbook.db", demoCallbook);
    const std::string archive = DEMO_DIR "/members_demo.rar";
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
        {"the UnRAR library missing",
         "--location local --source '" + archive + "' --app-path '" + emptyFolder.string() + "'", 3,
         "message: UnRAR component needed: Not found library for RAR archive unpacking:\n"},
        {"an address that cannot be fetched", "--location internet --source '/no/such/host/members.rar'", 3,
         "message: Error: Resource open error: /no/such/host/members.rar\n"},
        {"\"Get data\" disabled", "--location local --source '" + (home_ / "missing.rar").string() + "'", 2,
         "get data: disabled\n"},
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

} // namespace
