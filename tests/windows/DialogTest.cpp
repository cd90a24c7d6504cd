// The native dialog's smoke test under Wine, against the test host's services: its controls by id and
// size, each event reaching the presenter, the controls' enabled and read-only states as the presenter
// sets them, the browse button through the system's open-file dialog, the modal bracket and the host's
// icons. The dialog runs modally on the test's thread, and the test works it from that thread's own
// message loops through timers. The dialog's rules are the presenter's, tested in PresenterTest.
#include "Plugins/Zarbex/win32/uZarbex.h"

#include "Platform/Application.h"
#include "PluginAPI/Helpers.h"
#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/uZarbexRun.h"
#include "Plugins/Zarbex/win32/uZarbexIds.h"
#include "tests/windows/TestFolder.h"
#include "tests/windows/host/TestHost.h"

#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace {

// A run that updated something, for the close that follows one.
struct TGoodRun final : IUpdateRun {
    bool CheckComponents(const TUpdateSource&) override { return true; }
    bool Execute(const TUpdateSource&) override { return true; }
};

// Steps for this thread's message loops, whichever of them runs: each is tried on a timer tick until it
// says it is done. The loop that fetches the tick may be the dialog's own or one it opened (the open-file
// dialog), so a step may start a nested loop in which the later steps run; a step is never re-entered.
struct TStep {
    std::function<bool()> attempt;
    bool running = false;
};

std::map<UINT_PTR, TStep>& Steps() {
    static std::map<UINT_PTR, TStep> steps;
    return steps;
}

void CALLBACK TryStep(HWND, UINT, UINT_PTR id, DWORD) {
    const auto found = Steps().find(id);
    if (found == Steps().end() || found->second.running)
        return;
    found->second.running = true;
    bool done = true;
    try {
        done = found->second.attempt();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "a step raised: " << e.what();
    }
    if (done) {
        KillTimer(nullptr, id);
        Steps().erase(id);
    } else {
        Steps().at(id).running = false;
    }
}

void Later(std::function<bool()> step) {
    const UINT_PTR id = SetTimer(nullptr, 0, 20, TryStep);
    ASSERT_NE(id, 0u);
    Steps()[id] = TStep{std::move(step)};
}

struct TWindowSearch {
    std::u16string title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchShownWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<TWindowSearch*>(param);
    if (!IsWindowVisible(window) || TForm::WindowText(window) != search.title)
        return TRUE;
    search.found = window;
    return FALSE;
}

