#include "Host/HeadlessDialogDriver.h"

#include "Host/HeadlessOutput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

// A quick hand: the driver stands for a user, but its reaction time should not weigh on measurements.
constexpr int kPollMs = 10;
// Entering the source again when the dialog replaced it; after that the dialog's text stands.
constexpr int kSourceRetries = 3;

template <class T> T* Child(QDialog& dialog, const char* name) {
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

HeadlessDialogDriver::HeadlessDialogDriver(Answers answers, std::ostream& out)
    : FAnswers(std::move(answers)), FOut(out) {
    FTimer.setInterval(kPollMs);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
}

QDialog* HeadlessDialogDriver::FindUpdateDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog != nullptr && dialog->isVisible() && dialog->findChild<QLineEdit*>("edSource") != nullptr)
            return dialog;
    }
    return nullptr;
}

void HeadlessDialogDriver::CloseStrayDialogs() {
    // A modal dialog nobody answers would hold the run forever: name it and close it.
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (dialog == nullptr || dialog == FDialog || dialog->findChild<QLineEdit*>("edSource") != nullptr)
        return;
    PrintBlock(FOut, "dialog: ", dialog->windowTitle() + " (closed)");
    dialog->reject();
}

void HeadlessDialogDriver::Tick() {
    CloseStrayDialogs();
    if (FBusy)
        return;
    if (!FDialog || !FDialog->isVisible()) {
        // The first dialog is gone (or none came yet): wait for the next one.
        FDialog = FindUpdateDialog();
        FStep = Step::Waiting;
        FSourceRetries = 0;
        if (!FDialog)
            return;
        // The dialog fills its fields while it is being shown, and that may pump events: answer it
        // from the next tick on.
        FStep = Step::Seen;
        return;
    }
    switch (FStep) {
    case Step::Waiting:
    case Step::Seen:
        Configure(*FDialog);
        FStep = Step::Configured;
        break;
    case Step::Configured:
        GetDataAndClose(*FDialog);
        break;
    case Step::Closing:
        // A close asked for during a run waits for the run; ask again.
        if (auto* close = Child<QAbstractButton>(*FDialog, "dbtUpdateCancel"))
            close->click();
        break;
    }
}

void HeadlessDialogDriver::Configure(QDialog& dialog) {
    if (!FAnswers.location.isEmpty()) {
        const char* name = FAnswers.location == "local" ? "rgLocationLocal" : "rgLocationInternet";
        if (auto* button = Child<QRadioButton>(dialog, name))
            button->click();
        else
            PrintBlock(FOut, "dialog: ", QString("no location button %1").arg(name));
    }
    if (FAnswers.source) {
        if (auto* source = Child<QLineEdit>(dialog, "edSource"))
            source->setText(*FAnswers.source); // also when read-only: a local path comes from browsing
    }
}

void HeadlessDialogDriver::GetDataAndClose(QDialog& dialog) {
    auto* source = Child<QLineEdit>(dialog, "edSource");
    if (FAnswers.source && source != nullptr && source->text() != *FAnswers.source &&
        FSourceRetries++ < kSourceRetries) {
        source->setText(*FAnswers.source);
        return;
    }
    QPointer<QDialog> alive(&dialog);
    auto* getData = Child<QAbstractButton>(dialog, "dbtUpdateOk");
    if (getData != nullptr && getData->isEnabled()) {
        // The run happens inside the click: click() returns when it is over.
        FBusy = true;
        getData->click();
        FBusy = false;
        if (!alive)
            return;
        PrintMemo(dialog);
    } else {
        FOut << "get data: disabled" << DisabledReason(dialog) << std::endl;
        FGetDataDisabled = true;
    }
    FStep = Step::Closing;
    if (auto* close = Child<QAbstractButton>(dialog, "dbtUpdateCancel"))
        close->click();
    else
        dialog.reject();
}

// Why the dialog keeps "Get data" disabled, as far as the host can tell: a local file that is not there.
std::string HeadlessDialogDriver::DisabledReason(QDialog& dialog) {
    auto* local = Child<QRadioButton>(dialog, "rgLocationLocal");
    auto* source = Child<QLineEdit>(dialog, "edSource");
    if (local == nullptr || source == nullptr || !local->isChecked())
        return {};
    const QString path = source->text();
    if (path.isEmpty())
        return " (no local file is chosen)";
    const QFileInfo file(path);
    if (file.isDir())
        return " (the local source \"" + Printable(path) + "\" is a folder, not a file)";
    if (!file.exists())
        return " (the local file \"" + Printable(path) + "\" does not exist)";
    return {};
}

void HeadlessDialogDriver::PrintMemo(QDialog& dialog) {
    FOut << "memo:" << std::endl;
    if (auto* memo = Child<QPlainTextEdit>(dialog, "mProgress"))
        PrintIndented(FOut, memo->toPlainText());
}
