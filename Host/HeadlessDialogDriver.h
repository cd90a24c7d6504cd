// Answers a plug-in's dialog the way a user would, for the headless mode: from inside the dialog's
// modal loop a timer finds the dialog by its widgets' object names, chooses the source location,
// enters the source, presses "Get data", prints the progress memo and presses "Close".
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <optional>
#include <ostream>
#include <string>

class HeadlessDialogDriver {
public:
    struct Answers {
        QString location;              // "internet", "local" or empty: leave the dialog's choice
        std::optional<QString> source; // nullopt: leave the dialog's source
    };

    HeadlessDialogDriver(Answers answers, std::ostream& out);
    // Starts looking for the dialog; runs until Stop.
    void Start() { FTimer.start(); }
    void Stop() { FTimer.stop(); }
    // Whether a dialog was closed without a run because "Get data" was disabled.
    bool GetDataDisabled() const { return FGetDataDisabled; }

private:
    enum class Step { Waiting, Seen, Configured, Closing };

    void Tick();
    void Configure(QDialog& dialog);
    void GetDataAndClose(QDialog& dialog);
    void PrintMemo(QDialog& dialog);
    static std::string DisabledReason(QDialog& dialog);
    static QDialog* FindUpdateDialog();
    void CloseStrayDialogs();

    Answers FAnswers;
    std::ostream& FOut;
    QTimer FTimer;
    QPointer<QDialog> FDialog;
    Step FStep = Step::Waiting;
    int FSourceRetries = 0;
    bool FBusy = false; // the run pumps events, so the timer fires again while "Get data" runs
    bool FGetDataDisabled = false;
};
