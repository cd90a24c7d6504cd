// The update run on Windows: a RAR 5 archive made by the rar tool, the real UnRAR.dll in the host's
// application folder, the stand-in console program as the PDF converter (its lists are plain text behind
// a PDF's header line, and it copies them), folders whose names the ANSI code page cannot write, and the test
// host's services over its in-memory callbook.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "PluginAPI/BStr.h"
#include "PluginAPI/Helpers.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingProgress.h"
#include "tests/windows/ScopedVariable.h"
#include "tests/windows/TestFolder.h"
#include "tests/windows/host/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

const std::u16string kListA = u"\u0421\u043F\u0438\u0441\u043E\u043A UR.pdf";

class TRunWin32Test : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(WidePtr(download), nullptr));
        ASSERT_TRUE(CreateDirectoryW(WidePtr(app), nullptr));
        ASSERT_TRUE(
            CopyFileW(WidePtr(ProgramFolder() + u"\\app\\UnRAR.dll"), WidePtr(app + u"\\UnRAR.dll"), TRUE));
        host.Host().SetVariable(u"DOWNLOAD", download);
        host.Host().SetVariable(u"APPPATH", app);
        host.Host().SetVariable(u"APPNAME", u"LogHost");
    }
    TUpdateRun Run() {
        return TUpdateRun(ComPtr<IHostKernel>(&host.Host()), ComPtr<IHostServer>(&host.Host()), progress,
                          u"Get Bureau users info (Ukraine)");
    }
    std::set<std::u16string> BureauCalls() {
        std::set<std::u16string> calls;
        for (const CallbookRow& row : host.CallbookTable()->Rows({}, true, -1))
            calls.insert(Utf8ToString(row.Call));
        return calls;
    }
    static std::u16string WriteCallbook(const std::u16string& path, const std::string& stations) {
        WriteFile(path, stations);
        return path;
    }
    TTestFolder scratch;
    const std::u16string download =
        scratch / u"\u0417\u0430\u0432\u0430\u043D\u0442\u0430\u0436\u0435\u043D\u043D\u044F";
    const std::u16string app = scratch / u"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u0430";
    const TScopedVariable converter{u"ZARBEX_PDFTOTEXT", ProgramFolder() + u"\\zarbex-child.exe"};
    TTestHost host{WriteCallbook(scratch / u"callbook.txt", "UR5ABC\tUR\t0\nUT2XY\tUR\t0\nDL1ABC\tDL\t0\n")};
    RecordingProgress progress;
};

TEST_F(TRunWin32Test, UpdatesTheBureauFlagsFromEveryListOfTheArchive) {
    const std::u16string archive = ProgramFolder() + u"\\run.rar";
    const auto size = [](const std::u16string& name) {
        return std::to_string(ReadFile(ProgramFolder() + u"\\run\\" + name).size());
    };
    const std::string listA = StringToUtf8(kListA);
    TUpdateRun run = Run();
    ASSERT_TRUE(run.CheckComponents({SourceLocation::Local, archive}))
        << StringToUtf8(host.Messages.at(0).first);
    EXPECT_TRUE(run.Execute({SourceLocation::Local, archive}));

    // UR3NEW is no station of the callbook, DL1ABC no Ukrainian one.
    EXPECT_EQ(BureauCalls(), (std::set<std::u16string>{u"UR5ABC", u"UT2XY"}));
    ASSERT_GE(progress.calls.size(), 4u);
    const std::string done = progress.calls[progress.calls.size() - 4];
    EXPECT_EQ(done.rfind("memo 0 * Done. Files:2, Tot:5, Upd:3 (00:00:", 0), 0u) << done;
    const std::vector<std::string> expected = {"busy",
                                               "clear memo",
                                               "lock",
                                               "memo 0 * Use: " + StringToUtf8(archive) + " /",
                                               "memo 1 Lists dated 2025-03-14 /",
                                               "clear marks",
                                               "memo 1 Parsing " + listA + " (" + size(kListA) + " bytes) /",
                                               ">",
                                               "progress 0",
                                               "progress 0.2",
                                               "progress 0.4",
                                               "progress 0.6",
                                               "progress 0.8",
                                               "memo 2 Found 3, updated 2 callsigns /",
                                               "progress 0",
                                               "memo 1 Parsing b.pdf (" + size(u"b.pdf") + " bytes) /",
                                               ">",
                                               "progress 0",
                                               "progress 0.5",
                                               "memo 2 Found 2, updated 1 callsigns /",
                                               "progress 0",
                                               "memo 1 Marked for the first time: 2 (UR5ABC, UT2XY) /",
                                               "memo 1 Not in the callbook: 2 (DL1ABC, UR3NEW) /",
                                               done,
                                               "progress 0",
                                               "unlock",
                                               "not busy"};
    EXPECT_EQ(progress.calls, expected);
    const auto& log = host.Host().LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind(u"Exec: Get Bureau users info (Ukraine), Files:2, Tot:5, Upd:3 (", 0), 0u);
    EXPECT_EQ(host.Commands, (std::vector<std::pair<std::u16string, std::u16string>>{{u"REFRESH", u"0"}}));
    EXPECT_EQ(host.Host().OpenQueries(), 0);
    EXPECT_TRUE(FileNames(download).empty()) << "working files were left";
}

// An encrypted list is named with the reason, the run fails saying which list it could not read, and the
// window is given back.
TEST_F(TRunWin32Test, AnEncryptedListIsNamedAndTheRunFails) {
    const std::u16string archive = ProgramFolder() + u"\\encrypted.rar";
    const std::u16string list =
        u"\u0421\u043F\u0438\u0441\u043E\u043A \u0447\u043B\u0435\u043D\u0456\u0432.txt";
    TUpdateRun run = Run();
    try {
        run.Execute({SourceLocation::Local, archive});
        FAIL() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), u"1 of 1 list could not be read: " + list + u" (encrypted)");
    }
    const std::string line = "memo 2 Cannot extract \"" + StringToUtf8(list) +
                             "\" from the archive: it is encrypted (protected by a password) /";
    EXPECT_NE(std::find(progress.calls.begin(), progress.calls.end(), line), progress.calls.end());
    EXPECT_EQ(std::vector<std::string>(progress.calls.end() - 2, progress.calls.end()),
              (std::vector<std::string>{"unlock", "not busy"}));
    EXPECT_TRUE(BureauCalls().empty());
    EXPECT_EQ(host.Host().LogLines(), std::vector<std::u16string>{u"Exec: Get Bureau users info (Ukraine), " +
                                                                  archive + u" failed."});
    EXPECT_EQ(host.Host().OpenQueries(), 0);
}

TEST_F(TRunWin32Test, AMissingUnRARIsReportedWithTheFolderToPutItIn) {
    ASSERT_TRUE(DeleteFileW(WidePtr(app + u"\\UnRAR.dll")));
    TUpdateRun run = Run();
    EXPECT_FALSE(run.CheckComponents({SourceLocation::Local, ProgramFolder() + u"\\run.rar"}));
    ASSERT_EQ(host.Messages.size(), 1u);
    EXPECT_EQ(host.Messages[0].second, u"UnRAR component needed");
    EXPECT_EQ(host.Messages[0].first, u"Not found library for RAR archive unpacking:\r\n"
                                      u"please put UnRAR.dll in application folder\r\n\"" +
                                          app + u"\"\r\nand restart LogHost application.");
    EXPECT_TRUE(progress.calls.empty());
}

} // namespace
