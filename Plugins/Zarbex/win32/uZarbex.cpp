#include "Plugins/Zarbex/win32/uZarbex.h"

#include "Includes/uCommFunc.h"
#include "Platform/Application.h"
#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/BStr.h"
#include "Plugins/Zarbex/GuardHandler.h"
#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/win32/ZarbexLogo.h"
#include "Plugins/Zarbex/win32/uZarbexIds.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <vector>

bool UpdateDone = false;

namespace {

// The client area and the docked parts, in pixels.
constexpr int ClientWidth = 394;
constexpr int ClientHeight = 266;
constexpr int StatusBarHeight = 19;
constexpr int ButtonColumnWidth = 87;
constexpr int InfoPaneWidth = ClientWidth - 150 - 89;
constexpr int ProgressPaneWidth = 150;
constexpr int ProgressSegments = 20;
// The main panel: 1 pixel of space on its left and 2 below.
constexpr RECT PanelRect{1, 0, ClientWidth - ButtonColumnWidth, ClientHeight - StatusBarHeight - 2};

UnicodeString WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return UnicodeString(Utf16Ptr(buffer.data()), static_cast<std::size_t>(std::max(copied, 0)));
}

// A control's rectangle in its dialog's client coordinates.
RECT ClientRectOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

UnicodeString ExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size())
            return UnicodeString(Utf16Ptr(buffer.data()), length);
        buffer.resize(buffer.size() * 2);
    }
}

bool IsPathSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool ShowOpenDialog(TOpenDialog& dialog, HWND owner) {
    // "Description|pattern" pairs become the system's list of NUL-separated strings.
    UnicodeString filter = dialog.Filter;
    std::replace(filter.begin(), filter.end(), u'|', u'\0');
    filter.append(2, u'\0');
    std::vector<wchar_t> file(32768, L'\0');
    std::copy_n(WidePtr(dialog.FileName), std::min(dialog.FileName.size(), file.size() - 1), file.begin());
    const UnicodeString defaultExt = !dialog.DefaultExt.empty() && dialog.DefaultExt[0] == u'.'
                                         ? dialog.DefaultExt.substr(1)
                                         : dialog.DefaultExt;
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = WidePtr(filter);
    ofn.nFilterIndex = static_cast<DWORD>(dialog.FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : WidePtr(dialog.InitialDir);
    ofn.lpstrTitle = WidePtr(dialog.Title);
    ofn.lpstrDefExt = defaultExt.empty() ? nullptr : WidePtr(defaultExt);
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetOpenFileNameW(&ofn)) {
        // Zero: the user cancelled; anything else: the dialog itself failed.
        if (const DWORD error = CommDlgExtendedError())
            throw EOSError(Format(u"The file selection dialog could not be shown (common dialog error %x)",
                                  std::int64_t{error}));
        return false;
    }
    dialog.FileName = Utf16String(file.data());
    dialog.FilterIndex = static_cast<int>(ofn.nFilterIndex);
    return true;
}

} // namespace

TfrmZarbex::TfrmZarbex(ICore* core) : TForm(core, IDD_frmZarbex) {
    // The status bar's window class.
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    dlgSource.Title = u"Select updates...";
    dlgSource.Execute = [this](TOpenDialog& dialog) { return ShowOpenDialog(dialog, Handle()); };
}

TfrmZarbex::~TfrmZarbex() = default;

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               const ComPtr<IHostServer>& server) {
    std::unique_ptr<TfrmZarbex> dialog(new TfrmZarbex(core));
    dialog->FCaption = PluginIdentity::Name;
    dialog->FKernel = kernel;
    dialog->FServer = server;
    if (!dialog->FKernel)
        throw EInvalidOperation(u"The host offers no kernel services (IHostKernel)");
    BStr value;
    HostCall(dialog->FKernel->GetValue(BStr(u"APPINI").get(), value.put()));
    dialog->FIniPath = value.str();
    dialog->FSection = u"Bureau-UR";
    dialog->FInternetSource = DefaultInternetSource;
    HostCall(dialog->FKernel->GetValue(BStr(u"DOWNLOAD").get(), value.put()));
    dialog->FLocalSource = value.str() + u"\\" + DefaultArchiveName;
    dialog->dlgSource.Filter = u"RAR archive files|*.rar";
    dialog->dlgSource.FilterIndex = 1;
    dialog->FLocation = SourceLocation::Internet;
    dialog->markDatesVisible_ = false;
    return dialog;
}

HWND TfrmZarbex::Item(int id) const {
    return GetDlgItem(Handle(), id);
}

