// The update dialog in Qt: its widgets, by the names the dialog's members carry, shown as the rules of
// TZarbexPresenter say. The user picks where the bureau lists come from and starts the update, which
// runs in the run the dialog is handed and reports through the presenter.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginForm.h"
#include "Plugins/Zarbex/uZarbexPresenter.h"

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

class TfrmZarbex final : public TForm {
public:
    // The command's opening steps up to the show: a new dialog with the host's services, its starting
    // values and the run each press of "Get data" makes. The caller shows it.
    static std::unique_ptr<TfrmZarbex> Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                              TUpdateRunFactory runs);
    TZarbexPresenter& Presenter() { return *FPresenter; }

protected:
    void FormShow() override;
    void done(int result) override;

private:
    // The presenter's view: its state shown on these widgets.
    class TView;

    TfrmZarbex(ICore* core, const ComPtr<IHostKernel>& kernel, TUpdateRunFactory runs);
    void BuildWidgets();
    // Connections are made once; each event goes to the presenter, under its guard.
    void ConnectEvents();

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

    // Owned by the dialog, as its widgets are.
    TView* FView = nullptr;
    std::unique_ptr<TZarbexPresenter> FPresenter;
};
