// The update dialog's layout in pixels, which the dialogs of both toolkits build from: the client area,
// the status bar along its bottom edge with its three panes, the button column at the right edge and the
// main panel beside it, and every control's place in one table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace ZarbexLayout {

inline constexpr int ClientWidth = 394;
inline constexpr int ClientHeight = 266;
inline constexpr int StatusBarHeight = 19;
inline constexpr int StatusBarTop = ClientHeight - StatusBarHeight;
// The panes: the status text, twenty segments of progress, an empty one.
inline constexpr int ProgressPaneWidth = 150;
inline constexpr int EmptyPaneWidth = 89;
inline constexpr int InfoPaneWidth = ClientWidth - ProgressPaneWidth - EmptyPaneWidth;
inline constexpr int ProgressSegments = 20;
inline constexpr int ButtonColumnWidth = 87;
// The main panel, from the top edge: 1 pixel of space on its left and 2 above the status bar.
inline constexpr int PanelLeft = 1;
inline constexpr int PanelRight = ClientWidth - ButtonColumnWidth;
inline constexpr int PanelBottom = StatusBarTop - 2;

// The memo's bottom edge: 5 pixels above the check box when the box shows, 15 above the panel's edge
// when it does not.
constexpr int MemoBottom(bool markDatesShown, int markDatesTop) {
    return markDatesShown ? markDatesTop - 5 : PanelBottom - 15;
}

// A place in the dialog's client area.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    constexpr int Right() const { return Left + Width; }
    constexpr int Bottom() const { return Top + Height; }
};

// What stands in a place; each toolkit makes its own control of the kind. The containers (panel, group,
// column, status bar) hold the places inside them.
enum class TKind : std::uint8_t {
    Panel,
    Group,
    Column,
    StatusBar,
    // The status bar's panes: the status text, the segmented progress, an empty one.
    StatusText,
    ProgressPane,
    EmptyPane,
    // A caption in bold.
    Label,
    Edit,
    BrowseButton,
    Line,
    RadioItem,
    Memo,
    CheckBox,
    Button,
    Logo,
};

// The places, named as the dialog's members, in the order of the table below.
enum class TControl : std::uint8_t {
    pnlMain,
    lblSource,
    edSourceButton,
    edSource,
    rgLocation,
    rgLocationCaption,
    rgLocationLine,
    rgLocationInternet,
    rgLocationLocal,
    lblProgress,
    mProgress,
    cbMarkDates,
    dbtUpdate,
    dbtUpdateOk,
    dbtUpdateCancel,
    imgLogo,
    StatusBar,
    psInfo,
    psProgress,
    psEmpty,
    // Not a place: the dialog itself, the container of the top-level places.
    frmZarbex,
};

struct TPlace {
    TControl Control;
    TKind Kind;
    // The member's name, which tests and a host's automation find the control by.
    const char* Name;
    // The place it stands in: the dialog, a container, or for the browse button the source field.
    TControl Container;
    TRect Rect;
    // The caption; null for a control whose text the dialog's rules set.
    const char16_t* Text;
};

namespace Detail {
// The panel's controls stand 15 pixels from each side of it.
inline constexpr int Inset = 15;
inline constexpr int Left = PanelLeft + Inset;
inline constexpr int Width = PanelRight - PanelLeft - 2 * Inset;
// The button column starts 20 pixels below the top edge.
inline constexpr int ColumnTop = 20;
inline constexpr int ButtonLeft = PanelRight + 6;
inline constexpr int LogoWidth = 54;
inline constexpr int LogoHeight = 106;
inline constexpr int MarkDatesHeight = 17;
} // namespace Detail

