// The whole command under Wine: the test host's menu item opens the native dialog on this thread, and a
// second thread works it as a user would, through window messages: a local RAR 5 archive first, then the
// same archive downloaded from the HTTP test server, then Close. The real UnRAR.dll extracts, the shipped
// pdftotext.exe converts a real PDF, and the host's in-memory callbook gets its bureau flags.
#include "Includes/IniFiles.h"
#include "Plugins/Zarbex/win32/uZarbexIds.h"
#include "tests/windows/ScopedVariable.h"
#include "tests/windows/TestFolder.h"
#include "tests/windows/host/TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t DialogTitle[] = L"Get Bureau users info (Ukraine)";

using Messages = std::vector<std::pair<std::u16string, std::u16string>>; // (text, caption)

// A window's text, asked from another thread: the window's thread answers while it pumps. A thread that
// does not answer within 10 s gives a text that says so, and the waits that read it fail in their time.
std::u16string WindowText(HWND window) {
    constexpr UINT limitMs = 10000;
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, limitMs, &length))
        return u"(the dialog's thread did not answer)";
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, limitMs, &copied))
        return u"(the dialog's thread did not answer)";
    text.resize(static_cast<std::size_t>(copied));
    return Utf16String(text.c_str());
}

// The driver works on a thread of its own while this thread, the host's window thread, runs the menu
// command and its modal dialog. The driver asks windows of this thread for their texts (WM_GETTEXT, sent
// across threads), so this thread waits for the driver while it goes on answering sent messages: a plain
// join, once the dialog is gone and the driver still looks for it, would hold both threads for good.
class TDriverThread {
public:
    template <class Drive>
    explicit TDriverThread(Drive drive)
        : FThread([this, drive] {
              drive();
              FFinished = true;
          }) {}
    TDriverThread(const TDriverThread&) = delete;
    TDriverThread& operator=(const TDriverThread&) = delete;
    ~TDriverThread() { Join(); }

    void Join() {
        while (!FFinished) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        if (FThread.joinable())
            FThread.join();
    }

private:
    std::atomic<bool> FFinished{false};
    std::thread FThread;
};

bool Contains(const std::u16string& text, const std::u16string& part) {
    return text.find(part) != std::u16string::npos;
}

std::string Printable(const std::u16string& text) {
    return StringToUtf8(text);
}

// What the user's side saw, collected on the driving thread and checked on the test's thread.
struct Observed {
    bool dialogFound = false;
    std::u16string title;
    RECT client{};
    bool getDataEnabledAtFirst = false;
    bool closeWasEnabled = false;
    std::u16string memoAfterLocal;
    bool localRunEnded = false;
    std::u16string memoAfterDownload;
    bool downloadEnded = false;
    bool getDataEnabledAfterSuccess = true;
    Messages boxes;
    // What the driver waited for in vain, with the dialog's state at that moment; empty when nothing.
    std::string stuck;
};