void TfrmZarbex::FormCreate() {
    SetWindowTextW(Handle(), WidePtr(FCaption));
    DockControls();

    // The labels and the group's caption in bold.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0)), sizeof font, &font);
    font.lfWeight = FW_BOLD;
    boldFont_.reset(CreateFontIndirectW(&font));
    for (int id : {IDC_lblSource, IDC_rgLocation, IDC_lblProgress})
        SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), FALSE);

    logo_ = ZarbexLogo(GetSysColor(COLOR_BTNFACE));
    SendMessageW(Item(IDC_imgLogo), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo_.get()));

    // The memo holds what a run reports, however long.
    SendMessageW(Item(IDC_mProgress), EM_SETLIMITTEXT, 0, 0);
    if (!markDatesVisible_)
        ShowWindow(Item(IDC_cbMarkDates), SW_HIDE);
    sourceText_ = SourceText();
}

void TfrmZarbex::DockControls() {
    // The client area in pixels, whatever the dialog units came to with the font the system found.
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE));
    RECT frame{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred over the owner, or over the screen when there is none.
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HWND owner = GetWindow(Handle(), GW_OWNER); owner != nullptr && IsWindowVisible(owner))
        GetWindowRect(owner, &over);
    SetWindowPos(Handle(), nullptr, over.left + (over.right - over.left - width) / 2,
                 over.top + (over.bottom - over.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    // The layout is made for Tahoma 8 at 96 dots per inch, 6 by 13 pixels of base units: whatever the
    // font the system found came to, every control goes where it would be with those.
    RECT units{0, 0, 4, 8};
    MapDialogRect(Handle(), &units);
    for (HWND child = GetWindow(Handle(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = ClientRectOf(child);
        SetWindowPos(child, nullptr, MulDiv(rect.left, 6, units.right), MulDiv(rect.top, 13, units.bottom),
                     MulDiv(rect.right - rect.left, 6, units.right),
                     MulDiv(rect.bottom - rect.top, 13, units.bottom), SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The status bar along the bottom edge: status text, the segmented progress, an empty pane.
    HWND statusBar = Item(IDC_StatusBar);
    SetWindowPos(statusBar, nullptr, 0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const int parts[] = {InfoPaneWidth, InfoPaneWidth + ProgressPaneWidth, -1};
    SendMessageW(statusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    SendMessageW(statusBar, SB_SETTEXTW, 1 | SBT_OWNERDRAW, 0);
    SendMessageW(statusBar, SB_SETTEXTW, 2 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(L""));
}

void TfrmZarbex::PaintPanel() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT panel = PanelRect;
    DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
    EndPaint(Handle(), &paint);
}

void TfrmZarbex::DrawProgressPane(const DRAWITEMSTRUCT& item) {
    // Twenty segments in the grey-text colour, as many lit as the percentage fills; no number.
    RECT inner = item.rcItem;
    InflateRect(&inner, -2, -2);
    const int width = inner.right - inner.left;
    const int lit = progressPercent_ * ProgressSegments / 100;
    HBRUSH brush = GetSysColorBrush(COLOR_GRAYTEXT);
    for (int i = 0; i < lit; ++i) {
        RECT segment{inner.left + width * i / ProgressSegments, inner.top,
                     inner.left + width * (i + 1) / ProgressSegments - 1, inner.bottom};
        FillRect(item.hDC, &segment, brush);
    }
}

bool TfrmZarbex::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        switch (id) {
        case IDC_edSource:
            if (code == EN_CHANGE) {
                const UnicodeString text = SourceText();
                if (text != sourceText_) {
                    sourceText_ = text;
                    Guard([this] { edSourceChange(); });
                }
            }
            break;
        case IDC_edSourceButton:
            if (code == BN_CLICKED)
                Guard([this] { edSourceButtonClick(); });
            break;
        case IDC_rgLocationInternet:
        case IDC_rgLocationLocal:
            if (code == BN_CLICKED) {
                const int index = id == IDC_rgLocationInternet ? 0 : 1;
                // A click on the item already selected selects nothing new.
                const int selected = FLocation == SourceLocation::Internet ? 0
                                     : FLocation == SourceLocation::Local  ? 1
                                                                           : -1;
                if (index != selected) {
                    Guard([this, index] { rgLocationChanging(index); });
                    SelectLocationItem(index);
                }
            }
            break;
        case IDC_cbMarkDates:
            if (code == BN_CLICKED && !markDatesReadOnly_) {
                // Unchecked, grayed, checked, and round again.
                const UINT state = static_cast<UINT>(SendMessageW(Item(IDC_cbMarkDates), BM_GETCHECK, 0, 0));
                SetMarkDatesState(state == BST_UNCHECKED       ? BST_INDETERMINATE
                                  : state == BST_INDETERMINATE ? BST_CHECKED
                                                               : BST_UNCHECKED);
            }
            break;
        case IDC_dbtUpdateOk:
            if (code == BN_CLICKED)
                Guard([this] { dbtUpdateClickOk(); });
            break;
        case IDC_dbtUpdateCancel: // "Close", Esc and the close box
            Guard([this] { dbtUpdateClickCancel(); });
            break;
        default:
            return false;
        }
        result = TRUE;
        return true;
    }
    case WM_SETCURSOR:
        if (!busyCursor_)
            return false;
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);
        result = TRUE;
        return true;
    case WM_CTLCOLORSTATIC:
        // The memo is read-only but drawn in the normal window colour.
        if (reinterpret_cast<HWND>(lParam) != Item(IDC_mProgress))
            return false;
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        return true;
    case WM_DRAWITEM:
        if (wParam != IDC_StatusBar)
            return false;
        DrawProgressPane(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_PAINT:
        PaintPanel();
        result = TRUE;
        return true;
    default:
        return false;
    }
}

void TfrmZarbex::Guard(const std::function<void()>& handler) {
    // A host that cannot show the message leaves it to the system's message box.
    GuardHandler(FKernel, handler, [this](const UnicodeString& text) {
        MessageBoxW(Handle(), WidePtr(text), L"Error", MB_OK | MB_ICONERROR);
    });
}

TIniFile& TfrmZarbex::Settings() {
    if (!iniUpdate)
        iniUpdate = std::make_unique<TIniFile>(ResolveIniPath(FIniPath, ExecutablePath()));
    return *iniUpdate;
}

UnicodeString TfrmZarbex::SourceText() const {
    return WindowText(Item(IDC_edSource));
}

void TfrmZarbex::SetSourceText(const UnicodeString& text) {
    // The field's change notification runs edSourceChange when the text differs.
    if (text != SourceText())
        SetWindowTextW(Item(IDC_edSource), WidePtr(text));
}

UnicodeString TfrmZarbex::StatusText() const {
    HWND statusBar = Item(IDC_StatusBar);
    const auto length = LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, 0, 0));
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(statusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer.data()));
    return Utf16String(buffer.data());
}

