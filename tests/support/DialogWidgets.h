// The update dialog's widgets, found by their object names as a host's automation finds them.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <stdexcept>
#include <string>

template <class T> T* FindWidget(const QObject& root, const char* name) {
    T* child = root.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        throw std::runtime_error(std::string("the dialog has no ") + name);
    return child;
}

struct DialogWidgets {
    QLineEdit* edSource = nullptr;
    QAction* edSourceButton = nullptr;
    QRadioButton* rgLocationInternet = nullptr;
    QRadioButton* rgLocationLocal = nullptr;
    QCheckBox* cbMarkDates = nullptr;
    QPlainTextEdit* mProgress = nullptr;
    QLabel* psInfo = nullptr;
    QProgressBar* psProgress = nullptr;
    QPushButton* dbtUpdateOk = nullptr;
    QPushButton* dbtUpdateCancel = nullptr;
    QLabel* imgLogo = nullptr;

    DialogWidgets() = default;
    explicit DialogWidgets(const QWidget& dialog)
        : edSource(FindWidget<QLineEdit>(dialog, "edSource")),
          edSourceButton(FindWidget<QAction>(dialog, "edSourceButton")),
          rgLocationInternet(FindWidget<QRadioButton>(dialog, "rgLocationInternet")),
          rgLocationLocal(FindWidget<QRadioButton>(dialog, "rgLocationLocal")),
          cbMarkDates(FindWidget<QCheckBox>(dialog, "cbMarkDates")),
          mProgress(FindWidget<QPlainTextEdit>(dialog, "mProgress")),
          psInfo(FindWidget<QLabel>(dialog, "psInfo")),
          psProgress(FindWidget<QProgressBar>(dialog, "psProgress")),
          dbtUpdateOk(FindWidget<QPushButton>(dialog, "dbtUpdateOk")),
          dbtUpdateCancel(FindWidget<QPushButton>(dialog, "dbtUpdateCancel")),
          imgLogo(FindWidget<QLabel>(dialog, "imgLogo")) {}

    // The location group's item by its index: 0 Internet, 1 Local.
    QRadioButton* Location(int index) const { return index == 0 ? rgLocationInternet : rgLocationLocal; }
};