struct WindowSearch {
    const wchar_t* title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchShownWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    if (std::wstring(text) == search.title && IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// A shown window with this title among the windows of the host's thread.
HWND FindShownWindow(DWORD thread, const wchar_t* title) {
    WindowSearch search{title};
    EnumThreadWindows(thread, MatchShownWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls until done() holds, for at most limit: the driver acts only on a state it has seen, and a state
// that never comes fails the test in bounded time instead of holding it.
template <class Condition> bool WaitUntil(std::chrono::milliseconds limit, const Condition& done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (std::wstring(className) == L"Static")
        *reinterpret_cast<std::u16string*>(param) += WindowText(child);
    return TRUE;
}

// The texts of a message box: its message and its caption.
std::pair<std::u16string, std::u16string> MessageBoxTexts(HWND box) {
    std::u16string message;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&message));
    return {message, WindowText(box)};
}

BOOL CALLBACK CollectShownTitle(HWND window, LPARAM param) {
    if (IsWindowVisible(window))
        *reinterpret_cast<std::u16string*>(param) += u" \"" + WindowText(window) + u"\"";
    return TRUE;
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

// What the dialog shows, for the report of a wait that failed.
std::string DialogState(HWND dialog) {
    if (!IsWindow(dialog))
        return "the dialog is gone";
    std::u16string shown;
    EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), CollectShownTitle,
                      reinterpret_cast<LPARAM>(&shown));
    const auto yesNo = [](bool value) { return value ? "yes" : "no"; };
    return std::string("dialog enabled: ") + yesNo(IsWindowEnabled(dialog) != FALSE) +
           ", Get data enabled: " + yesNo(Enabled(dialog, IDC_dbtUpdateOk)) +
           ", source enabled: " + yesNo(Enabled(dialog, IDC_edSource)) + ", source: \"" +
           StringToUtf8(WindowText(GetDlgItem(dialog, IDC_edSource))) +
           "\", windows shown:" + StringToUtf8(shown) + ", memo: \"" +
           StringToUtf8(WindowText(GetDlgItem(dialog, IDC_mProgress))) + "\"";
}

// Works the dialog from the driving thread as a user would, one step after the state it needs: a
// button is pressed once it and its dialog take input (nothing modal over it), and a wait that fails
// records what it waited for and what the dialog showed.
class TDriver {
public:
    TDriver(DWORD hostThread, const TTestHost& host, Observed& seen)
        : FThread(hostThread), FHost(host), FSeen(seen) {}

    // The dialog, once it shows; null when it did not within a minute.
    HWND WaitForDialog() {
        HWND dialog = nullptr;
        if (!WaitUntil(std::chrono::seconds(60),
                       [&] { return (dialog = FindShownWindow(FThread, DialogTitle)); }))
            Stuck("the dialog to show", "it never showed");
        return dialog;
    }

    // Chooses the location as a click on its radio button does, and types the source.
    void ChooseSource(HWND dialog, int location, const std::u16string& source) {
        SendMessageW(GetDlgItem(dialog, location), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(dialog, IDC_edSource), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(WidePtr(source)));
    }

    // Presses a button as a click does, once the button takes it; posted, so that the run it starts does
    // not hold this thread. False when the button never became ready.
    bool Press(HWND dialog, int id, const char* name) {
        HWND button = GetDlgItem(dialog, id);
        if (!WaitUntil(std::chrono::seconds(30), [&] {
                CloseErrorBox();
                return IsWindowEnabled(button) && IsWindowEnabled(dialog);
            })) {
            Stuck(std::string("\"") + name + "\" to take a click", DialogState(dialog));
            return false;
        }
        PostMessageW(button, BM_CLICK, 0, 0);
        return true;
    }

    // Waits for the run just started on source to end: the memo holds its lines to the closing one (the
    // memo of the run before ends the same way, but names its own source), or a failure was shown (a
    // message the host was asked to show, or an error box, which is closed and kept in boxes); and the
    // source field is given back to the user. False when it did not end in two minutes.
    bool WaitForRunEnd(HWND dialog, const std::u16string& source, std::size_t messagesBefore,
                       std::u16string& memo) {
        const std::size_t boxesBefore = FSeen.boxes.size();
        const bool ended = WaitUntil(std::chrono::minutes(2), [&] {
            CloseErrorBox();
            memo = WindowText(GetDlgItem(dialog, IDC_mProgress));
            const bool done = Contains(memo, u"* Use: " + source + u"\r\n") && Contains(memo, u"* Done.");
            const bool failureShown =
                FHost.MessagesShown() > messagesBefore || FSeen.boxes.size() > boxesBefore;
            return (done || failureShown) && Enabled(dialog, IDC_edSource);
        });
        if (!ended)
            Stuck("the run to end", DialogState(dialog));
        return ended;
    }

