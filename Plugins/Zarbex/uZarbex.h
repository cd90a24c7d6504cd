// The update dialog: the user picks where the bureau lists come from and starts the update.
#pragma once

#include "Includes/IniFiles.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginForm.h"

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

enum class SourceLocation : std::uint8_t { None = 0, Internet = 1, Local = 2 };

// The default source: the bureau list archive on the national league's web server.
inline constexpr char16_t DefaultInternetSource[] =
    u"http://uarl.org.ua/files/stories2018/memb_polzov2018/members_upd2604.rar";
inline constexpr char16_t DefaultArchiveName[] = u"members_upd2604.rar";

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

class TfrmZarbex : public TForm {
public:
    explicit TfrmZarbex(ICore* core);
    ~TfrmZarbex() override;

    ComPtr<IHostKernel> FKernel;
    ComPtr<IHostServer> FServer;
    UnicodeString FIniPath;
    UnicodeString FSection;
    SourceLocation FLocation = SourceLocation::None;
    UnicodeString FInternetSource;
    UnicodeString FLocalSource;
    // The host's application folder, where the outside libraries lie; read by "Get data".
    UnicodeString FAppPath;

    // Progress operations for the download and the run.
    void MsgInfo(const UnicodeString& text);
    void ShowProgress(long double fraction);
    void MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd);
    void CheckActions();
    void CheckLocation();

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

    // Event handlers.
    void FormActivate();
    void FormClose();
    void rgLocationChanging(int newIndex);
    void edSourceChange();
    void edSourceButtonClick();
    void cbMarkDatesClick();
    void dbtUpdateClickOk();
    void dbtUpdateClickCancel();

    // Source acquisition and the update run.
    bool LoadSource(SourceLocation location, const UnicodeString& source, UnicodeString& path);
    bool LoadFromInternet(const UnicodeString& source, UnicodeString& path);
    bool LoadFromLocal(const UnicodeString& source, UnicodeString& path);
    bool UpdateFromSource(SourceLocation location, const UnicodeString& source);

    // How long a download may wait for a connection and for the next byte; tests shorten them.
    int ConnectTimeoutSeconds = 30;
    int StallTimeoutSeconds = 60;

protected:
    void FormShow() override;
    void done(int result) override;

private:
    void BuildWidgets();
    TIniFile& Settings();
    void SetMarkDatesReadOnly(bool readOnly);
    void SetRunning(bool running);
    // Runs a handler so that nothing it raises crosses Qt's event loop: the message goes to the user.
    void Guard(const std::function<void()>& handler);
    UnicodeString HostValue(const char16_t* name);

    bool markDatesReadOnly_ = false;
    bool running_ = false;
    bool closeRequested_ = false;
};

// Text helpers of the dialog's unit.
UnicodeString TrimControls(const UnicodeString& text); // removes code units up to U+0020 at both ends
bool FileExists(const UnicodeString& path);            // a file, not a folder
