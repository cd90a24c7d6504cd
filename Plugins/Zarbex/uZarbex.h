// The update dialog: the user picks where the bureau lists come from and starts the update, which runs
// in TUpdateRun and reports here.
#pragma once

#include "Includes/IniFiles.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexRun.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QAction;
class QWidget;

// The open-file dialog's settings, shown by Execute.
struct TOpenDialog {
    QString Title;
    QString Filter;
    int FilterIndex = 1;
    QString InitialDir;
    QString FileName;
    QString DefaultExt;
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
    void FormShow() override;
    void done(int result) override;

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

    void BuildWidgets();
    TIniFile& Settings();
    void SetMarkDatesReadOnly(bool readOnly);
    // Runs a handler so that nothing it raises crosses Qt's event loop: the message goes to the user.
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

    // The widgets, by the names the dialog's members carry.
    QLineEdit* edSource = nullptr;
    QAction* edSourceButton = nullptr;
    QWidget* rgLocation = nullptr;
    QButtonGroup* rgLocationItems = nullptr;
    QCheckBox* cbMarkDates = nullptr;
    QPlainTextEdit* mProgress = nullptr;
    QLabel* psInfo = nullptr;
    QProgressBar* psProgress = nullptr;
    QWidget* dbtUpdate = nullptr;
    QPushButton* dbtUpdateOk = nullptr;
    QPushButton* dbtUpdateCancel = nullptr;
    QLabel* imgLogo = nullptr;
    TOpenDialog dlgSource;
    std::unique_ptr<TIniFile> iniUpdate;

    bool markDatesReadOnly_ = false;
    bool running_ = false;
    bool closeRequested_ = false;
    bool busyCursor_ = false;
    static constexpr std::uint32_t BreathIntervalMs = 10;
    bool breathed_ = false;
    std::uint32_t lastBreath_ = 0;
};