    // However the driving went, the dialog is closed as its Close button does, so that the menu command
    // returns. Should it stay open, the test program ends here with the reason: the command would not
    // return, and the test would hold until ctest's time limit.
    void Close() {
        HWND dialog = FindWindowW(L"#32770", DialogTitle);
        if (dialog == nullptr)
            return;
        const bool closed =
            Press(dialog, IDC_dbtUpdateCancel, "Close") && WaitUntil(std::chrono::seconds(60), [&] {
                CloseErrorBox();
                return !IsWindow(dialog);
            });
        if (!closed) {
            Stuck("the dialog to close", DialogState(dialog));
            std::fprintf(stderr, "The dialog stayed open; waited in vain for %s\n", FSeen.stuck.c_str());
            std::fflush(stderr);
            ExitProcess(1);
        }
    }

private:
    // Closes the dialog's error box, if one shows, as its OK button does; its texts go to boxes.
    void CloseErrorBox() {
        HWND box = FindShownWindow(FThread, L"Error");
        if (box == nullptr)
            return;
        FSeen.boxes.push_back(MessageBoxTexts(box));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        if (!WaitUntil(std::chrono::seconds(10), [&] { return !IsWindow(box); }))
            Stuck("the error box to close", "it stayed open");
    }

    void Stuck(const std::string& awaited, const std::string& state) {
        if (FSeen.stuck.empty())
            FSeen.stuck = awaited + " (" + state + ")";
    }