void TfrmZarbex::SetStatusText(const UnicodeString& text) {
    SendMessageW(Item(IDC_StatusBar), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(WidePtr(text)));
}

void TfrmZarbex::FormShow() {
    Guard([this] { FormActivate(); });
}

void TfrmZarbex::FormActivate() {
    const UnicodeString location = Settings().ReadString(FSection, u"Location", u"");
    if (!location.empty()) {
        if (location == u"Internet")
            FLocation = SourceLocation::Internet;
        else if (location == u"Local")
            FLocation = SourceLocation::Local;
    }
    UnicodeString resource;
    if (FLocation == SourceLocation::Internet) {
        resource = Settings().ReadString(FSection, u"Resource", u"");
        if (resource.empty())
            resource = FInternetSource;
    } else if (FLocation == SourceLocation::Local) {
        resource = Settings().ReadString(FSection, u"Resource", u"");
        if (resource.empty())
            resource = FLocalSource;
    }
    if (FLocation == SourceLocation::Internet) {
        SelectLocationItem(0);
        FInternetSource = resource;
    } else if (FLocation == SourceLocation::Local) {
        SelectLocationItem(1);
        FLocalSource = resource;
    }
    SetSourceText(resource);
    // The memo ends 5 pixels above the check box when it shows, 15 above the panel's edge when not.
    HWND memo = Item(IDC_mProgress);
    HWND markDates = Item(IDC_cbMarkDates);
    const bool markDatesShown = (GetWindowLongPtrW(markDates, GWL_STYLE) & WS_VISIBLE) != 0;
    const RECT memoRect = ClientRectOf(memo);
    const RECT markDatesRect = ClientRectOf(markDates);
    const int bottom = markDatesShown ? markDatesRect.top - 5 : PanelRect.bottom - 15;
    SetWindowPos(memo, nullptr, 0, 0, memoRect.right - memoRect.left, bottom - memoRect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateDone = false;
    ClearMemo();
    ShowProgress(0);
    CheckLocation();
    CheckActions();
}

void TfrmZarbex::RequestClose() {
    // A close asked for during a run waits for the run to return.
    if (running_) {
        closeRequested_ = true;
        return;
    }
    Guard([this] { FormClose(); });
    ModalResult(IDCANCEL);
}

void TfrmZarbex::FormClose() {
    if (!UpdateDone)
        return;
    Settings().WriteString(FSection, u"Resource", SourceText());
    const char16_t* value = FLocation == SourceLocation::Internet ? u"Internet"
                            : FLocation == SourceLocation::Local  ? u"Local"
                                                                  : u"";
    Settings().WriteString(FSection, u"Location", value);
}

void TfrmZarbex::CheckActions() {
    const UnicodeString text = SourceText();
    bool ready = !Trim(text).empty();
    ready = ready && (FLocation == SourceLocation::Internet ||
                      (FLocation == SourceLocation::Local && FileExists(text)));
    EnableWindow(Item(IDC_dbtUpdateOk), ready && !UpdateDone && !running_);
}

void TfrmZarbex::SetMarkDatesState(UINT state) {
    HWND markDates = Item(IDC_cbMarkDates);
    if (static_cast<UINT>(SendMessageW(markDates, BM_GETCHECK, 0, 0)) == state)
        return;
    SendMessageW(markDates, BM_SETCHECK, state, 0);
    Guard([this] { cbMarkDatesClick(); });
}

void TfrmZarbex::SetMarkDatesReadOnly(bool readOnly) {
    // Clicks reach a read-only box and are ignored; it takes no focus.
    markDatesReadOnly_ = readOnly;
    HWND markDates = Item(IDC_cbMarkDates);
    auto style = GetWindowLongPtrW(markDates, GWL_STYLE);
    style = readOnly ? style & ~LONG_PTR{WS_TABSTOP} : style | WS_TABSTOP;
    SetWindowLongPtrW(markDates, GWL_STYLE, style);
}

void TfrmZarbex::SelectLocationItem(int index) {
    CheckRadioButton(Handle(), IDC_rgLocationInternet, IDC_rgLocationLocal,
                     index == 0 ? IDC_rgLocationInternet : IDC_rgLocationLocal);
}

void TfrmZarbex::CheckLocation() {
    const bool internet = FLocation == SourceLocation::Internet;
    const bool local = FLocation == SourceLocation::Local;
    // Typing is allowed for an address only: a local path comes from the browse button.
    HWND source = Item(IDC_edSource);
    SendMessageW(source, EM_SETREADONLY, internet ? FALSE : TRUE, 0);
    HWND browse = Item(IDC_edSourceButton);
    ShowWindow(browse, local ? SW_SHOW : SW_HIDE);
    // The text stops short of the button at the field's right end.
    const RECT browseRect = ClientRectOf(browse);
    SendMessageW(source, EM_SETMARGINS, EC_RIGHTMARGIN,
                 MAKELPARAM(0, local ? browseRect.right - browseRect.left + 2 : 0));
    SetSourceText(internet ? FInternetSource : local ? FLocalSource : UnicodeString());
    if (internet) {
        SetMarkDatesReadOnly(false);
    } else {
        SetMarkDatesState(BST_UNCHECKED);
        SetMarkDatesReadOnly(true);
    }
}

void TfrmZarbex::rgLocationChanging(int newIndex) {
    FLocation = newIndex == 0   ? SourceLocation::Internet
                : newIndex == 1 ? SourceLocation::Local
                                : SourceLocation::None;
    CheckLocation();
}

void TfrmZarbex::edSourceChange() {
    UpdateDone = false;
    CheckActions();
}

void TfrmZarbex::cbMarkDatesClick() {
    HWND markDates = Item(IDC_cbMarkDates);
    switch (SendMessageW(markDates, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        SetWindowTextW(markDates, L"mark activity dates (full, traffic && time expensive)");
        break;
    case BST_INDETERMINATE:
        SetWindowTextW(markDates, L"mark activity dates (for undefined only)");
        break;
    default:
        SetWindowTextW(markDates, L"mark activity dates");
        break;
    }
    UpdateDone = false;
    CheckActions();
}

void TfrmZarbex::edSourceButtonClick() {
    const UnicodeString text = SourceText();
    const auto lastSeparator = std::find_if(text.rbegin(), text.rend(), IsPathSeparator);
    const std::size_t componentStart = static_cast<std::size_t>(text.rend() - lastSeparator);
    const UnicodeString lastComponent = text.substr(componentStart);
    const std::size_t dot = lastComponent.rfind(u'.');
    const UnicodeString extension = dot == UnicodeString::npos ? UnicodeString() : lastComponent.substr(dot);
    UnicodeString folder, name;
    if (FileExists(text)) {
        folder = componentStart == 0 ? UnicodeString() : text.substr(0, componentStart - 1);
        name = lastComponent;
    } else {
        folder = text;
    }
    dlgSource.InitialDir = folder;
    const std::size_t at = extension.empty() ? UnicodeString::npos : name.find(extension);
    if (at != UnicodeString::npos)
        dlgSource.FileName = name.substr(0, at);
    dlgSource.DefaultExt = extension;
    if (dlgSource.Execute && dlgSource.Execute(dlgSource))
        SetSourceText(dlgSource.FileName);
}

void TfrmZarbex::dbtUpdateClickCancel() {
    RequestClose();
}

void TfrmZarbex::MsgInfo(const UnicodeString& text) {
    SetStatusText(text);
}

void TfrmZarbex::ShowProgress(long double fraction) {
    progressPercent_ = std::clamp<int>(static_cast<std::int16_t>(std::trunc(fraction * 100)), 0, 100);
    // The pane is drawn by the dialog (WM_DRAWITEM): setting it again makes the status bar redraw it.
    SendMessageW(Item(IDC_StatusBar), SB_SETTEXTW, 1 | SBT_OWNERDRAW, 0);
    ProcessMessages();
}

void TfrmZarbex::MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) {
    UnicodeString all = WindowText(Item(IDC_mProgress));
    for (std::int32_t i = 0; i < level; ++i)
        all += u"   ";
    all += text;
    // Every line end the text brings (CR, LF or CR LF) is one line break of the memo: CR LF.
    UnicodeString memo;
    memo.reserve(all.size() + 2);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == u'\r' || all[i] == u'\n') {
            if (all[i] == u'\r' && i + 1 < all.size() && all[i + 1] == u'\n')
                ++i;
            memo += u"\r\n";
        } else {
            memo += all[i];
        }
    }
    if (lineEnd)
        memo += u"\r\n";
    HWND control = Item(IDC_mProgress);
    SetWindowTextW(control, WidePtr(memo));
    std::size_t lines = 1;
    for (std::size_t at = memo.find(u"\r\n"); at != UnicodeString::npos; at = memo.find(u"\r\n", at + 2))
        ++lines;
    if (memo.size() >= 2 && memo.compare(memo.size() - 2, 2, u"\r\n") == 0)
        --lines;
    // Storing the text brought the view back to its first line: the last line with text goes to the top.
    if (lines > 1)
        SendMessageW(control, EM_LINESCROLL, 0, static_cast<LPARAM>(lines - 1));
    ProcessMessages();
}

