// The update run on its own, with no window toolkit in the process: a recording progress interface, the
// host's side of the boundary, a real SQLite callbook and real archives made by rar. The entries are
// plain text already, so a stand-in converter copies them.
#include "Host/Callbook.h"
#include "Host/HostServices.h"
#include "Plugins/Zarbex/GuardHandler.h"
#include "Plugins/Zarbex/uZarbexRun.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr char kListsDay[] = "2025-03-14";

struct RunTest : ::testing::Test {
    TempDir temp;
    fs::path dir = temp.Path();
    fs::path download = dir / "download";
    fs::path app = dir / "app";
    ComPtr<HostServices> host = HostServices::Create();
    std::unique_ptr<Callbook> callbook;
    RecordingProgress progress;
    std::optional<ScopedEnv> converter;

    void SetUp() override {
        fs::create_directories(download);
        fs::create_directories(app);
        fs::create_symlink(UNRAR_LIBRARY, app / "UnRAR.dll");
        host->SetVariable(u"DOWNLOAD", download.u16string());
        host->SetVariable(u"APPPATH", app.u16string());
        host->SetVariable(u"APPNAME", u"LogHost");
        callbook = std::make_unique<Callbook>(dir / "callbook.db");
        host->SetCallbook(callbook.get());
        for (const char* call : {"UR5ABC", "UT2XY"})
            callbook->ExecSQL(std::string("INSERT INTO CALLBOOK (OMCALL, DXCCPFX) VALUES ('") + call +
                              "', 'UR')");
        const fs::path script = dir / "copy.sh";
        WriteFile(script, "#!/bin/sh\ncp -- \"$1\" \"$2\"\n");
        fs::permissions(script, fs::perms::owner_all);
        converter.emplace("ZARBEX_PDFTOTEXT", script.c_str());
    }

    // A RAR 5 archive of the given lists, each a text of lines written on the day kListsDay.
    fs::path Archive(const std::vector<std::pair<std::string, std::string>>& lists) {
        const fs::path archive = dir / "lists.rar";
        std::string command = std::string(RAR_PROGRAM) + " a -ep1 -idq " + archive.string();
        for (const auto& [name, text] : lists) {
            WriteList(dir / name, text);
            command += " " + (dir / name).string();
        }
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return archive;
    }
    // A list written on the day kListsDay.
    static void WriteList(const fs::path& path, const std::string& text) {
        WriteFile(path, text);
        const std::string touch = "touch -d '" + std::string(kListsDay) + " 12:00' " + path.string();
        EXPECT_EQ(std::system(touch.c_str()), 0) << touch;
    }
    TUpdateRun Run() {
        return TUpdateRun(ComPtr<IHostKernel>(host.get()), ComPtr<IHostServer>(host.get()), progress,
                          u"Get Bureau users info (Ukraine)");
    }
};

} // namespace

TEST_F(RunTest, ReportsEveryEntryLineByLineAndFramesTheRun) {
    const std::string listA = "1 UR5ABC Ivan\n2 UR3NEW Oleg\n3 UT2XY Petro\n4 nothing\n";
    const fs::path archive = Archive({{"a.pdf", listA}, {"b.pdf", "UR5ABC\n"}});
    TUpdateRun run = Run();
    ASSERT_TRUE(run.CheckComponents(SourceLocation::Local, Utf8ToString(archive.string())));
    EXPECT_TRUE(run.Execute(SourceLocation::Local, Utf8ToString(archive.string())));

    ASSERT_GE(progress.calls.size(), 4u);
    const std::string done = progress.calls[progress.calls.size() - 4];
    const std::string dated = "memo 1 Lists dated " + std::string(kListsDay) + " /";
    EXPECT_EQ(done.rfind("memo 0 * Done. Files:2, Tot:4, Upd:3 (00:00:0", 0), 0u) << done;
    std::vector<std::string> expected = {
        "busy", "clear memo", "lock", "memo 0 * Use: " + archive.string() + " /", dated, "clear marks",
        // the first list: one progress step per line, then its counts, then the bar back at 0
        "memo 1 Parsing a.pdf (" + std::to_string(listA.size()) + " bytes) /", ">", "progress 0",
        "progress 0.25", "progress 0.5", "progress 0.75", "memo 2 Found 3, updated 2 callsigns /",
        "progress 0",
        // the second list
        "memo 1 Parsing b.pdf (7 bytes) /", ">", "progress 0", "memo 2 Found 1, updated 1 callsigns /",
        "progress 0",
        // what the run changed, before the summary
        "memo 1 Marked for the first time: 2 (UR5ABC, UT2XY) /", "memo 1 Not in the callbook: 1 (UR3NEW) /",
        done, "progress 0", "unlock", "not busy"};
    EXPECT_EQ(progress.calls, expected);
    EXPECT_GT(progress.breaths, 0) << "the window breathes during the run";
    EXPECT_EQ(host->LogLines().size(), 1u);
    EXPECT_EQ(callbook->Count({}, true), 2);
}