    DWORD FThread;
    const TTestHost& FHost;
    Observed& FSeen;
};

// Messages shown, for a failure's report.
std::string Printable(const Messages& messages) {
    std::string text;
    for (const auto& [message, caption] : messages)
        text += "\n" + Printable(caption) + ": " + Printable(message);
    return text;
}

void Drive(DWORD hostThread, const TTestHost& host, const std::u16string& archive, const std::u16string& url,
           Observed& seen) {
    TDriver driver(hostThread, host, seen);
    HWND dialog = driver.WaitForDialog();
    if (dialog == nullptr)
        return;
    seen.dialogFound = true;
    seen.title = WindowText(dialog);
    GetClientRect(dialog, &seen.client);
    seen.getDataEnabledAtFirst = Enabled(dialog, IDC_dbtUpdateOk);
    seen.closeWasEnabled = Enabled(dialog, IDC_dbtUpdateCancel);

    // A local archive: the location first, then its path.
    driver.ChooseSource(dialog, IDC_rgLocationLocal, archive);
    seen.localRunEnded = driver.Press(dialog, IDC_dbtUpdateOk, "Get data") &&
                         driver.WaitForRunEnd(dialog, archive, host.MessagesShown(), seen.memoAfterLocal);
    if (!seen.localRunEnded)
        return;

    // The same archive from the Internet location.
    driver.ChooseSource(dialog, IDC_rgLocationInternet, url);
    seen.downloadEnded = driver.Press(dialog, IDC_dbtUpdateOk, "Get data") &&
                         driver.WaitForRunEnd(dialog, url, host.MessagesShown(), seen.memoAfterDownload);
    seen.getDataEnabledAfterSuccess = Enabled(dialog, IDC_dbtUpdateOk);
}

// The HTTP test server of the download tests: its port, and the folder it serves.
std::u16string HttpPort() {
    const std::string text = ReadFile(ProgramFolder() + u"\\http-server.port");
    return Utf8ToString(text.substr(0, text.find_first_of("\r\n")));
}
std::u16string HttpRoot() {
    return ProgramFolder() + u"\\http-server\\root";
}

TEST(EndToEnd, TheMenuCommandUpdatesTheCallbookFromALocalAndADownloadedArchive) {
    const TTestFolder work;
    const TTestFolder download;
    WriteFile(work / u"callbook.txt", "UR5ABC\tUR\t0\nUT1XYZ\tUR\t0\nUR0AAA\tUR\t0\nDL1ABC\tDL\t0\n");
    // The converter the run starts: no program named, so the plug-in finds pdftotext.exe beside itself.
    const TScopedVariable converter{u"ZARBEX_PDFTOTEXT", std::nullopt};

    const TPluginModule& module = PluginModule();
    TTestHost host(work / u"callbook.txt");
    host.Host().SetVariable(u"APPINI", work / u"host.ini");
    host.Host().SetVariable(u"DOWNLOAD", download.Path());
    const std::u16string archive = ProgramFolder() + u"\\members.rar";
    // The system's copy: MinGW's std::filesystem refuses to replace a file left by an earlier run.
    ASSERT_TRUE(CopyFileW(WidePtr(archive), WidePtr(HttpRoot() + u"\\members.rar"), FALSE));
    const std::u16string url = u"http://127.0.0.1:" + HttpPort() + u"/files/members.rar";
    {
        TLoadedPlugin plugin(module, host.Core());
        const ComPtr<HostMenuItem> item = host.Host().MenuItems().at(0);

        Observed seen;
        TDriverThread driver([&, thread = GetCurrentThreadId()] {
            Drive(thread, host, archive, url, seen);
            TDriver(thread, host, seen).Close();
        });
        const HRESULT clicked = item->Click();
        driver.Join();
        EXPECT_EQ(clicked, S_OK);
        // A failure of either run was shown through the host or in a box: its reason comes first.
        EXPECT_TRUE(host.Messages.empty()) << Printable(host.Messages);
        EXPECT_TRUE(seen.boxes.empty()) << Printable(seen.boxes);
        ASSERT_EQ(seen.stuck, "") << "the driver waited in vain";

        ASSERT_TRUE(seen.dialogFound);
        EXPECT_EQ(seen.title, u"Get Bureau users info (Ukraine)");
        EXPECT_EQ(seen.client.right - seen.client.left, 394);
        EXPECT_EQ(seen.client.bottom - seen.client.top, 266);
        // The default address is ready at once; Close always is.
        EXPECT_TRUE(seen.getDataEnabledAtFirst);
        EXPECT_TRUE(seen.closeWasEnabled);

        ASSERT_TRUE(seen.localRunEnded) << Printable(seen.memoAfterLocal);
        const std::u16string& local = seen.memoAfterLocal;
        EXPECT_TRUE(Contains(local, u"* Use: " + archive + u"\r\n")) << Printable(local);
        EXPECT_TRUE(Contains(local, u"   Parsing members.pdf (")) << Printable(local);
        EXPECT_TRUE(Contains(local, u"      Found 4, updated 2 callsigns\r\n")) << Printable(local);
        EXPECT_TRUE(Contains(local, u"* Done. Files:1, Tot:4, Upd:2 (")) << Printable(local);

        ASSERT_TRUE(seen.downloadEnded) << Printable(seen.memoAfterDownload);
        const std::u16string& downloaded = seen.memoAfterDownload;
        EXPECT_TRUE(Contains(downloaded, u"* Use: " + url + u"\r\n")) << Printable(downloaded);
        EXPECT_TRUE(Contains(downloaded, u"* Done. Files:1, Tot:4, Upd:2 (")) << Printable(downloaded);
        EXPECT_FALSE(seen.getDataEnabledAfterSuccess) << "a successful run waits for a change";
    }

    // The host's side: one log line per run, a refresh after each, the flags, its modal state left.
    const auto& log = host.Host().LogLines();
    ASSERT_EQ(log.size(), 2u);
    for (const std::u16string& line : log)
        EXPECT_EQ(line.rfind(u"Exec: Get Bureau users info (Ukraine), Files:1, Tot:4, Upd:2 (", 0), 0u)
            << Printable(line);
    ASSERT_EQ(host.Commands.size(), 2u);
    EXPECT_EQ(host.Commands[0], std::make_pair(std::u16string(u"REFRESH"), std::u16string(u"0")));
    EXPECT_EQ(host.Host().ModalBegins(), 1);
    EXPECT_EQ(host.Host().ModalDepth(), 0);
    EXPECT_EQ(host.CallbookTable()->Count({}, true), 2);
    EXPECT_EQ(host.CallbookTable()->Rows("UR5ABC", true, -1).size(), 1u);
    EXPECT_EQ(host.CallbookTable()->Rows("UT1XYZ", true, -1).size(), 1u);
    EXPECT_EQ(host.CallbookTable()->Rows("DL1ABC", true, -1).size(), 0u) << "not a Ukrainian entry";

    // The last good source is remembered; the download folder keeps nothing of the runs.
    TIniFile settings(work / u"host.ini");
    EXPECT_EQ(settings.ReadString(u"Bureau-UR", u"Resource", u""), url);
    EXPECT_EQ(settings.ReadString(u"Bureau-UR", u"Location", u""), u"Internet");
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(download.Path())));

    // The dialog wore the host's two icons and destroyed them when its window went.
    const auto& icons = host.Host().IconsGiven();
    ASSERT_EQ(icons.size(), 2u);
    for (HICON icon : icons)
        EXPECT_FALSE(IconAlive(icon));
    EXPECT_EQ(host.Host().RefCount(), 1u);
}

