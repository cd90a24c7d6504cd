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
}

TfrmZarbex::~TfrmZarbex() = default;

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               const ComPtr<IHostServer>& server) {
    std::unique_ptr<TfrmZarbex> dialog(new TfrmZarbex(core));
    dialog->FKernel = kernel;
    dialog->FPresenter = std::make_unique<TZarbexPresenter>(*dialog, kernel, server, PluginIdentity::Name);
    dialog->FMarkDatesVisible = false;
    return dialog;
}

HWND TfrmZarbex::Item(int id) const {
    return GetDlgItem(Handle(), id);
}

void TfrmZarbex::FormCreate() {
    SetWindowTextW(Handle(), WidePtr(FPresenter->Caption()));
    DockControls();

    // The labels and the group's caption in bold.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0)), sizeof font, &font);
    font.lfWeight = FW_BOLD;
    FBoldFont.reset(CreateFontIndirectW(&font));
    for (int id : {IDC_lblSource, IDC_rgLocation, IDC_lblProgress})
        SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(FBoldFont.get()), FALSE);

    FLogo = ZarbexLogo(GetSysColor(COLOR_BTNFACE));
    SendMessageW(Item(IDC_imgLogo), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(FLogo.get()));

    // The memo holds what a run reports, however long.
    SendMessageW(Item(IDC_mProgress), EM_SETLIMITTEXT, 0, 0);
    if (!FMarkDatesVisible)
        ShowWindow(Item(IDC_cbMarkDates), SW_HIDE);
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
    const int lit = FProgressPercent * ProgressSegments / 100;
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
            if (code == EN_CHANGE)
                Guard([this] { FPresenter->edSourceChange(SourceText()); });
            break;
        case IDC_edSourceButton:
            if (code == BN_CLICKED)
                Guard([this] { FPresenter->edSourceButtonClick(); });
            break;
        case IDC_rgLocationInternet:
        case IDC_rgLocationLocal:
            if (code == BN_CLICKED)
                Guard([this, id] { FPresenter->rgLocationClick(id == IDC_rgLocationInternet ? 0 : 1); });
            break;
        case IDC_cbMarkDates:
            if (code == BN_CLICKED)
                Guard([this] { FPresenter->cbMarkDatesPress(); });
            break;
        case IDC_dbtUpdateOk:
            if (code == BN_CLICKED)
                Guard([this] { FPresenter->dbtUpdateClickOk(); });
            break;
        case IDC_dbtUpdateCancel: // "Close", Esc and the close box
            CloseWindow();
            break;
        default:
            return false;
        }
        result = TRUE;
        return true;
    }
    case WM_SETCURSOR:
        if (!FBusyCursor)
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

UnicodeString TfrmZarbex::SourceText() const {
    return WindowText(Item(IDC_edSource));
}