TEST_F(RunTest, ARunThatRaisesStillUnlocksTheWindow) {
    const fs::path archive = Archive({{"a.pdf", "UR5ABC UT2XY\n"}});
    host->Faults().failing["IHostServer.ExecSQL"] = {E_FAIL, u"callbook locked", 1};
    TUpdateRun run = Run();
    EXPECT_THROW(run.Execute(SourceLocation::Local, Utf8ToString(archive.string())), EOleException);
    ASSERT_GE(progress.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(progress.calls.begin(), progress.calls.begin() + 3),
              (std::vector<std::string>{"busy", "clear memo", "lock"}));
    EXPECT_EQ(std::vector<std::string>(progress.calls.end() - 2, progress.calls.end()),
              (std::vector<std::string>{"unlock", "not busy"}));
    for (const std::string& call : progress.calls)
        EXPECT_EQ(call.find("* Done."), std::string::npos) << "no summary after an error";
    EXPECT_TRUE(host->LogLines().empty());
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"))
        << "every query made is freed";
    EXPECT_EQ(callbook->Count({}, true), 1) << "the update made before the error stays";
}

TEST_F(RunTest, MissingUnRARIsReportedAndNothingStarts) {
    fs::remove(app / "UnRAR.dll");
    TUpdateRun run = Run();
    EXPECT_FALSE(run.CheckComponents(SourceLocation::Local, u"lists.rar"));
    EXPECT_TRUE(progress.calls.empty());
    EXPECT_EQ(host->CallCount("IHostKernel.ShowMessage"), 1);
}

// The processes whose command line names something in folder.
std::vector<std::string> ProcessesIn(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& process : fs::directory_iterator("/proc")) {
        std::ifstream in(process.path() / "cmdline", std::ios::binary);
        const std::string command{std::istreambuf_iterator<char>(in), {}};
        if (command.find(folder.string()) != std::string::npos)
            found.push_back(process.path().filename().string() + ": " + command);
    }
    return found;
}

// A run that ends early ends the converters it started ahead and leaves none of their files, nor those of
// the entry whose turn it was.
TEST_F(RunTest, AnEarlyEndStopsTheConvertersStartedAhead) {
    const fs::path script = dir / "slow.sh";
    // The first list converts at once, the others never end (and name their list while they run).
    WriteFile(script, "#!/bin/sh\ncase \"$1\" in *File0001.pdf) ;; *) tail -f \"$1\" >/dev/null ;; esac\n"
                      "cp -- \"$1\" \"$2\"\n");
    fs::permissions(script, fs::perms::owner_all);
    ScopedEnv slow("ZARBEX_PDFTOTEXT", script.c_str());
    ScopedEnv three(TUpdateRun::ConvertersVariable, "3");
    const fs::path archive = Archive({{"a.pdf", "UR5ABC\n"}, {"b.pdf", "UT2XY\n"}, {"c.pdf", "UT2XY\n"}});
    host->Faults().failing["IHostServer.ExecSQL"] = {E_FAIL, u"callbook locked", 0};

    TUpdateRun run = Run();
    EXPECT_THROW(run.Execute(SourceLocation::Local, Utf8ToString(archive.string())), EOleException);

    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(download))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, std::vector<std::string>{});
    // A killed converter's own children take a moment to go; one left running would stay.
    std::vector<std::string> running = ProcessesIn(download);
    for (int i = 0; i < 250 && !running.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        running = ProcessesIn(download);
    }
    EXPECT_EQ(running, std::vector<std::string>{}) << "no converter is left running";
}