// A run that fails shows its reason as an error that leaves a handler is shown: through the host, or, when
// the host cannot show it, in the system's message box; either way the dialog is given back to the user.
TEST(EndToEnd, AFailingRunShowsItsReasonThroughTheHostOrElseInAMessageBox) {
    const std::u16string reason = u"The callbook is locked by another program";
    for (const bool hostShows : {true, false}) {
        SCOPED_TRACE(hostShows ? "the host shows it" : "the host cannot show it");
        const TTestFolder work;
        TTestHost host(work / u"callbook.txt");
        host.Host().SetVariable(u"APPINI", work / u"host.ini");
        host.Host().SetVariable(u"DOWNLOAD", work.Path());
        host.Host().Faults().failing["IHostServer.CreateQuery"] = {E_FAIL, reason};
        if (!hostShows)
            host.Host().Faults().failing["IHostKernel.ShowMessage"] = {E_FAIL, u"No window to show it in"};
        TLoadedPlugin plugin(PluginModule(), host.Core());

        bool runEnded = false;
        bool getDataEnabledAfter = false;
        Observed seen;
        TDriverThread driver([&, thread = GetCurrentThreadId()] {
            TDriver driving(thread, host, seen);
            if (HWND dialog = driving.WaitForDialog()) {
                const std::u16string archive = ProgramFolder() + u"\\members.rar";
                driving.ChooseSource(dialog, IDC_rgLocationLocal, archive);
                std::u16string memo;
                runEnded = driving.Press(dialog, IDC_dbtUpdateOk, "Get data") &&
                           driving.WaitForRunEnd(dialog, archive, 0, memo);
                getDataEnabledAfter = Enabled(dialog, IDC_dbtUpdateOk);
            }
            driving.Close();
        });
        const HRESULT clicked = host.Host().MenuItems().at(0)->Click();
        driver.Join();
        EXPECT_EQ(clicked, S_OK);

        ASSERT_EQ(seen.stuck, "") << "the driver waited in vain";
        ASSERT_TRUE(runEnded);
        const Messages& shown = hostShows ? host.Messages : seen.boxes;
        const Messages& shownTheOtherWay = hostShows ? seen.boxes : host.Messages;
        EXPECT_TRUE(shownTheOtherWay.empty()) << Printable(shownTheOtherWay);
        ASSERT_EQ(shown.size(), 1u) << Printable(shown);
        EXPECT_EQ(shown[0].second, u"Error");
        EXPECT_TRUE(Contains(shown[0].first, reason)) << Printable(shown[0].first);
        EXPECT_TRUE(getDataEnabledAfter) << "the dialog stayed locked after the failure";
        EXPECT_EQ(host.Host().ModalDepth(), 0);
    }
}

} // namespace
