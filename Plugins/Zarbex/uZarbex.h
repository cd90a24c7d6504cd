// The update dialog in Qt: its widgets, by the names the dialog's members carry, shown as the rules of
// TZarbexPresenter say. The user picks where the bureau lists come from and starts the update, which
// runs in TUpdateRun and reports through the presenter.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/Zarbex/uZarbexPresenter.h"

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

class TfrmZarbex final : public TForm, public IZarbexView {
public:
    // The command's opening steps up to the show: a new dialog with the host's services and its
    // starting values. The caller shows it.
    static std::unique_ptr<TfrmZarbex> Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                              const ComPtr<IHostServer>& server);
    ~TfrmZarbex() override;

    TZarbexPresenter& Presenter() { return *FPresenter; }

protected:
    void FormShow() override;
    void done(int result) override;

private:
    explicit TfrmZarbex(ICore* core);

    void SetSourceText(const UnicodeString& text) override;
    void SetSourceReadOnly(bool readOnly) override;
    void SetBrowseVisible(bool visible) override;
    void SetLocationItem(int index) override;
    void SetMarkDatesState(TMarkDatesState state) override;
    void SetMarkDatesCaption(const UnicodeString& caption) override;
    void SetMarkDatesReadOnly(bool readOnly) override;
    void SetGetDataEnabled(bool enabled) override;
    void SetSourceControlsEnabled(bool enabled) override;
    void ClearMemo() override;
    void AppendMemo(const UnicodeString& text, std::size_t topLine) override;
    void SetStatusText(const UnicodeString& text) override;
    void SetProgressPercent(int percent) override;
    void SetBusyCursor(bool busy) override;
    void ProcessMessages() override;
    void CloseWindow() override;
    bool AskForFile(TOpenDialog& dialog) override;

    void BuildWidgets();
    // Runs a handler so that nothing it raises crosses Qt's event loop: the message goes to the user.
    void Guard(const std::function<void()>& handler);

    std::unique_ptr<TZarbexPresenter> FPresenter;
    ComPtr<IHostKernel> FKernel;

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
};
