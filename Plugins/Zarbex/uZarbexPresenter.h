// The update dialog's state and rules, apart from any window toolkit: what the dialog shows when it
// opens, which source "Get data" may start, what a click on each control does, what a run reports and
// what the settings file keeps. Each toolkit's TfrmZarbex builds its widgets, forwards its events here and
// shows what it is told through IZarbexView.
#pragma once

#include "Includes/IniFiles.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexRun.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// What the rules do to the window. A setter only shows what it is given: a toolkit whose control reports
// the change back makes the rules see their own value again, which changes nothing.
class IZarbexView {
public:
    virtual void SetSourceText(const UnicodeString& text) = 0;
    // Typing is allowed for an address only: a local path comes from the browse button.
    virtual void SetSourceReadOnly(bool readOnly) = 0;
    virtual void SetBrowseVisible(bool visible) = 0;
    // The location group's selected item: 0 Internet, 1 Local.
    virtual void SetLocationItem(int index) = 0;
    virtual void SetMarkDatesState(TMarkDatesState state) = 0;
    virtual void SetMarkDatesCaption(const UnicodeString& caption) = 0;
    // A read-only box takes no focus and ignores clicks.
    virtual void SetMarkDatesReadOnly(bool readOnly) = 0;
    virtual void SetGetDataEnabled(bool enabled) = 0;
    // The source, the location, the box and the browse button, all together.
    virtual void SetSourceControlsEnabled(bool enabled) = 0;
    virtual void ClearMemo() = 0;
    // Appends text to the memo ("\n" ends a line) and scrolls the memo so that line topLine (from 0) is
    // its first visible line.
    virtual void AppendMemo(const UnicodeString& text, std::size_t topLine) = 0;
    virtual void SetStatusText(const UnicodeString& text) = 0;
    virtual void SetProgressPercent(int percent) = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // Handles what queued up for the window.
    virtual void ProcessMessages() = 0;
    // Closes the window as its Close button does.
    virtual void CloseWindow() = 0;
    // The one question: shows the open-file dialog; true when the user confirmed a file.
    virtual bool AskForFile(TOpenDialog& dialog) = 0;

protected:
    ~IZarbexView() = default;
};

class TZarbexPresenter final : public IUpdateProgress {
public:
    // The command's opening values: the settings file and section, both default sources (the local one
    // in the host's DOWNLOAD folder) and the Internet location. caption names the command in the log.
    TZarbexPresenter(IZarbexView& view, const ComPtr<IHostKernel>& kernel, const ComPtr<IHostServer>& server,
                     UnicodeString caption);
    ~TZarbexPresenter();
    TZarbexPresenter(const TZarbexPresenter&) = delete;
    TZarbexPresenter& operator=(const TZarbexPresenter&) = delete;

    // The window's events.
    void FormActivate();
    // False while a run is in progress: the close waits for the run to return, and the run is asked to
    // stop what it can stop.
    bool CloseQuery();
    void FormClose();
    void edSourceChange(const UnicodeString& text);
    void edSourceButtonClick();
    // A click on a location item; a click on the item already selected selects nothing new.
    void rgLocationClick(int index);
    // The box's state as a toolkit that turns it on a click reports it.
    void cbMarkDatesChange(TMarkDatesState state);
    // A click on a box the toolkit leaves to the dialog to turn: unchecked, grayed, checked, and round.
    void cbMarkDatesPress();
    void dbtUpdateClickOk();

    void CheckActions();
    void CheckLocation();

    // Runs one of the window's handlers as the GUI framework does: nothing it raises leaves it, and its
    // message is shown through the host, or, when the host cannot show it, handed to unshown, if given.
    void Guard(const std::function<void()>& handler,
               const std::function<void(const UnicodeString& text)>& unshown = {}) const noexcept;

    // The run's progress interface.
    void MsgInfo(const UnicodeString& text) override;
    void MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) override;
    void ShowProgress(long double fraction) override;
    void ClearMemo() override;
    void ClearEntryMarks() override;
    void AddEntryMark() override;
    void SetBusyCursor(bool busy) override;
    void LockControls(bool locked) override;
    void ProcessMessages() override;
    bool CancelRequested() override;

    // Set while a run is in progress and after a run that returned true; "Get data" is disabled then.
    bool IsUpdateDone() const { return UpdateDone; }
    bool Running() const { return FRunning; }
    SourceLocation Location() const { return FLocation; }
    const UnicodeString& Source() const { return FSource; }
    const UnicodeString& Memo() const { return FMemo; }
    const UnicodeString& Caption() const { return FCaption; }
    // The open-file dialog as the browse button last prepared it.
    const TOpenDialog& OpenDialog() const { return FOpenDialog; }
    // Test seam: the state after a run that returned true, without making one.
    void SetUpdateDoneForTesting() { UpdateDone = true; }

private:
    TIniFile& Settings();
    // What the settings keep of the last good update, or this dialog's own good run.
    std::optional<TLastUpdate> LastUpdate();
    // Shows text in the source field and runs the change rule, when it differs from what is there.
    void SetSource(const UnicodeString& text);
    void SetMarkDates(TMarkDatesState state);
    void SetMarkDatesReadOnly(bool readOnly);
    void cbMarkDatesClick();
    void rgLocationChanging(int newIndex);
    int LocationIndex() const;
    void SetStatus(const UnicodeString& text);

    IZarbexView& FView;
    ComPtr<IHostKernel> FKernel;
    ComPtr<IHostServer> FServer;
    UnicodeString FCaption;
    UnicodeString FIniPath;
    UnicodeString FSection;
    SourceLocation FLocation = SourceLocation::None;
    UnicodeString FInternetSource;
    UnicodeString FLocalSource;
    TOpenDialog FOpenDialog;
    std::unique_ptr<TIniFile> FIniUpdate;

    bool UpdateDone = false;
    std::optional<TLastUpdate> FThisUpdate; // kept at the close, with the source
    UnicodeString FSource;
    TMarkDatesState FMarkDates = TMarkDatesState::Unchecked;
    bool FMarkDatesReadOnly = false;
    bool FRunning = false;
    bool FCloseRequested = false;
    bool FBusyCursor = false;
    UnicodeString FMemo;
    std::size_t FMemoLineEnds = 0;
    UnicodeString FStatus;
    static constexpr std::uint32_t BreathIntervalMs = 10;
    bool FBreathed = false;
    std::uint32_t FLastBreath = 0;
};
