// The update run on its own, with no window toolkit in the process: a recording progress interface, the
// host's side of the boundary, a real SQLite callbook and real archives made by rar. The entries are
// plain text behind a PDF's header line, so a stand-in converter copies them without that line.
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

// What makes a list's first KiB a PDF's; the stand-in converters leave this line out.
constexpr char kPdfHeader[] = "%PDF-1.4 stand-in\n";
constexpr char kDropHeader[] = "tail -n +2 -- \"$1\" > \"$2\"";

// The size of a list of the given text, as its "Parsing" line shows it.
std::string ListSize(const std::string& text) {
    return std::to_string(std::string(kPdfHeader).size() + text.size());
}

// The day the lists were written; rar keeps it.
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
        WriteFile(script, std::string("#!/bin/sh\n") + kDropHeader + "\n");
        fs::permissions(script, fs::perms::owner_all);
        converter.emplace("ZARBEX_PDFTOTEXT", script.c_str());
    }

    // A RAR 5 archive of the given lists, each a text of lines behind the header, written on kListsDay.
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
    // A list of text behind the header, written on the day kListsDay.
    static void WriteList(const fs::path& path, const std::string& text) {
        WriteFile(path, kPdfHeader + text);
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
    ASSERT_TRUE(run.CheckComponents({SourceLocation::Local, Utf8ToString(archive.string())}));
    EXPECT_TRUE(run.Execute({SourceLocation::Local, Utf8ToString(archive.string())}));

    ASSERT_GE(progress.calls.size(), 4u);
    const std::string done = progress.calls[progress.calls.size() - 4];
    EXPECT_EQ(done.rfind("memo 0 * Done. Files:2, Tot:4, Upd:3 (00:00:0", 0), 0u) << done;
    const std::string dated = "memo 1 Lists dated " + std::string(kListsDay) + " /";
    std::vector<std::string> expected = {
        "busy", "clear memo", "lock", "memo 0 * Use: " + archive.string() + " /", dated, "clear marks",
        // the first list: one progress step per line, then its counts, then the bar back at 0
        "memo 1 Parsing a.pdf (" + ListSize(listA) + " bytes) /", ">", "progress 0", "progress 0.25",
        "progress 0.5", "progress 0.75", "memo 2 Found 3, updated 2 callsigns /", "progress 0",
        // the second list
        "memo 1 Parsing b.pdf (" + ListSize("UR5ABC\n") + " bytes) /", ">", "progress 0",
        "memo 2 Found 1, updated 1 callsigns /", "progress 0",
        // what the run changed, before the summary
        "memo 1 Marked for the first time: 2 (UR5ABC, UT2XY) /", "memo 1 Not in the callbook: 1 (UR3NEW) /",
        done, "progress 0", "unlock", "not busy"};
    EXPECT_EQ(progress.calls, expected);
    EXPECT_GT(progress.breaths, 0) << "the window breathes during the run";
    EXPECT_EQ(host->LogLines().size(), 1u);
    EXPECT_EQ(callbook->Count({}, true), 2);
}

// The callbook's query does not change while the run works: each distinct word is asked of the host once
// and each callsign found updated once, however often the lists repeat them, and still every occurrence
// counts in the memo, the summary and the log line.
TEST_F(RunTest, RepeatsAreAskedOfTheHostOnceAndCountedEachTime) {
    const fs::path archive = Archive(
        {{"a.pdf", "UR5ABC UR3NEW UR5ABC\nUT2XY UR5ABC\n"}, {"b.pdf", "UR3NEW UT2XY\nUR5ABC ur5abc\n"}});
    TUpdateRun run = Run();
    EXPECT_TRUE(run.Execute({SourceLocation::Local, Utf8ToString(archive.string())}));

    std::vector<std::string> counts;
    for (const std::string& call : progress.calls)
        if (call.rfind("memo 2 Found", 0) == 0 || call.rfind("memo 0 * Done.", 0) == 0)
            counts.push_back(call.substr(0, call.find(" (")));
    EXPECT_EQ(counts, (std::vector<std::string>{"memo 2 Found 5, updated 4 callsigns /",
                                                "memo 2 Found 4, updated 3 callsigns /",
                                                "memo 0 * Done. Files:2, Tot:9, Upd:7"}));
    ASSERT_EQ(host->LogLines().size(), 1u);
    EXPECT_EQ(StringToUtf8(host->LogLines()[0])
                  .rfind("Exec: Get Bureau users info (Ukraine), Files:2, Tot:9, Upd:7 (", 0),
              0u);
    EXPECT_EQ(host->CallCount("IHostServer.Locate"), 3 + 2)
        << "UR5ABC, UR3NEW and UT2XY on the callbook's query; the report asks the query of the entries "
           "marked before the run once for each callsign marked, UR5ABC and UT2XY";
    EXPECT_EQ(host->CallCount("IHostServer.ExecSQL"), 2) << "UR5ABC and UT2XY";
    EXPECT_EQ(callbook->Count({}, true), 2);
}

