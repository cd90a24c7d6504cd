// The update dialog's state and rules, apart from any window toolkit: what the dialog shows when it
// opens, which source "Get data" may start, what a click on each control does, what a run reports and
// what the settings file keeps. Each toolkit's TfrmZarbex builds its widgets, forwards its events here and
// shows the state it is handed through IZarbexView; the run is the one the presenter is handed.
#pragma once

#include "Includes/IniFiles.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "Plugins/Zarbex/IUpdateRun.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// The default sources: the bureau list archive on the national league's web server, and the name it
// has in the host's DOWNLOAD folder.
inline constexpr char16_t DefaultInternetSource[] =
    u"http://uarl.org.ua/files/stories2018/memb_polzov2018/members_upd2604.rar";
inline constexpr char16_t DefaultArchiveName[] = u"members_upd2604.rar";

class TZarbexPresenter final : public IUpdateProgress {
public:
    // The command's opening values: the settings file and section, both default sources (the local one
    // in the host's DOWNLOAD folder), the Internet location and the check box hidden. caption is the
    // window's title; runs makes the run of each press of "Get data".
    TZarbexPresenter(IZarbexView& view, const ComPtr<IHostKernel>& kernel, TUpdateRunFactory runs,
                     UnicodeString caption);
    ~TZarbexPresenter();
    TZarbexPresenter(const TZarbexPresenter&) = delete;
    TZarbexPresenter& operator=(const TZarbexPresenter&) = delete;

    // The window's events. FormCreate: the window exists, and is handed the whole state.
    void FormCreate();
    void FormActivate();
    // False while a run is in progress: the close waits for the run to return, and the run is asked to
    // stop what it can stop.
    bool CloseQuery();
    void FormClose();
    // "Close", Esc and the close box: FormClose and the end of the window's modal run, or, while a run
    // is in progress, both once the run returns.
    void dbtUpdateCancelClick();
    // The text the user typed, which the window already shows.
    void edSourceChange(const UnicodeString& text);
    void edSourceButtonClick();
    // A click on a location item; a click on the item already selected selects nothing new.
    void rgLocationClick(int index);
    // A click on the box, which the presenter turns: unchecked, grayed, checked, and round.
    void cbMarkDatesClick();
    void dbtUpdateClickOk();

    void CheckActions();
    void CheckLocation();

    // Runs one of the window's handlers as the GUI framework does: nothing it raises leaves it, and its
    // message is shown through the host, or, when the host cannot show it, in the window's message box.
    void Guard(const std::function<void()>& handler) const noexcept;

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
    const UnicodeString& Source() const { return FState.SourceText; }
    // What the window shows, as the rules last set it.
    const TZarbexViewState& State() const { return FState; }
    const UnicodeString& Memo() const { return FMemo; }
    const UnicodeString& Caption() const { return FCaption; }
    // The open-file dialog as the browse button last prepared it.
    const TOpenDialog& OpenDialog() const { return FOpenDialog; }

private:
    TIniFile& Settings();
    // The one guard against a value that did not change: sets the state's field to value and shows it
    // when shown names it; true when the value was new.
    template <class T> bool Change(T TZarbexViewState::*field, const T& value, TViewField shown);
    // What the settings keep of the last good update, or this dialog's own good run.
    std::optional<TLastUpdate> LastUpdate();
    // Shows text in the source field and runs the change rule, when it differs from what is there.
    void SetSource(const UnicodeString& text);
    // The change rule of the source and the box: a changed choice may be run again.
    void SourceChanged();
    // Turns the box to state and shows its caption, when it is not there already.
    void SetMarkDates(TMarkDatesState state);
    void rgLocationChanging(int newIndex);
    int LocationIndex() const;
    // After a run returned or raised: the buttons come back, and a close asked for meanwhile happens.
    void RunEnded();

    IZarbexView& FView;
    ComPtr<IHostKernel> FKernel;
    TUpdateRunFactory FRuns;
    UnicodeString FCaption;
    UnicodeString FIniPath;
    UnicodeString FSection;
    SourceLocation FLocation = SourceLocation::None;
    UnicodeString FInternetSource;
    UnicodeString FLocalSource;
    TOpenDialog FOpenDialog;
    std::unique_ptr<TIniFile> FIniUpdate;

    bool UpdateDone = false;
    TZarbexViewState FState;
    std::optional<TLastUpdate> FThisUpdate; // kept at the close, with the source
    bool FRunning = false;
    bool FCloseRequested = false;
    UnicodeString FMemo;
    std::size_t FMemoLineEnds = 0;
    static constexpr std::uint32_t BreathIntervalMs = 10;
    bool FBreathed = false;
    std::uint32_t FLastBreath = 0;
};