// A visible window with this title among the windows of this thread.
HWND ShownWindow(const std::u16string& title) {
    TWindowSearch search{title};
    EnumThreadWindows(GetCurrentThreadId(), MatchShownWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A control's size in pixels.
SIZE SizeOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

bool HasStyle(HWND control, LONG_PTR style) {
    return (GetWindowLongPtrW(control, GWL_STYLE) & style) != 0;
}

void Click(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

class TDialogWin32Test : public testing::Test {
protected:
    void SetUp() override {
        // As the plug-in object does when the host makes it: the host's window owns the plug-in's windows.
        SetApplicationHandle(MainWindow());
        // No UnRAR library beside the host: "Get data" stops at its check, before any run.
        FHost.Host().SetVariable(u"APPPATH", FScratch.Path());
        FHost.Host().SetVariable(u"APPINI", FScratch / u"host.ini");
        FHost.Host().SetVariable(u"DOWNLOAD", FScratch.Path());
        Open();
    }
    void TearDown() override {
        SetApplicationHandle(nullptr);
        EXPECT_TRUE(Steps().empty()) << "a step of the test never came to run";
        for (const auto& step : Steps())
            KillTimer(nullptr, step.first);
        Steps().clear();
    }

    // Shows the dialog modally; work runs inside its modal loop once it shows, and the dialog is then
    // closed as its Close button does, unless work closed it. Yields what ShowModal yields.
    int Show(const std::function<void(HWND dialog)>& work) {
        Later([this, work] {
            HWND dialog = FForm->Handle();
            if (dialog == nullptr || !IsWindowVisible(dialog))
                return false;
            work(dialog);
            if (IsWindowVisible(dialog))
                Click(dialog, IDC_dbtUpdateCancel);
            return true;
        });
        return FForm->ShowModal();
    }
    TZarbexPresenter& Presenter() { return FForm->Presenter(); }
    // The command's opening steps; each press of "Get data" makes the run FRuns makes.
    void Open() {
        FForm = TfrmZarbex::Create(FHost.Core(), ComPtr<IHostKernel>(&FHost.Host()),
                                   [this](IUpdateProgress& progress) { return FRuns(progress); });
    }

    TTestFolder FScratch;
    TTestHost FHost;
    TUpdateRunFactory FRuns = UpdateRunFactory(ComPtr<IHostKernel>(&FHost.Host()),
                                               ComPtr<IHostServer>(&FHost.Host()), PluginIdentity::Name);
    std::unique_ptr<TfrmZarbex> FForm;
};

TEST_F(TDialogWin32Test, TheControlsByIdAndSize) {
    std::u16string title;
    RECT client{};
    bool markDatesShown = true;
    std::vector<std::pair<int, SIZE>> sizes;
    std::vector<int> parts(3);
    SIZE logo{};
    std::u16string getData, close, source;
    bool internetChecked = false, getDataEnabled = false;
    const int ids[] = {IDC_lblSource,          IDC_edSource,        IDC_edSourceButton,  IDC_rgLocation,
                       IDC_rgLocationInternet, IDC_rgLocationLocal, IDC_lblProgress,     IDC_mProgress,
                       IDC_cbMarkDates,        IDC_dbtUpdateOk,     IDC_dbtUpdateCancel, IDC_imgLogo,
                       IDC_StatusBar};
    EXPECT_EQ(
        Show([&](HWND dialog) {
            title = TForm::WindowText(dialog);
            GetClientRect(dialog, &client);
            for (int id : ids)
                sizes.emplace_back(id, GetDlgItem(dialog, id) ? SizeOf(GetDlgItem(dialog, id)) : SIZE{});
            SendMessageW(GetDlgItem(dialog, IDC_StatusBar), SB_GETPARTS, 3,
                         reinterpret_cast<LPARAM>(parts.data()));
            BITMAP bitmap{};
            GetObjectW(reinterpret_cast<HBITMAP>(
                           SendMessageW(GetDlgItem(dialog, IDC_imgLogo), STM_GETIMAGE, IMAGE_BITMAP, 0)),
                       sizeof bitmap, &bitmap);
            logo = {bitmap.bmWidth, bitmap.bmHeight};
            markDatesShown = IsWindowVisible(GetDlgItem(dialog, IDC_cbMarkDates)) != FALSE;
            getData = TForm::WindowText(GetDlgItem(dialog, IDC_dbtUpdateOk));
            close = TForm::WindowText(GetDlgItem(dialog, IDC_dbtUpdateCancel));
            source = TForm::WindowText(GetDlgItem(dialog, IDC_edSource));
            internetChecked =
                SendMessageW(GetDlgItem(dialog, IDC_rgLocationInternet), BM_GETCHECK, 0, 0) == BST_CHECKED;
            getDataEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_dbtUpdateOk)) != FALSE;
        }),
        IDCANCEL);
    EXPECT_EQ(title, u"Get Bureau users info (Ukraine)");
    EXPECT_EQ(client.right - client.left, 394);
    EXPECT_EQ(client.bottom - client.top, 266);
    // The layout's pixels: a dialog unit is 6/4 by 13/8 of them, whatever font the system found.
    const std::map<int, SIZE> expected = {
        {IDC_edSource, {276, 21}},       {IDC_mProgress, {276, 0}}, {IDC_dbtUpdateOk, {75, 24}},
        {IDC_dbtUpdateCancel, {75, 24}}, {IDC_imgLogo, {54, 106}},  {IDC_StatusBar, {394, 19}},
    };
    for (const auto& [id, size] : sizes) {
        SCOPED_TRACE(testing::Message() << "control " << id);
        EXPECT_GT(size.cx, 0) << "no such control, or an empty one";
        if (const auto found = expected.find(id); found != expected.end()) {
            EXPECT_NEAR(size.cx, found->second.cx, 1);
            if (found->second.cy != 0) {
                EXPECT_NEAR(size.cy, found->second.cy, 1);
            }
        }
    }
    EXPECT_EQ(parts, (std::vector<int>{155, 305, -1})) << "status text, progress, an empty pane";
    EXPECT_EQ(logo.cx, 54);
    EXPECT_EQ(logo.cy, 106);
    EXPECT_FALSE(markDatesShown) << "the command hides the box";
    EXPECT_EQ(getData, u"Get data");
    EXPECT_EQ(close, u"Close");
    // The opening values, as the presenter set them on the show.
    EXPECT_EQ(source, DefaultInternetSource);
    EXPECT_TRUE(internetChecked);
    EXPECT_TRUE(getDataEnabled);
}

TEST_F(TDialogWin32Test, EachEventReachesThePresenter) {
    struct TCase {
        const char* event;
        std::function<void(HWND)> act;
        std::function<void(HWND)> check;
    } cases[] = {
        {"typing in the source",
         [](HWND d) { SetWindowTextW(GetDlgItem(d, IDC_edSource), L"http://typed.example/a.rar"); },
         [this](HWND) { EXPECT_EQ(Presenter().Source(), u"http://typed.example/a.rar"); }},
        {"a click on Local", [](HWND d) { Click(d, IDC_rgLocationLocal); },
         [this](HWND) { EXPECT_EQ(Presenter().Location(), SourceLocation::Local); }},
        {"a click on Internet", [](HWND d) { Click(d, IDC_rgLocationInternet); },
         [this](HWND) { EXPECT_EQ(Presenter().Location(), SourceLocation::Internet); }},
        // The box turns as the presenter says: the system leaves a three-state box to its dialog.
        {"a click on the box",
         [](HWND d) {
             ShowWindow(GetDlgItem(d, IDC_cbMarkDates), SW_SHOW);
             Click(d, IDC_cbMarkDates);
         },
         [](HWND d) {
             EXPECT_EQ(SendMessageW(GetDlgItem(d, IDC_cbMarkDates), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
             EXPECT_EQ(TForm::WindowText(GetDlgItem(d, IDC_cbMarkDates)),
                       u"mark activity dates (for undefined only)");
         }},
        {"Get data", [](HWND d) { Click(d, IDC_dbtUpdateOk); },
         [this](HWND) {
             ASSERT_EQ(FHost.Messages.size(), 1u);
             EXPECT_EQ(FHost.Messages[0].second, u"UnRAR component needed");
         }},
    };
    EXPECT_EQ(Show([&](HWND dialog) {
                  for (const auto& c : cases) {
                      SCOPED_TRACE(c.event);
                      c.act(dialog);
                      c.check(dialog);
                  }
                  // Esc, as Close and the close box: the presenter's close keeps the source of a good run.
                  FRuns = [](IUpdateProgress&) { return std::make_unique<TGoodRun>(); };
                  Click(dialog, IDC_dbtUpdateOk);
                  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
                  EXPECT_FALSE(IsWindowVisible(dialog));
              }),
              IDCANCEL);
    EXPECT_EQ(ReadFile(FScratch / u"host.ini"),
              "[Bureau-UR]\r\nResource=" + StringToUtf8(DefaultInternetSource) + "\r\nLocation=Internet\r\n");
}

TEST_F(TDialogWin32Test, TheControlsStatesAsThePresenterSetsThem) {
    Show([this](HWND dialog) {
        HWND source = GetDlgItem(dialog, IDC_edSource);
        HWND browse = GetDlgItem(dialog, IDC_edSourceButton);
        HWND markDates = GetDlgItem(dialog, IDC_cbMarkDates);
        HWND getData = GetDlgItem(dialog, IDC_dbtUpdateOk);
        EXPECT_FALSE(HasStyle(source, ES_READONLY)) << "an address may be typed";
        EXPECT_FALSE(IsWindowVisible(browse));
        EXPECT_TRUE(HasStyle(markDates, WS_TABSTOP));
        Click(dialog, IDC_rgLocationLocal);
        EXPECT_TRUE(HasStyle(source, ES_READONLY)) << "a local path comes from the browse button";
        EXPECT_TRUE(IsWindowVisible(browse));
        EXPECT_FALSE(HasStyle(markDates, WS_TABSTOP)) << "a read-only box takes no focus";
        EXPECT_FALSE(IsWindowEnabled(getData)) << "the default local file does not exist";
        Click(dialog, IDC_rgLocationInternet);
        EXPECT_TRUE(IsWindowEnabled(getData));

        const int locked[] = {IDC_edSource,        IDC_edSourceButton, IDC_rgLocationInternet,
                              IDC_rgLocationLocal, IDC_cbMarkDates,    IDC_dbtUpdateOk};
        Presenter().LockControls(true);
        for (int id : locked)
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, id))) << "control " << id;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_dbtUpdateCancel))) << "Close always works";
        Presenter().LockControls(false);
        for (int id : locked)
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, id))) << "control " << id;

        // The memo's line end is CR LF; the status text goes to the first pane.
        Presenter().MsgProgress(1, u"B", true);
        Presenter().MsgProgress(2, u"C\nD", false);
        EXPECT_EQ(TForm::WindowText(GetDlgItem(dialog, IDC_mProgress)), u"   B\r\n      C\r\nD");
        Presenter().MsgInfo(u"Trying to load file...");
        wchar_t status[64] = {};
        SendMessageW(GetDlgItem(dialog, IDC_StatusBar), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
        EXPECT_EQ(Utf16String(status), u"Trying to load file...");
    });
}