// A converter whose text passes the run's output limit is stopped; that list is named with the reason,
// the lists after it are read, and the run fails saying which list it could not read; nothing of the
// stopped list is left behind.
TEST_F(RunTest, AListWhoseTextPassesTheOutputLimitIsNamedAndTheNextOnesAreRead) {
    std::string big;
    while (big.size() <= 4096)
        big += "UT2XY Petro Kyiv\n";
    const fs::path archive = Archive({{"a.pdf", "UR5ABC\n"}, {"big.pdf", big}, {"c.pdf", "UT2XY\n"}});
    TRunOptions options = TRunOptions::FromEnvironment();
    options.ConversionOutputLimit = 4096;
    TUpdateRun run(ComPtr<IHostKernel>(host.get()), ComPtr<IHostServer>(host.get()), progress,
                   u"Get Bureau users info (Ukraine)", options);
    try {
        run.Execute({SourceLocation::Local, Utf8ToString(archive.string())});
        ADD_FAILURE() << "the run ended without an error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(StringToUtf8(e.Message()), "1 of 3 lists could not be read: big.pdf (too large)");
    }
    // The stand-in's shell adds what it saw of its copy's end in brackets; the reason comes first.
    const std::string line =
        "memo 2 Cannot convert \"big.pdf\" to text: the text of \"big.pdf\" is larger than 4 KiB";
    EXPECT_NE(std::find_if(progress.calls.begin(), progress.calls.end(),
                           [&](const std::string& call) { return call.rfind(line, 0) == 0; }),
              progress.calls.end())
        << ::testing::PrintToString(progress.calls);
    EXPECT_EQ(callbook->Count({}, true), 2) << "the lists before and after it are read";
    EXPECT_TRUE(fs::is_empty(download));
}

TEST_F(RunTest, ARunThatRaisesStillUnlocksTheWindow) {
    const fs::path archive = Archive({{"a.pdf", "UR5ABC UT2XY\n"}});
    host->Faults().failing["IHostServer.ExecSQL"] = {E_FAIL, u"callbook locked", 1};
    TUpdateRun run = Run();
    EXPECT_THROW(run.Execute({SourceLocation::Local, Utf8ToString(archive.string())}), EOleException);
    ASSERT_GE(progress.calls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(progress.calls.begin(), progress.calls.begin() + 3),
              (std::vector<std::string>{"busy", "clear memo", "lock"}));
    EXPECT_EQ(std::vector<std::string>(progress.calls.end() - 2, progress.calls.end()),
              (std::vector<std::string>{"unlock", "not busy"}));
    for (const std::string& call : progress.calls)
        EXPECT_EQ(call.find("* Done."), std::string::npos) << "no summary after an error";
    EXPECT_EQ(host->LogLines(), std::vector<std::u16string>{u"Exec: Get Bureau users info (Ukraine), " +
                                                            Utf8ToString(archive.string()) + u" failed."});
    EXPECT_EQ(host->CallCount("IHostServer.FreeQuery"), host->CallCount("IHostServer.CreateQuery"))
        << "every query made is freed";
    EXPECT_EQ(callbook->Count({}, true), 1) << "the update made before the error stays";
    EXPECT_EQ(host->CallCount("IHostKernel.SetValue"), 1) << "REFRESH: the callbook changed";
}

