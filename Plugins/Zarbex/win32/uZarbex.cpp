#include "Plugins/Zarbex/win32/uZarbex.h"

#include "Includes/uCommFunc.h"
#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"
#include "PluginAPI/BStr.h"
#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/uZarbexLayout.h"
#include "Plugins/Zarbex/win32/ZarbexLogo.h"
#include "Plugins/Zarbex/win32/uZarbexIds.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

using namespace ZarbexLayout;

namespace {

// The id of a place's control; zero for a place that gets no window of its own.
constexpr int ControlId(TControl control) {
    switch (control) {
    case TControl::lblSource:
        return IDC_lblSource;
    case TControl::edSourceButton:
        return IDC_edSourceButton;
    case TControl::edSource:
        return IDC_edSource;
    case TControl::rgLocationCaption:
        return IDC_rgLocationCaption;
    case TControl::rgLocationLine:
        return IDC_rgLocationLine;
    case TControl::rgLocationInternet:
        return IDC_rgLocationInternet;
    case TControl::rgLocationLocal:
        return IDC_rgLocationLocal;
    case TControl::lblProgress:
        return IDC_lblProgress;
    case TControl::mProgress:
        return IDC_mProgress;
    case TControl::cbMarkDates:
        return IDC_cbMarkDates;
    case TControl::dbtUpdateOk:
        return IDC_dbtUpdateOk;
    case TControl::dbtUpdateCancel:
        return IDC_dbtUpdateCancel;
    case TControl::imgLogo:
        return IDC_imgLogo;
    case TControl::StatusBar:
        return IDC_StatusBar;
    default:
        return 0;
    }
}

// The window class and styles of a kind's control; no class for a kind that gets no window (the
// containers and the panes: the panel is painted by the dialog, the panes are the status bar's parts).
struct TWindowKind {
    const wchar_t* ClassName = nullptr;
    DWORD Style = 0;
    DWORD ExStyle = 0;
};

TWindowKind WindowKindOf(TKind kind) {
    constexpr DWORD sunken = WS_EX_CLIENTEDGE;
    switch (kind) {
    case TKind::Label:
        return {L"Static", SS_LEFT};
    case TKind::Edit:
        return {L"Edit", ES_AUTOHSCROLL | WS_TABSTOP, sunken};
    // No tab stop: the keyboard reaches it through the field (F4, Alt+Down).
    case TKind::BrowseButton:
        return {L"Button", BS_PUSHBUTTON};
    case TKind::Line:
        return {L"Static", SS_ETCHEDHORZ};
    // The dialog turns them as its rules say: neither turns itself on a click.
    case TKind::RadioItem:
        return {L"Button", BS_RADIOBUTTON};
    case TKind::Memo:
        return {L"Edit",
                ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL |
                    WS_TABSTOP,
                sunken};
    case TKind::CheckBox:
        return {L"Button", BS_3STATE | WS_TABSTOP};
    // "Get data" is no default button: Enter does not start a run.
    case TKind::Button:
        return {L"Button", BS_PUSHBUTTON | WS_TABSTOP};
    case TKind::Logo:
        return {L"Static", SS_BITMAP | SS_CENTERIMAGE};
    case TKind::StatusBar:
        return {STATUSCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER};
    default:
        return {};
    }
}

// A label starts a group of controls for the arrow keys, and so do the first of the location items and the
// first of the buttons.
bool StartsGroup(TKind kind, TKind previous) {
    return kind == TKind::Label || ((kind == TKind::RadioItem || kind == TKind::Button) && kind != previous);
}

bool ShowOpenDialog(TOpenDialog& dialog, HWND owner) {
    // The filter's pairs become the system's list of NUL-separated strings.
    UnicodeString filter;
    for (const auto& [description, pattern] : dialog.FilterPairs())
        filter += description + u'\0' + pattern + u'\0';
    filter += u'\0';
    std::vector<wchar_t> file(32768, L'\0');
    std::copy_n(WidePtr(dialog.FileName), std::min(dialog.FileName.size(), file.size() - 1), file.begin());
    const UnicodeString defaultExt = dialog.DefaultExtWithoutDot();
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

// The view shows what it is given; a control that reports the change back makes the presenter see its
// own value again, which changes nothing.
class TfrmZarbex::TView final : public IZarbexView {
public:
    explicit TView(TfrmZarbex& form) : FForm(form) {}

    void Show(const TZarbexViewState& state, TViewField fields) override;
    void ClearMemo() override { SetWindowTextW(Item(IDC_mProgress), L""); }
    void AppendMemo(const UnicodeString& text, std::size_t topLine) override;
    bool AskForFile(TOpenDialog& dialog) override { return ShowOpenDialog(dialog, FForm.Handle()); }
    void ShowError(const UnicodeString& text) override {
        MessageBoxW(FForm.Handle(), WidePtr(text), L"Error", MB_OK | MB_ICONERROR);
    }
    void CloseWindow() override { FForm.ModalResult(IDCANCEL); }
    void ProcessMessages() override { FForm.ProcessMessages(); }

private:
    HWND Item(int id) const { return FForm.Item(id); }
    void Enable(int id, bool enabled);
    void ShowSource(const TZarbexViewState& state, TViewField fields);
    void ShowMarkDates(const TZarbexViewState& state, TViewField fields);
    void ShowStatus(const TZarbexViewState& state, TViewField fields);

    TfrmZarbex& FForm;
};

void TfrmZarbex::TView::Show(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    // Before the window exists there is nothing to show: FormCreate hands the whole state.
    if (FForm.Handle() == nullptr)
        return;
    ShowSource(state, fields);
    ShowMarkDates(state, fields);
    if (Has(fields, GetDataEnabled))
        Enable(IDC_dbtUpdateOk, state.GetDataEnabled);
    if (Has(fields, SourceControlsEnabled)) {
        for (int id :
             {IDC_edSource, IDC_edSourceButton, IDC_rgLocationInternet, IDC_rgLocationLocal, IDC_cbMarkDates})
            Enable(id, state.SourceControlsEnabled);
    }
    ShowStatus(state, fields);
}

void TfrmZarbex::TView::Enable(int id, bool enabled) {
    HWND control = Item(id);
    // A control that is disabled with the focus would leave the dialog without one, and its keys (Esc,
    // Tab) unheard: the focus moves on first to the next control that takes it, as in the Qt dialog.
    if (!enabled && GetFocus() == control)
        SendMessageW(FForm.Handle(), WM_NEXTDLGCTL, 0, FALSE);
    EnableWindow(control, enabled);
}

void TfrmZarbex::TView::ShowSource(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    if (Has(fields, SourceText))
        SetWindowTextW(Item(IDC_edSource), WidePtr(state.SourceText));
    if (Has(fields, SourceReadOnly))
        SendMessageW(Item(IDC_edSource), EM_SETREADONLY, state.SourceReadOnly ? TRUE : FALSE, 0);
    if (Has(fields, BrowseVisible)) {
        HWND browse = Item(IDC_edSourceButton);
        ShowWindow(browse, state.BrowseVisible ? SW_SHOW : SW_HIDE);
        // The text stops short of the button at the field's right end.
        const RECT browseRect = ClientRectOf(browse);
        SendMessageW(Item(IDC_edSource), EM_SETMARGINS, EC_RIGHTMARGIN,
                     MAKELPARAM(0, state.BrowseVisible ? browseRect.right - browseRect.left + 2 : 0));
    }
    if (Has(fields, LocationItem)) {
        const int item = state.LocationItem;
        CheckDlgButton(FForm.Handle(), IDC_rgLocationInternet, item == 0 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(FForm.Handle(), IDC_rgLocationLocal, item == 1 ? BST_CHECKED : BST_UNCHECKED);
    }
}

void TfrmZarbex::TView::ShowMarkDates(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    HWND markDates = Item(IDC_cbMarkDates);
    if (Has(fields, MarkDates)) {
        constexpr WPARAM checks[] = {BST_UNCHECKED, BST_INDETERMINATE, BST_CHECKED};
        SendMessageW(markDates, BM_SETCHECK, checks[static_cast<int>(state.MarkDates)], 0);
    }
    if (Has(fields, MarkDatesCaption))
        SetWindowTextW(markDates, WidePtr(state.MarkDatesCaption));
    if (Has(fields, MarkDatesReadOnly)) {
        // Clicks reach a read-only box and are ignored; it takes no focus.
        const auto style = GetWindowLongPtrW(markDates, GWL_STYLE);
        SetWindowLongPtrW(markDates, GWL_STYLE,
                          state.MarkDatesReadOnly ? style & ~LONG_PTR{WS_TABSTOP} : style | WS_TABSTOP);
    }
    if (Has(fields, MarkDatesVisible))
        ShowWindow(markDates, state.MarkDatesVisible ? SW_SHOW : SW_HIDE);
}

void TfrmZarbex::TView::ShowStatus(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    if (Has(fields, StatusText))
        SendMessageW(Item(IDC_StatusBar), SB_SETTEXTW, 0,
                     reinterpret_cast<LPARAM>(WidePtr(state.StatusText)));
    if (Has(fields, ProgressPercent)) {
        FForm.FProgressPercent = state.ProgressPercent;
        // The pane is drawn by the dialog (WM_DRAWITEM): setting it again makes the status bar redraw it.
        SendMessageW(Item(IDC_StatusBar), SB_SETTEXTW, 1 | SBT_OWNERDRAW, 0);
    }
    if (Has(fields, BusyCursor)) {
        FForm.FBusyCursor = state.BusyCursor;
        // Shown at once; WM_SETCURSOR keeps it while the mouse moves over the dialog.
        SetCursor(LoadCursorW(nullptr, state.BusyCursor ? IDC_WAIT : IDC_ARROW));
    }
}

void TfrmZarbex::TView::AppendMemo(const UnicodeString& text, std::size_t topLine) {
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

TfrmZarbex::TfrmZarbex(ICore* core, const ComPtr<IHostKernel>& kernel, TUpdateRunFactory runs)
    : TForm(core, IDD_frmZarbex), FView(std::make_unique<TView>(*this)),
      FPresenter(std::make_unique<TZarbexPresenter>(*FView, kernel, std::move(runs), PluginIdentity::Name)) {
    // The status bar's window class.
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
}

TfrmZarbex::~TfrmZarbex() = default;

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               TUpdateRunFactory runs) {
    return std::unique_ptr<TfrmZarbex>(new TfrmZarbex(core, kernel, std::move(runs)));
}

HWND TfrmZarbex::Item(int id) const {
    return GetDlgItem(Handle(), id);
}

void TfrmZarbex::FormCreate() {
    SetWindowTextW(Handle(), WidePtr(FPresenter->Caption()));
    PlaceInPixels(ClientWidth, ClientHeight);

    // The labels and the group's caption in bold.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0)), sizeof font, &font);
    font.lfWeight = FW_BOLD;
    FBoldFont.reset(CreateFontIndirectW(&font));
    CreateControls();
    DockStatusBar();
    KeepSourceKeys();

    FLogo = ZarbexLogo(GetSysColor(COLOR_BTNFACE));
    SendMessageW(Item(IDC_imgLogo), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(FLogo.get()));

    // The memo holds what a run reports, however long.
    SendMessageW(Item(IDC_mProgress), EM_SETLIMITTEXT, 0, 0);
    FPresenter->Guard([this] { FPresenter->FormCreate(); });
}

void TfrmZarbex::CreateControls() {
    // Made in the table's order, each below the ones before: that order is the controls' order on the
    // screen and of the focus. A control clips the ones above it, so that its painting never covers them.
    const auto font = static_cast<WPARAM>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
    TKind previous = TKind::Panel;
    for (const TPlace& place : Places) {
        const TWindowKind kind = WindowKindOf(place.Kind);
        const bool startsGroup = StartsGroup(place.Kind, previous);
        previous = place.Kind;
        if (kind.ClassName == nullptr)
            continue;
        const DWORD style =
            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.Style | (startsGroup ? WS_GROUP : 0);
        // As the dialog manager makes them: no WM_PARENTNOTIFY for the dialog.
        HWND control = CreateWindowExW(
            WS_EX_NOPARENTNOTIFY | kind.ExStyle, kind.ClassName, place.Text ? WidePtr(place.Text) : L"",
            style, place.Rect.Left, place.Rect.Top, place.Rect.Width, place.Rect.Height, Handle(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(place.Control))), ResourceModule(),
            nullptr);
        if (control == nullptr)
            throw EOSError(u"The dialog's control " + Utf8ToString(place.Name) + u" could not be created: " +
                           SysErrorMessage(GetLastError()));
        SendMessageW(control, WM_SETFONT,
                     place.Kind == TKind::Label ? reinterpret_cast<WPARAM>(FBoldFont.get()) : font, FALSE);
    }
}

void TfrmZarbex::DockStatusBar() {
    // Status text, the segmented progress, an empty pane, each ending where its place ends.
    HWND statusBar = Item(IDC_StatusBar);
    const int parts[] = {PlaceOf(TControl::psInfo).Rect.Right(), PlaceOf(TControl::psProgress).Rect.Right(),
                         -1};
    SendMessageW(statusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    SendMessageW(statusBar, SB_SETTEXTW, 1 | SBT_OWNERDRAW, 0);
    SendMessageW(statusBar, SB_SETTEXTW, 2 | SBT_NOBORDERS, reinterpret_cast<LPARAM>(L""));
}

void TfrmZarbex::KeepSourceKeys() {
    HWND source = Item(IDC_edSource);
    SetWindowLongPtrW(source, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FSourceProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(source, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SourceProc)));
}

LRESULT CALLBACK TfrmZarbex::SourceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& form = *reinterpret_cast<TfrmZarbex*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // F4 and Alt+Down press the browse button, as they open the list of a drop-down field; not while the
    // button is hidden (an address is typed) or disabled (a run is in progress).
    const bool browseKey =
        (message == WM_KEYDOWN && wParam == VK_F4) || (message == WM_SYSKEYDOWN && wParam == VK_DOWN);
    HWND browse = form.Item(IDC_edSourceButton);
    if (browseKey && IsWindowVisible(browse) && IsWindowEnabled(browse)) {
        SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(IDC_edSourceButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(browse));
        return 0;
    }
    return CallWindowProcW(form.FSourceProc, window, message, wParam, lParam);
}

void TfrmZarbex::PaintPanel() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    const TRect& place = PlaceOf(TControl::pnlMain).Rect;
    RECT panel{place.Left, place.Top, place.Right(), place.Bottom()};
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
    case WM_COMMAND:
        if (!HandleCommand(LOWORD(wParam), HIWORD(wParam)))
            return false;
        result = TRUE;
        return true;
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

bool TfrmZarbex::HandleCommand(int id, int code) {
    TZarbexPresenter& p = *FPresenter;
    const bool clicked = code == BN_CLICKED;
    switch (id) {
    case IDC_edSource:
        if (code == EN_CHANGE)
            p.Guard([&p, this] { p.edSourceChange(WindowText(Item(IDC_edSource))); });
        return true;
    case IDC_edSourceButton:
        if (clicked)
            p.Guard([&p] { p.edSourceButtonClick(); });
        return true;
    case IDC_rgLocationInternet:
    case IDC_rgLocationLocal:
        if (clicked)
            p.Guard([&p, id] { p.rgLocationClick(id == IDC_rgLocationInternet ? 0 : 1); });
        return true;
    case IDC_cbMarkDates:
        if (clicked)
            p.Guard([&p] { p.cbMarkDatesClick(); });
        return true;
    case IDC_dbtUpdateOk:
        if (clicked)
            p.Guard([&p] { p.dbtUpdateClickOk(); });
        return true;
    case IDC_dbtUpdateCancel: // "Close", Esc and the close box
        p.Guard([&p] { p.dbtUpdateCancelClick(); });
        return true;
    default:
        return false;
    }
}

void TfrmZarbex::FormShow() {
    // The memo ends 5 pixels above the check box when it shows, 15 above the panel's edge when not.
    HWND memo = Item(IDC_mProgress);
    HWND markDates = Item(IDC_cbMarkDates);
    const bool markDatesShown = (GetWindowLongPtrW(markDates, GWL_STYLE) & WS_VISIBLE) != 0;
    const RECT memoRect = ClientRectOf(memo);
    const RECT markDatesRect = ClientRectOf(markDates);
    const int bottom = MemoBottom(markDatesShown, markDatesRect.top);
    SetWindowPos(memo, nullptr, 0, 0, memoRect.right - memoRect.left, bottom - memoRect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FPresenter->Guard([this] { FPresenter->FormActivate(); });
}