// Every place, in the order the controls are made. In a dialog of Windows the first control is the top
// one and the first to take the focus: the browse button comes before the field it stands in, so that a
// click on it reaches it and the field's painting leaves it whole, and the focus moves from the source
// field to the location items, the memo, the check box and the buttons.
// clang-format off
inline constexpr TPlace Places[] = {
    {TControl::pnlMain, TKind::Panel, "pnlMain", TControl::frmZarbex,
     {PanelLeft, 0, PanelRight - PanelLeft, PanelBottom}, nullptr},
    {TControl::lblSource, TKind::Label, "lblSource", TControl::pnlMain,
     {Detail::Left, 10, Detail::Width, 14}, u"Source data"},
    // Inside the field's right end. Qt gives the field an action for it once the field exists, and puts
    // the action's button there itself.
    {TControl::edSourceButton, TKind::BrowseButton, "edSourceButton", TControl::edSource,
     {Detail::Left + Detail::Width - 20, 28, 20, 18}, u"..."},
    {TControl::edSource, TKind::Edit, "edSource", TControl::pnlMain,
     {Detail::Left, 26, Detail::Width, 21}, nullptr},
    // The location group: a caption with an underline rather than a box, its items in two columns.
    {TControl::rgLocation, TKind::Group, "rgLocation", TControl::pnlMain,
     {Detail::Left, 52, Detail::Width, 35}, nullptr},
    {TControl::rgLocationCaption, TKind::Label, "rgLocationCaption", TControl::rgLocation,
     {Detail::Left, 52, Detail::Width, 14}, u" Source location "},
    {TControl::rgLocationLine, TKind::Line, "rgLocationLine", TControl::rgLocation,
     {Detail::Left, 66, Detail::Width, 2}, nullptr},
    {TControl::rgLocationInternet, TKind::RadioItem, "rgLocationInternet", TControl::rgLocation,
     {Detail::Left + 4, 69, Detail::Width / 2 - 4, 18}, u"Internet resource"},
    {TControl::rgLocationLocal, TKind::RadioItem, "rgLocationLocal", TControl::rgLocation,
     {Detail::Left + Detail::Width / 2 + 4, 69, Detail::Width / 2 - 4, 18}, u"Local data file"},
    {TControl::lblProgress, TKind::Label, "lblProgress", TControl::pnlMain,
     {Detail::Left, 92, Detail::Width, 14}, u"Progress"},
    // Down to the panel's edge at first; the show sets its bottom (MemoBottom).
    {TControl::mProgress, TKind::Memo, "mProgress", TControl::pnlMain,
     {Detail::Left, 108, Detail::Width, PanelBottom - 108 - Detail::Inset}, nullptr},
    {TControl::cbMarkDates, TKind::CheckBox, "cbMarkDates", TControl::pnlMain,
     {Detail::Left, PanelBottom - 10 - Detail::MarkDatesHeight, Detail::Width, Detail::MarkDatesHeight},
     u"Mark activity dates"},
    {TControl::dbtUpdate, TKind::Column, "dbtUpdate", TControl::frmZarbex,
     {PanelRight, Detail::ColumnTop, ButtonColumnWidth, StatusBarTop - Detail::ColumnTop}, nullptr},
    {TControl::dbtUpdateOk, TKind::Button, "dbtUpdateOk", TControl::dbtUpdate,
     {Detail::ButtonLeft, Detail::ColumnTop, 75, 25}, u"Get data"},
    {TControl::dbtUpdateCancel, TKind::Button, "dbtUpdateCancel", TControl::dbtUpdate,
     {Detail::ButtonLeft, Detail::ColumnTop + 31, 75, 25}, u"Close"},
    // Centred at the column's bottom, 8 pixels above the status bar.
    {TControl::imgLogo, TKind::Logo, "imgLogo", TControl::dbtUpdate,
     {PanelRight + (ButtonColumnWidth - Detail::LogoWidth) / 2, StatusBarTop - Detail::LogoHeight - 8,
      Detail::LogoWidth, Detail::LogoHeight}, nullptr},
    {TControl::StatusBar, TKind::StatusBar, "StatusBar", TControl::frmZarbex,
     {0, StatusBarTop, ClientWidth, StatusBarHeight}, nullptr},
    {TControl::psInfo, TKind::StatusText, "psInfo", TControl::StatusBar,
     {0, StatusBarTop, InfoPaneWidth, StatusBarHeight}, nullptr},
    {TControl::psProgress, TKind::ProgressPane, "psProgress", TControl::StatusBar,
     {InfoPaneWidth, StatusBarTop, ProgressPaneWidth, StatusBarHeight}, nullptr},
    {TControl::psEmpty, TKind::EmptyPane, "", TControl::StatusBar,
     {ClientWidth - EmptyPaneWidth, StatusBarTop, EmptyPaneWidth, StatusBarHeight}, nullptr},
};
// clang-format on

constexpr const TPlace& PlaceOf(TControl control) {
    return Places[static_cast<std::size_t>(control)];
}

// The table is in the order of TControl.
constexpr bool InOrder() {
    for (std::size_t i = 0; i < std::size(Places); ++i) {
        if (static_cast<std::size_t>(Places[i].Control) != i)
            return false;
    }
    return true;
}
static_assert(InOrder() && std::size(Places) == static_cast<std::size_t>(TControl::frmZarbex));

} // namespace ZarbexLayout