TEST_F(RunTest, MissingUnRARIsReportedAndNothingStarts) {
    fs::remove(app / "UnRAR.dll");
    TUpdateRun run = Run();
    EXPECT_FALSE(run.CheckComponents({SourceLocation::Local, u"lists.rar"}));
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
    WriteFile(
        script,
        std::string("#!/bin/sh\ncase \"$1\" in *File0001.pdf) ;; *) tail -f \"$1\" >/dev/null ;; esac\n") +
            kDropHeader + "\n");
    fs::permissions(script, fs::perms::owner_all);
    ScopedEnv slow("ZARBEX_PDFTOTEXT", script.c_str());
    ScopedEnv three(TRunOptions::ConvertersVariable, "3");
    const fs::path archive = Archive({{"a.pdf", "UR5ABC\n"}, {"b.pdf", "UT2XY\n"}, {"c.pdf", "UT2XY\n"}});
    host->Faults().failing["IHostServer.ExecSQL"] = {E_FAIL, u"callbook locked", 0};

    TUpdateRun run = Run();
    EXPECT_THROW(run.Execute({SourceLocation::Local, Utf8ToString(archive.string())}), EOleException);

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

// An entry that cannot be extracted is named with its reason in its turn and the run goes on with the
// entries after it, which the converters ahead have taken out already; at the end the run fails saying
// which list was not read, with the updates of the others made and no converter or working file left.
TEST_F(RunTest, AListThatCannotBeExtractedIsNamedAndTheNextOnesAreRead) {
    ScopedEnv three(TRunOptions::ConvertersVariable, "3");
    const std::string secondList = "UT2XY second list, stored as it is\n";
    WriteList(dir / "a.pdf", "UR5ABC\n");
    WriteList(dir / "b.pdf", secondList);
    WriteList(dir / "c.pdf", "UT2XY\n");
    const struct {
        const char* name;
        const char* secondSwitches; // how the second list is added
        std::function<void(const fs::path&)> spoil;
        std::string line, reason;
    } cases[] = {
        {"encrypted", "-psecret", nullptr,
         "Cannot extract \"b.pdf\" from the archive: it is encrypted (protected by a password)", "encrypted"},
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
         "Cannot extract \"b.pdf\" from the archive: the data is damaged or cut short (CRC error)",
         "damaged"},
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
        const std::size_t logLines = host->LogLines().size();
        const std::string unread = "1 of 3 lists could not be read: b.pdf (" + c.reason + ")";

        TUpdateRun run = Run();
        try {
            run.Execute({SourceLocation::Local, Utf8ToString(archive.string())});
            ADD_FAILURE() << "the run ended without an error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), unread);
        }

        ASSERT_GE(progress.calls.size(), 4u);
        const std::string done = progress.calls[progress.calls.size() - 4];
        EXPECT_EQ(done.rfind("memo 0 * Done. Files:3, Tot:2, Upd:2 (00:00:0", 0), 0u) << done;
        EXPECT_EQ(progress.calls,
                  (std::vector<std::string>{"busy",
                                            "clear memo",
                                            "lock",
                                            "memo 0 * Use: " + archive.string() + " /",
                                            "memo 1 Lists dated " + std::string(kListsDay) + " /",
                                            "clear marks",
                                            "memo 1 Parsing a.pdf (" + ListSize("UR5ABC\n") + " bytes) /",
                                            ">",
                                            "progress 0",
                                            "memo 2 Found 1, updated 1 callsigns /",
                                            "progress 0",
                                            "memo 1 Parsing b.pdf (" + ListSize(secondList) + " bytes) /",
                                            ">",
                                            "memo 2 " + c.line + " /",
                                            "progress 0",
                                            "memo 1 Parsing c.pdf (" + ListSize("UT2XY\n") + " bytes) /",
                                            ">",
                                            "progress 0",
                                            "memo 2 Found 1, updated 1 callsigns /",
                                            "progress 0",
                                            "memo 1 " + unread + " /",
                                            "memo 1 Marked for the first time: 2 (UR5ABC, UT2XY) /",
                                            "memo 1 Not in the callbook: none /",
                                            done,
                                            "progress 0",
                                            "unlock",
                                            "not busy"}));
        EXPECT_EQ(callbook->Count({}, true), 2) << "the other lists' updates are made";
        EXPECT_EQ(host->LogLines().size(), logLines + 1);
        EXPECT_EQ(StringToUtf8(host->LogLines().back()),
                  "Exec: Get Bureau users info (Ukraine), " + archive.string() + " failed.");
        EXPECT_TRUE(fs::is_empty(download)) << "nothing of the lists is left";
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
        run.Execute({SourceLocation::Local, Utf8ToString(archive.string())});
        ADD_FAILURE() << "the run ended without an error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot read the archive past \"B.pdf\": the data is damaged or cut short (CRC error)");
    }
    for (const std::string& call : progress.calls)
        EXPECT_EQ(call.find("* Done."), std::string::npos) << "no summary after an error";
    EXPECT_EQ(host->LogLines().size(), 1u) << "the failed run's log line";
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
    EXPECT_FALSE(run.Execute({SourceLocation::Local, missing}));

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
            EXPECT_EQ(run.CheckComponents({c.location, c.source}), !missing)
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
