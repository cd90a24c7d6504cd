// The native dialog's smoke test under Wine, against the test host's services: its controls by id and
// size, each event made as a person makes it (the mouse at a control's centre, the keyboard) reaching the
// presenter, the controls' enabled and read-only states as the presenter sets them, the browse button
// through the system's open-file dialog, before and after a run, and its keys, the modal bracket and the
// host's icons. The dialog runs modally on the test's thread, and the test works it from that thread's own
// message loops through timers. The dialog's rules are the presenter's, tested in PresenterTest.
#include "Plugins/Zarbex/win32/uZarbex.h"

#include "Includes/win32/GdiObject.h"
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
#include <iterator>
#include <map>
#include <memory>
#include <type_traits>
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

UINT_PTR Later(std::function<bool()> step) {
    const UINT_PTR id = SetTimer(nullptr, 0, 20, TryStep);
    EXPECT_NE(id, 0u);
    Steps()[id] = TStep{std::move(step)};
    return id;
}

// A step that is not wanted any more.
void Forget(UINT_PTR id) {
    KillTimer(nullptr, id);
    Steps().erase(id);
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

std::vector<DWORD> Pixels(HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    return pixels;
}

// Whether a control shows whole on its dialog, once the paints that were due are made: the dialog's
// pixels over its place are the ones it draws of itself, not another control's painted over them.
bool ShowsWhole(HWND control) {
    HWND dialog = GetParent(control);
    RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const RECT place = TForm::ClientRectOf(control);
    const int width = place.right - place.left;
    const int height = place.bottom - place.top;
    const std::unique_ptr<std::remove_pointer_t<HDC>, std::function<void(HDC)>> dialogDC(
        GetDC(dialog), [dialog](HDC dc) { ReleaseDC(dialog, dc); });
    const std::unique_ptr<std::remove_pointer_t<HDC>, decltype(&DeleteDC)> memory(
        CreateCompatibleDC(dialogDC.get()), &DeleteDC);
    TGdiObject<HBITMAP> shown(CreateCompatibleBitmap(dialogDC.get(), width, height));
    TGdiObject<HBITMAP> own(CreateCompatibleBitmap(dialogDC.get(), width, height));
    const HGDIOBJ before = SelectObject(memory.get(), shown.get());
    BitBlt(memory.get(), 0, 0, width, height, dialogDC.get(), place.left, place.top, SRCCOPY);
    SelectObject(memory.get(), own.get());
    SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(memory.get()),
                 PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    SelectObject(memory.get(), before);
    return Pixels(memory.get(), shown.get(), width, height) == Pixels(memory.get(), own.get(), width, height);
}

INPUT Input(DWORD type) {
    INPUT input{};
    input.type = type;
    return input;
}

bool Send(std::vector<INPUT> inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// A click as a person makes it: the mouse moves to the centre of the control's window rectangle, its left
// button goes down and up there. False, sending nothing, when that point belongs to another window: the
// click would land there.
bool ClickAt(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    HWND under = WindowFromPoint(centre);
    if (under != control) {
        ADD_FAILURE() << "the centre of control " << GetDlgCtrlID(control) << " belongs to control "
                      << GetDlgCtrlID(under);
        return false;
    }
    // Absolute positions are in 65536ths of the screen.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move = Input(INPUT_MOUSE), down = Input(INPUT_MOUSE), up = Input(INPUT_MOUSE);
    move.mi.dx = (centre.x * 65536 + width - 1) / width;
    move.mi.dy = (centre.y * 65536 + height - 1) / height;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return Send({move, down, up});
}

// Keys pressed and released in turn, all held down until the last one goes down (Alt+Down: VK_MENU,
// VK_DOWN).
bool PressKeys(const std::vector<WORD>& keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT down = Input(INPUT_KEYBOARD);
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        INPUT up = Input(INPUT_KEYBOARD);
        up.ki.wVk = *key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    return Send(inputs);
}

// Text typed as characters.
bool Type(const std::u16string& text) {
    std::vector<INPUT> inputs;
    for (char16_t c : text) {
        for (DWORD flags : {DWORD{KEYEVENTF_UNICODE}, DWORD{KEYEVENTF_UNICODE | KEYEVENTF_KEYUP}}) {
            INPUT key = Input(INPUT_KEYBOARD);
            key.ki.wScan = c;
            key.ki.dwFlags = flags;
            inputs.push_back(key);
        }
    }
    return Send(inputs);
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
    // What a person does, one action after another: the input of each is given once the one before is
    // done, and the dialog's own loop handles it until done says the dialog got it.
    struct TAction {
        const char* name;
        std::function<bool(HWND dialog)> input; // false when the input could not be given
        std::function<bool(HWND dialog)> done;
    };
    // Shows the dialog modally and performs the actions in it; the dialog is then closed as its Close
    // button does, unless an action closed it. Yields what ShowModal yields.
    int Perform(std::vector<TAction> actions) {
        std::size_t next = 0;
        bool started = false, waiting = false;
        DWORD since = 0;
        HWND dialog = nullptr;
        const UINT_PTR step = Later([&, this] {
            dialog = FForm->Handle();
            if (dialog == nullptr || (!started && !IsWindowVisible(dialog)))
                return false;
            started = true;
            bool failed = false;
            if (!waiting) {
                waiting = actions[next].input(dialog);
                since = GetTickCount();
                failed = !waiting;
                if (failed)
                    ADD_FAILURE() << actions[next].name << ": the input could not be given";
            } else if (actions[next].done(dialog)) {
                waiting = false;
                ++next;
            } else if (GetTickCount() - since > 10000) {
                ADD_FAILURE() << actions[next].name << ": the dialog did not take it";
                failed = true;
            }
            if (!failed && next < actions.size())
                return false;
            // All done, or one failed: the dialog closes, so that the test goes on.
            if (IsWindowVisible(dialog))
                Click(dialog, IDC_dbtUpdateCancel);
            return true;
        });
        const int result = FForm->ShowModal();
        // An action that closes the dialog is done when the modal run has ended.
        if (waiting && next < actions.size() && actions[next].done(dialog))
            ++next;
        if (Steps().count(step) != 0) {
            Forget(step);
            EXPECT_EQ(next, actions.size()) << "the dialog closed before: " << actions[next].name;
        }
        return result;
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
    const int ids[] = {IDC_lblSource,         IDC_edSource,           IDC_edSourceButton,
                       IDC_rgLocationCaption, IDC_rgLocationInternet, IDC_rgLocationLocal,
                       IDC_lblProgress,       IDC_mProgress,          IDC_cbMarkDates,
                       IDC_dbtUpdateOk,       IDC_dbtUpdateCancel,    IDC_imgLogo,
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
    // The layout's pixels, whatever font the system found.
    const std::map<int, SIZE> expected = {
        {IDC_edSource, {276, 21}},       {IDC_mProgress, {276, 0}}, {IDC_dbtUpdateOk, {75, 25}},
        {IDC_dbtUpdateCancel, {75, 25}}, {IDC_imgLogo, {54, 106}},  {IDC_StatusBar, {394, 19}},
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

// Each event as a person makes it, by the mouse at the control's centre and by the keyboard.
TEST_F(TDialogWin32Test, EachEventReachesThePresenter) {
    const auto item = [](HWND dialog, int id) { return GetDlgItem(dialog, id); };
    const std::u16string typed = std::u16string(DefaultInternetSource) + u"/typed";
    std::vector<TAction> actions = {
        // The box shows as in a dialog opened with it: the show ends the memo above it.
        {"the dialog shown with the box",
         [&](HWND d) {
             ShowWindow(d, SW_HIDE);
             ShowWindow(item(d, IDC_cbMarkDates), SW_SHOW);
             ShowWindow(d, SW_SHOW);
             return true;
         },
         [](HWND d) { return IsWindowVisible(d) != FALSE; }},
        {"typing in the source",
         [&](HWND d) { return ClickAt(item(d, IDC_edSource)) && PressKeys({VK_END}) && Type(u"/typed"); },
         [&](HWND) { return Presenter().Source() == typed; }},
        {"a click on Local", [&](HWND d) { return ClickAt(item(d, IDC_rgLocationLocal)); },
         [this](HWND) { return Presenter().Location() == SourceLocation::Local; }},
        {"a click on Internet", [&](HWND d) { return ClickAt(item(d, IDC_rgLocationInternet)); },
         [this](HWND) { return Presenter().Location() == SourceLocation::Internet; }},
        // The box turns as the presenter says: the system leaves a three-state box to its dialog.
        {"a click on the box", [&](HWND d) { return ClickAt(item(d, IDC_cbMarkDates)); },
         [&](HWND d) {
             return SendMessageW(item(d, IDC_cbMarkDates), BM_GETCHECK, 0, 0) == BST_INDETERMINATE &&
                    TForm::WindowText(item(d, IDC_cbMarkDates)) ==
                        u"mark activity dates (for undefined only)";
         }},
        // No UnRAR library beside the host: "Get data" stops at its check, before any run.
        {"Get data", [&](HWND d) { return ClickAt(item(d, IDC_dbtUpdateOk)); },
         [this](HWND) { return !FHost.Messages.empty(); }},
        // A run that updates something: "Get data" is disabled after it.
        {"Get data, a good run",
         [&](HWND d) {
             FRuns = [](IUpdateProgress&) { return std::make_unique<TGoodRun>(); };
             return ClickAt(item(d, IDC_dbtUpdateOk));
         },
         [&](HWND d) { return Presenter().IsUpdateDone() && !IsWindowEnabled(item(d, IDC_dbtUpdateOk)); }},
        // Esc, as Close and the close box: the presenter's close keeps the source of a good run.
        {"Esc", [](HWND) { return PressKeys({VK_ESCAPE}); },
         [](HWND d) { return IsWindowVisible(d) == FALSE; }},
    };
    EXPECT_EQ(Perform(std::move(actions)), IDCANCEL);
    ASSERT_EQ(FHost.Messages.size(), 1u);
    EXPECT_EQ(FHost.Messages[0].second, u"UnRAR component needed");
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
// into its name field and presses its OK button, or presses Cancel when file is empty. shown tells that
// it came.
UINT_PTR AnswerOpenDialog(const std::u16string& file, bool& shown) {
    return Later([file, &shown] {
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

// The browse button is pressed by a real click at its centre, which no other control covers, when the
// dialog opens and again after a run; the field's painting never covers it.
TEST_F(TDialogWin32Test, TheBrowseButtonTakesAClickBeforeAndAfterARun) {
    const std::u16string chosen = FScratch / u"\u0441\u043F\u0438\u0441\u043E\u043A.rar";
    WriteFile(chosen, "Rar!");
    // A run that gets past its check of the components and fails at the callbook, as the host refuses it.
    WriteFile(FScratch / u"UnRAR.dll", "");
    FHost.Host().Faults().failing["IHostServer.CreateQuery"] = {E_FAIL, u"The callbook is locked"};
    bool cancelledShown = false, confirmedShown = false, afterRunShown = false;
    const auto item = [](HWND dialog, int id) { return GetDlgItem(dialog, id); };
    const auto browse = [&](const std::u16string& answer, bool& shown) {
        return [&shown, &item, answer](HWND d) {
            AnswerOpenDialog(answer, shown);
            return ClickAt(item(d, IDC_edSourceButton));
        };
    };
    const auto answered = [](bool& shown) {
        return [&shown](HWND) { return shown && ShownWindow(u"Select updates...") == nullptr; };
    };
    std::u16string before, afterCancel;
    bool wholeAtFirst = false, wholeAfterRun = false;
    std::vector<TAction> actions = {
        {"a click on Local", [&](HWND d) { return ClickAt(item(d, IDC_rgLocationLocal)); },
         [&](HWND d) {
             before = TForm::WindowText(item(d, IDC_edSource));
             if (!IsWindowVisible(item(d, IDC_edSourceButton)))
                 return false;
             wholeAtFirst = ShowsWhole(item(d, IDC_edSourceButton));
             return true;
         }},
        {"the browse button, cancelled", browse({}, cancelledShown),
         [&](HWND d) {
             afterCancel = TForm::WindowText(item(d, IDC_edSource));
             return answered(cancelledShown)(d);
         }},
        {"the browse button, a file confirmed", browse(chosen, confirmedShown),
         [&](HWND d) { return answered(confirmedShown)(d) && Presenter().Source() == chosen; }},
        {"a run", [&](HWND d) { return ClickAt(item(d, IDC_dbtUpdateOk)); },
         [&](HWND d) { return !FHost.Messages.empty() && IsWindowEnabled(item(d, IDC_edSource)); }},
        {"a look at the button", [](HWND) { return true; },
         [&](HWND d) {
             wholeAfterRun = ShowsWhole(item(d, IDC_edSourceButton));
             return true;
         }},
        {"the browse button after the run", browse({}, afterRunShown), answered(afterRunShown)},
        {"Close", [&](HWND d) { return ClickAt(item(d, IDC_dbtUpdateCancel)); },
         [](HWND d) { return IsWindowVisible(d) == FALSE; }},
    };
    EXPECT_EQ(Perform(std::move(actions)), IDCANCEL);
    EXPECT_TRUE(cancelledShown);
    EXPECT_TRUE(confirmedShown);
    EXPECT_TRUE(afterRunShown);
    EXPECT_TRUE(wholeAtFirst) << "the button is painted over when it shows";
    EXPECT_TRUE(wholeAfterRun) << "the button is painted over after the run";
    EXPECT_EQ(afterCancel, before) << "a cancelled dialog changes nothing";
    EXPECT_EQ(StringToUtf8(Presenter().Source()), StringToUtf8(chosen)) << "the source shows the chosen file";
    ASSERT_EQ(FHost.Messages.size(), 1u);
    EXPECT_NE(FHost.Messages[0].first.find(u"The callbook is locked"), std::u16string::npos);
}

// F4 and Alt+Down in the source field press the browse button, as in a drop-down field; not while the
// button is hidden (an address is typed).
TEST_F(TDialogWin32Test, TheBrowseKeysInTheSourceField) {
    struct TCase {
        const char* keys;
        std::vector<WORD> press;
        int location;
        bool opens;
    } cases[] = {
        {"F4, Local", {VK_F4}, IDC_rgLocationLocal, true},
        {"Alt+Down, Local", {VK_MENU, VK_DOWN}, IDC_rgLocationLocal, true},
        {"F4, Internet", {VK_F4}, IDC_rgLocationInternet, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.keys);
        bool shown = false;
        UINT_PTR answer = 0;
        std::vector<TAction> actions = {
            {"the location", [&](HWND d) { return ClickAt(GetDlgItem(d, c.location)); },
             [&](HWND d) {
                 return SendMessageW(GetDlgItem(d, c.location), BM_GETCHECK, 0, 0) == BST_CHECKED;
             }},
            {"the field", [&](HWND d) { return ClickAt(GetDlgItem(d, IDC_edSource)); },
             [&](HWND d) { return GetFocus() == GetDlgItem(d, IDC_edSource); }},
            // Typing after the keys shows that they were handled.
            {"the keys",
             [&](HWND) {
                 answer = AnswerOpenDialog({}, shown);
                 return PressKeys(c.press) && (c.opens || (PressKeys({VK_END}) && Type(u"x")));
             },
             [&](HWND d) {
                 const bool handled = c.opens
                                          ? shown && ShownWindow(u"Select updates...") == nullptr
                                          : TForm::WindowText(GetDlgItem(d, IDC_edSource)).ends_with(u"x");
                 if (handled && !shown)
                     Forget(answer);
                 return handled;
             }},
        };
        Perform(std::move(actions));
        EXPECT_EQ(shown, c.opens);
        Open();
    }
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