// Answers the open-file dialog the browse button shows, from this thread's loop inside it: types file
// into its name field and presses its OK button, or presses Cancel when file is empty.
void AnswerOpenDialog(const std::u16string& file, bool& shown) {
    Later([file, &shown] {
        HWND box = ShownWindow(u"Select updates...");
        if (box == nullptr)
            return false;
        shown = true;
        if (file.empty()) {
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return true;
        }
        HWND name = GetDlgItem(box, cmb13);
        if (name == nullptr)
            name = GetDlgItem(box, edt1);
        EXPECT_NE(name, nullptr) << "the open-file dialog has no file name field";
        SetWindowTextW(name, WidePtr(file));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        return true;
    });
}

TEST_F(TDialogWin32Test, TheBrowseButtonAsksThroughTheSystemsOpenDialog) {
    const std::u16string chosen = FScratch / u"\u0441\u043F\u0438\u0441\u043E\u043A.rar";
    WriteFile(chosen, "Rar!");
    bool cancelledShown = false, confirmedShown = false;
    std::u16string afterCancel, afterConfirm;
    Show([&](HWND dialog) {
        Click(dialog, IDC_rgLocationLocal);
        const std::u16string before = TForm::WindowText(GetDlgItem(dialog, IDC_edSource));
        AnswerOpenDialog({}, cancelledShown);
        Click(dialog, IDC_edSourceButton);
        afterCancel = TForm::WindowText(GetDlgItem(dialog, IDC_edSource));
        EXPECT_EQ(afterCancel, before) << "a cancelled dialog changes nothing";
        AnswerOpenDialog(chosen, confirmedShown);
        Click(dialog, IDC_edSourceButton);
        afterConfirm = TForm::WindowText(GetDlgItem(dialog, IDC_edSource));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_dbtUpdateOk))) << "the chosen file exists";
    });
    EXPECT_TRUE(cancelledShown);
    EXPECT_TRUE(confirmedShown);
    EXPECT_EQ(StringToUtf8(afterConfirm), StringToUtf8(chosen)) << "the source shows the chosen file";
    EXPECT_EQ(Presenter().Source(), afterConfirm);
}

