// What the update dialog shows, as one state the presenter keeps, and the small interface through which
// each toolkit's window shows it: the state whole or by field, the memo, the open-file dialog, a message
// the host could not show, the close and a breath.
#pragma once

#include "PluginAPI/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// The open-file dialog's settings, as the window shows them; FileName is the full path once the user
// confirms a file.
struct TOpenDialog {
    UnicodeString Title;
    // "Description|pattern" pairs.
    UnicodeString Filter;
    int FilterIndex = 1;
    UnicodeString InitialDir;
    UnicodeString FileName;
    UnicodeString DefaultExt;

    // The filter's (description, pattern) pairs, in order.
    std::vector<std::pair<UnicodeString, UnicodeString>> FilterPairs() const;
    // The default extension without its dot, as the toolkits take it.
    UnicodeString DefaultExtWithoutDot() const;
};

// The three states of the "Mark activity dates" box, in the order a click goes through them.
enum class TMarkDatesState : std::uint8_t { Unchecked, Grayed, Checked };

// Everything of the window that the dialog's rules decide.
struct TZarbexViewState {
    UnicodeString SourceText;
    // Typing is allowed for an address only: a local path comes from the browse button.
    bool SourceReadOnly = false;
    bool BrowseVisible = false;
    // The location group's selected item: 0 Internet, 1 Local, -1 none.
    int LocationItem = -1;
    TMarkDatesState MarkDates = TMarkDatesState::Unchecked;
    UnicodeString MarkDatesCaption = u"Mark activity dates";
    // A read-only box takes no focus and ignores clicks.
    bool MarkDatesReadOnly = false;
    bool MarkDatesVisible = true;
    bool GetDataEnabled = false;
    // The source, the location, the box and the browse button, all together.
    bool SourceControlsEnabled = true;
    UnicodeString StatusText;
    int ProgressPercent = 0;
    bool BusyCursor = false;
};

// The state's fields, one bit each, to say which of them changed.
enum class TViewField : std::uint16_t {
    SourceText = 1 << 0,
    SourceReadOnly = 1 << 1,
    BrowseVisible = 1 << 2,
    LocationItem = 1 << 3,
    MarkDates = 1 << 4,
    MarkDatesCaption = 1 << 5,
    MarkDatesReadOnly = 1 << 6,
    MarkDatesVisible = 1 << 7,
    GetDataEnabled = 1 << 8,
    SourceControlsEnabled = 1 << 9,
    StatusText = 1 << 10,
    ProgressPercent = 1 << 11,
    BusyCursor = 1 << 12,
    All = (1 << 13) - 1,
};

constexpr bool Has(TViewField fields, TViewField field) {
    return (static_cast<unsigned>(fields) & static_cast<unsigned>(field)) != 0;
}

// What the rules do to the window. Show only shows what it is given: a toolkit whose control reports the
// change back makes the rules see their own value again, which changes nothing.
class IZarbexView {
public:
    // Shows the fields of state that fields names.
    virtual void Show(const TZarbexViewState& state, TViewField fields) = 0;
    virtual void ClearMemo() = 0;
    // Appends text to the memo ("\n" ends a line) and scrolls the memo so that line topLine (from 0) is
    // its first visible line.
    virtual void AppendMemo(const UnicodeString& text, std::size_t topLine) = 0;
    // The one question: shows the open-file dialog; true when the user confirmed a file.
    virtual bool AskForFile(TOpenDialog& dialog) = 0;
    // A failure the host could not show, in a message box of the window's own toolkit.
    virtual void ShowError(const UnicodeString& text) = 0;
    // Ends the window's modal run; the rules of the close have run.
    virtual void CloseWindow() = 0;
    // Handles what queued up for the window.
    virtual void ProcessMessages() = 0;

protected:
    ~IZarbexView() = default;
};