// An entry that cannot be extracted ends the run at its turn, once the entries before it are fully
// processed: the error names the entry and the reason, nothing after it is taken out of the archive,
// and no converter or working file is left behind.
TEST_F(RunTest, AnExtractionFailureEndsTheRunAtItsEntry) {
    ScopedEnv three(TUpdateRun::ConvertersVariable, "3");
    const std::string secondList = "UT2XY second list, stored as it is\n";
    WriteList(dir / "a.pdf", "UR5ABC\n");
    WriteList(dir / "b.pdf", secondList);
    WriteList(dir / "c.pdf", "UT2XY\n");
    const struct {
        const char* name;
        const char* secondSwitches; // how the second list is added
        std::function<void(const fs::path&)> spoil;
        std::string message;
    } cases[] = {
        {"encrypted", "-psecret", nullptr,
         "Cannot extract \"b.pdf\" from the archive: it is encrypted (protected by a password)"},
        {"damaged data", "-m0",
         [&](const fs::path& archive) {
             // Stored, the list's bytes stand in the archive as they are: one of them changed is a CRC error.
             std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
             const std::string bytes{std::istreambuf_iterator<char>(file), {}};
             const std::size_t at = bytes.find("stored as it is");
             ASSERT_NE(at, std::string::npos);
             file.seekp(static_cast<std::streamoff>(at));
             file.put('S');
         },
         "Cannot extract \"b.pdf\" from the archive: the data is damaged or cut short (CRC error)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path archive = dir / (std::to_string(&c - cases) + ".rar");
        for (const auto& [list, switches] :
             {std::pair<std::string, std::string>{"a.pdf", ""}, {"b.pdf", c.secondSwitches}, {"c.pdf", ""}}) {
            const std::string command = std::string(RAR_PROGRAM) + " a -ep1 -idq " + switches + " " +
                                        archive.string() + " " + (dir / list).string();
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
        if (c.spoil)
            c.spoil(archive);
        callbook->ExecSQL("UPDATE CALLBOOK SET Use_BUREAU = FALSE");
        progress.calls.clear();

        TUpdateRun run = Run();
        try {
            run.Execute(SourceLocation::Local, Utf8ToString(archive.string()));
            ADD_FAILURE() << "the run ended without an error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }

        EXPECT_EQ(progress.calls,
                  (std::vector<std::string>{
                      "busy", "clear memo", "lock", "memo 0 * Use: " + archive.string() + " /",
                      "memo 1 Lists dated " + std::string(kListsDay) + " /", "clear marks",
                      "memo 1 Parsing a.pdf (7 bytes) /", ">", "progress 0",
                      "memo 2 Found 1, updated 1 callsigns /", "progress 0",
                      "memo 1 Parsing b.pdf (" + std::to_string(secondList.size()) + " bytes) /", ">",
                      "unlock", "not busy"}));
        EXPECT_EQ(callbook->Count({}, true), 1) << "the first list's update stays";
        EXPECT_TRUE(host->LogLines().empty());
        EXPECT_TRUE(fs::is_empty(download)) << "nothing of the second and third lists is left";
        EXPECT_EQ(ProcessesIn(download), std::vector<std::string>{}) << "no converter is left running";
    }
}

// A header the library cannot read ends the run with an error too, naming the last entry it could read:
// no summary claims the archive was read to its end.
TEST_F(RunTest, AHeaderThatCannotBeReadEndsTheRunWithAnError) {
    const fs::path archive = Archive({{"a.pdf", "UR5ABC\n"}, {"b.pdf", "UT2XY\n"}});
    // The second list's name stands in its header, which a checksum guards; the library reports the
    // broken header when it reads on after it.
    std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    const std::size_t at = bytes.find("b.pdf");
    ASSERT_NE(at, std::string::npos);
    file.seekp(static_cast<std::streamoff>(at));
    file.put('B');
    file.close();

    TUpdateRun run = Run();
    try {
        run.Execute(SourceLocation::Local, Utf8ToString(archive.string()));
        ADD_FAILURE() << "the run ended without an error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot read the archive past \"B.pdf\": the data is damaged or cut short (CRC error)");
    }
    for (const std::string& call : progress.calls)
        EXPECT_EQ(call.find("* Done."), std::string::npos) << "no summary after an error";
    EXPECT_TRUE(host->LogLines().empty());
    EXPECT_TRUE(fs::is_empty(download));
}

TEST(ElapsedTextTest, DropsMillisecondsAndCountsHoursModulo24) {
    const struct {
        std::uint32_t milliseconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},          {999, "00:00:00"},        {59'999, "00:00:59"},    {61'000, "00:01:01"},
        {187'500, "00:03:07"},    {3'599'999, "00:59:59"},  {3'600'000, "01:00:00"}, {86'399'999, "23:59:59"},
        {86'400'000, "00:00:00"}, {90'061'000, "01:01:01"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StringToUtf8(ElapsedText(c.milliseconds)), c.text) << c.milliseconds;
}

// An archive that cannot be obtained: the user is told which source, the log says the run failed, and
// nothing of a run is written to the memo.
TEST_F(RunTest, ASourceThatCannotBeOpenedIsReported) {
    std::vector<std::pair<std::u16string, std::u16string>> messages;
    HostServices::Backend backend;
    backend.showMessage = [&](const std::u16string& t, const std::u16string& c) {
        messages.emplace_back(c, t);
    };
    host = HostServices::Create(backend);
    host->SetVariable(u"DOWNLOAD", download.u16string());
    host->SetVariable(u"APPPATH", app.u16string());
    host->SetCallbook(callbook.get());
    const std::u16string missing = Utf8ToString((dir / "no such.rar").string());

    TUpdateRun run = Run();
    EXPECT_FALSE(run.Execute(SourceLocation::Local, missing));

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, u"Error");
    EXPECT_EQ(messages[0].second, u"Resource open error: " + missing);
    EXPECT_EQ(host->LogLines(), std::vector<std::u16string>{u"Exec: Get Bureau users info (Ukraine), " +
                                                            missing + u" failed."});
    for (const std::string& call : progress.calls)
        EXPECT_EQ(call.rfind("memo", 0), std::string::npos) << call;
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"))
        << "every query made is freed";
    EXPECT_EQ(host->CallCount("IHostKernel.SetValue"), 0) << "no REFRESH";
}

// An address needs the two secure-connection libraries when "HTTPS://" stands anywhere in it, in any
// case; a local path never does, and UnRAR is looked for only once they are there.
TEST_F(RunTest, SecureConnectionLibrariesAreNeededForHttpsAnywhere) {
    const struct {
        SourceLocation location;
        std::u16string source;
        bool needsOpenSsl;
    } cases[] = {
        {SourceLocation::Internet, u"https://x/lists.rar", true},
        {SourceLocation::Internet, u"hTTpS://x/lists.rar", true},
        {SourceLocation::Internet, u"http://x/?mirror=HTTPS://y/lists.rar", true},
        {SourceLocation::Internet, u"  https://x/lists.rar", true},
        {SourceLocation::Internet, u"http://x/https/lists.rar", false},
        {SourceLocation::Local, u"/tmp/https://lists.rar", false},
    };
    const struct {
        bool libeay, ssleay;
    } installs[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& install : installs) {
        fs::remove(app / "libeay32.dll");
        fs::remove(app / "ssleay32.dll");
        if (install.libeay)
            WriteFile(app / "libeay32.dll", "");
        if (install.ssleay)
            WriteFile(app / "ssleay32.dll", "");
        for (const auto& c : cases) {
            const int before = host->CallCount("IHostKernel.ShowMessage");
            TUpdateRun run = Run();
            const bool missing = c.needsOpenSsl && !(install.libeay && install.ssleay);
            EXPECT_EQ(run.CheckComponents(c.location, c.source), !missing)
                << StringToUtf8(c.source) << " libeay " << install.libeay << " ssleay " << install.ssleay;
            EXPECT_EQ(host->CallCount("IHostKernel.ShowMessage") - before, missing ? 1 : 0);
        }
    }
    EXPECT_TRUE(progress.calls.empty());
}

// What a dialog's handler that fails shows, and where: the host's message box with the caption "Error",
// or, when the host cannot show it, whatever the dialog has of its own.
TEST(GuardHandlerTest, AFailureIsShownThroughTheHostOrElseHandedBack) {
    struct Case {
        const char* name;
        std::function<void()> handler;
        bool hostFails;
        std::u16string text; // what is shown; empty: nothing
    };
    const Case cases[] = {
        {"a success shows nothing", [] {}, false, u""},
        {"an exception shows its message", [] { throw EInOutError(u"Cannot read \"a.rar\": disk error"); },
         false, u"Cannot read \"a.rar\": disk error"},
        {"anything else is named as such", [] { throw 42; }, false,
         u"The command failed for a reason it could not name."},
        {"a host that cannot show it hands it back", [] { throw EInOutError(u"Cannot read \"a.rar\""); },
         true, u"Cannot read \"a.rar\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<std::u16string, std::u16string>> shown; // (text, caption)
        HostServices::Backend backend;
        backend.showMessage = [&](const std::u16string& text, const std::u16string& caption) {
            shown.emplace_back(text, caption);
        };
        ComPtr<HostServices> host = HostServices::Create(std::move(backend));
        if (c.hostFails)
            host->Faults().failing["IHostKernel.ShowMessage"] = {E_FAIL, u"no window"};
        std::vector<std::u16string> handedBack;
        GuardHandler(ComPtr<IHostKernel>(host.get()), c.handler,
                     [&](const UnicodeString& text) { handedBack.push_back(text); });
        if (c.text.empty()) {
            EXPECT_TRUE(shown.empty());
            EXPECT_TRUE(handedBack.empty());
        } else if (c.hostFails) {
            EXPECT_TRUE(shown.empty());
            EXPECT_EQ(handedBack, std::vector<std::u16string>{c.text});
        } else {
            EXPECT_EQ(shown, (std::vector<std::pair<std::u16string, std::u16string>>{{c.text, u"Error"}}));
            EXPECT_TRUE(handedBack.empty());
        }
    }
    // No kernel at all: the dialog's own way, and without one nothing leaves the call either.
    std::vector<std::u16string> handedBack;
    GuardHandler(
        {}, [] { throw EInOutError(u"x"); }, [&](const UnicodeString& text) { handedBack.push_back(text); });
    EXPECT_EQ(handedBack, std::vector<std::u16string>{u"x"});
    GuardHandler({}, [] { throw EInOutError(u"x"); });
}