void TfrmZarbex::FormShow() {
    // The memo ends 5 pixels above the check box when it shows, 15 above the panel's edge when not.
    HWND memo = Item(IDC_mProgress);
    HWND markDates = Item(IDC_cbMarkDates);
    const bool markDatesShown = (GetWindowLongPtrW(markDates, GWL_STYLE) & WS_VISIBLE) != 0;
    const RECT memoRect = ClientRectOf(memo);
    const RECT markDatesRect = ClientRectOf(markDates);
    const int bottom = markDatesShown ? markDatesRect.top - 5 : PanelRect.bottom - 15;
    SetWindowPos(memo, nullptr, 0, 0, memoRect.right - memoRect.left, bottom - memoRect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Guard([this] { FPresenter->FormActivate(); });
}

void TfrmZarbex::CloseWindow() {
    if (!FPresenter->CloseQuery())
        return;
    Guard([this] { FPresenter->FormClose(); });
    ModalResult(IDCANCEL);
}

bool TfrmZarbex::AskForFile(TOpenDialog& dialog) {
    return ShowOpenDialog(dialog, Handle());
}

void TfrmZarbex::SetSourceText(const UnicodeString& text) {
    SetWindowTextW(Item(IDC_edSource), WidePtr(text));
}

void TfrmZarbex::SetSourceReadOnly(bool readOnly) {
    SendMessageW(Item(IDC_edSource), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void TfrmZarbex::SetBrowseVisible(bool visible) {
    HWND browse = Item(IDC_edSourceButton);
    ShowWindow(browse, visible ? SW_SHOW : SW_HIDE);
    // The text stops short of the button at the field's right end.
    const RECT browseRect = ClientRectOf(browse);
    SendMessageW(Item(IDC_edSource), EM_SETMARGINS, EC_RIGHTMARGIN,
                 MAKELPARAM(0, visible ? browseRect.right - browseRect.left + 2 : 0));
}

void TfrmZarbex::SetLocationItem(int index) {
    CheckRadioButton(Handle(), IDC_rgLocationInternet, IDC_rgLocationLocal,
                     index == 0 ? IDC_rgLocationInternet : IDC_rgLocationLocal);
}

void TfrmZarbex::SetMarkDatesState(TMarkDatesState state) {
    const WPARAM check = state == TMarkDatesState::Checked  ? BST_CHECKED
                         : state == TMarkDatesState::Grayed ? BST_INDETERMINATE
                                                            : BST_UNCHECKED;
    SendMessageW(Item(IDC_cbMarkDates), BM_SETCHECK, check, 0);
}

void TfrmZarbex::SetMarkDatesCaption(const UnicodeString& caption) {
    SetWindowTextW(Item(IDC_cbMarkDates), WidePtr(caption));
}

void TfrmZarbex::SetMarkDatesReadOnly(bool readOnly) {
    // Clicks reach a read-only box and are ignored; it takes no focus.
    HWND markDates = Item(IDC_cbMarkDates);
    auto style = GetWindowLongPtrW(markDates, GWL_STYLE);
    style = readOnly ? style & ~LONG_PTR{WS_TABSTOP} : style | WS_TABSTOP;
    SetWindowLongPtrW(markDates, GWL_STYLE, style);
}

void TfrmZarbex::SetGetDataEnabled(bool enabled) {
    EnableWindow(Item(IDC_dbtUpdateOk), enabled);
}

void TfrmZarbex::SetSourceControlsEnabled(bool enabled) {
    for (int id :
         {IDC_edSource, IDC_edSourceButton, IDC_rgLocationInternet, IDC_rgLocationLocal, IDC_cbMarkDates})
        EnableWindow(Item(id), enabled);
}

void TfrmZarbex::ClearMemo() {
    SetWindowTextW(Item(IDC_mProgress), L"");
}

void TfrmZarbex::AppendMemo(const UnicodeString& text, std::size_t topLine) {
    // The memo's line end is CR LF.
    UnicodeString piece;
    piece.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (c == u'\n')
            piece += u'\r';
        piece += c;
    }
    HWND control = Item(IDC_mProgress);
    const int end = GetWindowTextLengthW(control);
    SendMessageW(control, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(WidePtr(piece)));
    const auto first = static_cast<LPARAM>(SendMessageW(control, EM_GETFIRSTVISIBLELINE, 0, 0));
    SendMessageW(control, EM_LINESCROLL, 0, static_cast<LPARAM>(topLine) - first);
}

void TfrmZarbex::SetStatusText(const UnicodeString& text) {
    SendMessageW(Item(IDC_StatusBar), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(WidePtr(text)));
}

void TfrmZarbex::SetProgressPercent(int percent) {
    FProgressPercent = percent;
    // The pane is drawn by the dialog (WM_DRAWITEM): setting it again makes the status bar redraw it.
    SendMessageW(Item(IDC_StatusBar), SB_SETTEXTW, 1 | SBT_OWNERDRAW, 0);
}

void TfrmZarbex::SetBusyCursor(bool busy) {
    FBusyCursor = busy;
    // Shown at once; WM_SETCURSOR keeps it while the mouse moves over the dialog.
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TfrmZarbex::ProcessMessages() {
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