void TfrmZarbex::dbtUpdateClickOk() {
    const UnicodeString source = SourceText();
    TUpdateRun run(FKernel, FServer, *this, FCaption);
    if (!run.CheckComponents(FLocation, source))
        return;
    UpdateDone = true;
    try {
        UpdateDone = run.Execute(FLocation, source);
    } catch (...) {
        // The dialog must not stay stuck: the flag and the buttons come back before the error is shown.
        UpdateDone = false;
        CheckActions();
        if (closeRequested_)
            RequestClose();
        throw;
    }
    CheckActions();
    if (closeRequested_)
        RequestClose();
}

void TfrmZarbex::ClearMemo() {
    SetWindowTextW(Item(IDC_mProgress), L"");
}

void TfrmZarbex::ClearEntryMarks() {
    SetStatusText(u"");
}

void TfrmZarbex::AddEntryMark() {
    SetStatusText(StatusText() + u">");
}

void TfrmZarbex::SetBusyCursor(bool busy) {
    if (busy == busyCursor_)
        return;
    busyCursor_ = busy;
    // Shown at once; WM_SETCURSOR keeps it while the mouse moves over the dialog.
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TfrmZarbex::LockControls(bool locked) {
    running_ = locked;
    // No second run may start inside the first: the source and its options wait for the run.
    for (int id :
         {IDC_edSource, IDC_edSourceButton, IDC_rgLocationInternet, IDC_rgLocationLocal, IDC_cbMarkDates})
        EnableWindow(Item(id), !locked);
    CheckActions();
}

bool TfrmZarbex::CancelRequested() {
    // Close during a run: the run stops what it can stop (a download), and the dialog closes after it.
    return running_ && closeRequested_;
}

void TfrmZarbex::ProcessMessages() {
    // A breath every few milliseconds keeps the window as responsive as one per call, and costs far less
    // than one per line of a long list.
    const std::uint32_t now = GetTickCount();
    if (breathed_ && now - lastBreath_ < BreathIntervalMs)
        return;
    breathed_ = true;
    lastBreath_ = now;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The application is ending: its own loop must see the request too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (Handle() != nullptr && IsDialogMessageW(Handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
