// The update dialog's layout in pixels, which the dialogs of both toolkits follow: the client area, the
// status bar along its bottom edge with its three panes, the button column at the right edge and the
// main panel beside it.
#pragma once

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

} // namespace ZarbexLayout