TEST_F(TDialogWin32Test, TheModalRunIsBracketedAndWearsTheHostsIcons) {
    int depthInside = 0;
    HWND owner = nullptr;
    HICON smallIcon = nullptr, largeIcon = nullptr;
    Show([&](HWND dialog) {
        depthInside = FHost.Host().ModalDepth();
        owner = GetWindow(dialog, GW_OWNER);
        smallIcon = reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0));
        largeIcon = reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0));
    });
    EXPECT_EQ(depthInside, 1);
    EXPECT_EQ(FHost.Host().ModalBegins(), 1);
    EXPECT_EQ(FHost.Host().ModalDepth(), 0);
    EXPECT_EQ(owner, MainWindow()) << "the host's window owns the dialog";
    ASSERT_EQ(FHost.Host().IconsGiven().size(), 2u);
    EXPECT_EQ(smallIcon, FHost.Host().IconsGiven()[0]);
    EXPECT_EQ(largeIcon, FHost.Host().IconsGiven()[1]);
    for (HICON icon : FHost.Host().IconsGiven())
        EXPECT_FALSE(IconAlive(icon)) << "the dialog destroys the icons it wore";

    // A failure while the dialog opens still ends the host's modal state, and is raised.
    FHost.Host().Faults().failing["IApplicationIcons.GetLargeIcon"] = {E_FAIL, u"no icon"};
    Open();
    EXPECT_THROW(FForm->ShowModal(), EOleException);
    EXPECT_EQ(FHost.Host().ModalBegins(), 2);
    EXPECT_EQ(FHost.Host().ModalDepth(), 0);
}

} // namespace
