// The update dialog on Windows: the same dialog as the Qt one (the same controls, handlers and rules), a
// DIALOGEX of the library's resources (uZarbex.rc) driven by the system's dialog manager. The user picks
// where the bureau lists come from and starts the update, which runs in TUpdateRun and reports here.
#pragma once

#include "Includes/IniFiles.h"
#include "Includes/win32/GdiObject.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/win32/PluginForm.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexRun.h"

#include <cstdint>
#include <functional>
#include <memory>

// The open-file dialog's settings, shown by Execute.
struct TOpenDialog {
    UnicodeString Title;
    // "Description|pattern" pairs.
    UnicodeString Filter;
    int FilterIndex = 1;
    UnicodeString InitialDir;
    UnicodeString FileName;
    UnicodeString DefaultExt;
    // Shows the dialog; true and FileName set to the full path when the user confirms a file.
    std::function<bool(TOpenDialog&)> Execute;
};

// Set while a run is in progress and after a run that returned true; "Get data" is disabled then.
extern bool UpdateDone;

class TfrmZarbex final : public TForm, public IUpdateProgress {
public:
    // The command's opening steps up to the show: a new dialog with the host's services and its
    // starting values (settings file, section, default sources, location). The caller shows it.
    static std::unique_ptr<TfrmZarbex> Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                              const ComPtr<IHostServer>& server);
    ~TfrmZarbex() override;

    // Progress operations of the download and the run.
    void MsgInfo(const UnicodeString& text) override;
    void ShowProgress(long double fraction) override;
    void MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) override;
    void CheckActions();
    void CheckLocation();

    // The open-file dialog, so that a host's automation can answer it.
    TOpenDialog& OpenDialog() { return dlgSource; }

protected:
    void FormCreate() override;
    void FormShow() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    explicit TfrmZarbex(ICore* core);

    // The rest of the run's progress interface.
    void ClearMemo() override;
    void ClearEntryMarks() override;
    void AddEntryMark() override;
    void SetBusyCursor(bool busy) override;
    void LockControls(bool locked) override;
    void ProcessMessages() override;
    bool CancelRequested() override;

    HWND Item(int id) const;
    UnicodeString SourceText() const;
    // Sets the source field's text; the same text again changes nothing and starts no handler.
    void SetSourceText(const UnicodeString& text);
    UnicodeString StatusText() const;
    void SetStatusText(const UnicodeString& text);
    void SetMarkDatesState(UINT state);
    void SetMarkDatesReadOnly(bool readOnly);
    void SelectLocationItem(int index);
    void DockControls();
    void PaintPanel();
    void DrawProgressPane(const DRAWITEMSTRUCT& item);
    TIniFile& Settings();
    // Closes the dialog, or, while a run is in progress, asks the run to stop and closes when it ends.
    void RequestClose();
    // Runs a handler so that nothing it raises crosses the dialog procedure: the message goes to the
    // user.
    void Guard(const std::function<void()>& handler);

    // Event handlers.
    void FormActivate();
    void FormClose();
    void rgLocationChanging(int newIndex);
    void edSourceChange();
    void edSourceButtonClick();
    void cbMarkDatesClick();
    void dbtUpdateClickOk();
    void dbtUpdateClickCancel();

    ComPtr<IHostKernel> FKernel;
    ComPtr<IHostServer> FServer;
    UnicodeString FIniPath;
    UnicodeString FSection;
    SourceLocation FLocation = SourceLocation::None;
    UnicodeString FInternetSource;
    UnicodeString FLocalSource;

    // What the command sets before the window exists.
    UnicodeString FCaption;
    bool markDatesVisible_ = true;

    TOpenDialog dlgSource;
    std::unique_ptr<TIniFile> iniUpdate;
    TGdiObject<HFONT> boldFont_;
    TGdiObject<HBITMAP> logo_;

    UnicodeString sourceText_; // the text the change handler last saw
    int progressPercent_ = 0;
    bool markDatesReadOnly_ = false;
    bool running_ = false;
    bool closeRequested_ = false;
    bool busyCursor_ = false;
    static constexpr std::uint32_t BreathIntervalMs = 10;
    bool breathed_ = false;
    std::uint32_t lastBreath_ = 0;
};
