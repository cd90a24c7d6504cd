#include "Host/MainWindow.h"

#include "Host/Callbook.h"
#include "Host/LogHost.h"
#include "Host/LogHostCallbookModel.h"
#include "Host/LogHostWindowHandle.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// The bureau filter's entries, in the combo's order.
std::optional<bool> BureauFilter(int index) {
    if (index == 1)
        return true;
    if (index == 2)
        return false;
    return std::nullopt;
}
} // namespace

MainWindow::MainWindow() {
    setWindowTitle("LogHost");
    setObjectName("MainWindow");

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel("Call prefix:", central));
    FPrefix = new QLineEdit(central);
    FPrefix->setObjectName("edPrefix");
    FPrefix->setPlaceholderText("e.g. UR5");
    FPrefix->setClearButtonEnabled(true);
    FPrefix->setMaximumWidth(160);
    filters->addWidget(FPrefix);
    filters->addSpacing(12);
    filters->addWidget(new QLabel("Bureau:", central));
    FBureau = new QComboBox(central);
    FBureau->setObjectName("cbBureau");
    FBureau->addItems({"All", "With bureau", "Without"});
    filters->addWidget(FBureau);
    filters->addStretch();
    layout->addLayout(filters);

    auto* splitter = new QSplitter(Qt::Vertical, central);
    FModel = new LogHostCallbookModel(this);
    FTable = new QTableView(splitter);
    FTable->setObjectName("tvCallbook");
    FTable->setModel(FModel);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setAlternatingRowColors(true);
    FTable->verticalHeader()->setDefaultSectionSize(FTable->fontMetrics().height() + 6);
    FTable->verticalHeader()->hide();
    FLog = new QPlainTextEdit(splitter);
    FLog->setObjectName("mLog");
    FLog->setReadOnly(true);
    FLog->setMaximumBlockCount(10000);
    splitter->addWidget(FTable);
    splitter->addWidget(FLog);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({500, 120});
    layout->addWidget(splitter);
    setCentralWidget(central);

    FCounts = new QLabel(this);
    statusBar()->addPermanentWidget(FCounts);

    QMenu* file = menuBar()->addMenu("&File");
    QAction* quit = file->addAction("&Quit");
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    FPluginsMenu = menuBar()->addMenu("&Plugins");

    connect(FPrefix, &QLineEdit::textChanged, this, [this] { Refresh(); });
    connect(FBureau, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });

    resize(960, 680);
}

void MainWindow::SetHost(LogHost* host) {
    FHost = host;
    RebuildPluginsMenu();
    Refresh();
}

void MainWindow::AppendLog(const LogEntry& entry) {
    FLog->appendPlainText(entry.Line());
}

void MainWindow::ShowMessage(const QString& text, const QString& caption) {
    QMessageBox::information(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this,
                             caption, text);
}

void MainWindow::Refresh() {
    const Callbook* callbook = FHost ? FHost->OpenCallbook() : nullptr;
    const std::optional<bool> bureau = BureauFilter(FBureau->currentIndex());
    const QString prefix = FPrefix->text().trimmed();
    FModel->Reload(callbook, prefix, bureau);
    FTable->resizeColumnsToContents();
    // The widest detail the callbook has takes the room that is left.
    QHeaderView* header = FTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (const auto column :
         {LogHostCallbookModel::Qth, LogHostCallbookModel::Name, LogHostCallbookModel::Prefix})
        if (const int section = FModel->SectionOf(column); section >= 0) {
            header->setSectionResizeMode(section, QHeaderView::Stretch);
            break;
        }
    if (callbook == nullptr) {
        FCounts->setText("No callbook open");
        return;
    }
    const auto total = callbook->Count();
    const auto flagged = callbook->BureauCount();
    const auto matching = callbook->Count(prefix.toStdString(), bureau);
    QString text =
        QString("%1 callsigns, %2 with bureau flag; %3 match").arg(total).arg(flagged).arg(matching);
    if (matching > FModel->rowCount())
        text += QString(" (first %1 shown)").arg(FModel->rowCount());
    FCounts->setText(text);
}

void MainWindow::ScheduleMenuRebuild() {
    if (FRebuildPending)
        return;
    FRebuildPending = true;
    QMetaObject::invokeMethod(
        this, [this] { RebuildPluginsMenu(); }, Qt::QueuedConnection);
}

void MainWindow::RebuildPluginsMenu() {
    FRebuildPending = false;
    FPluginsMenu->clear();
    auto items = FHost ? FHost->MenuItems() : std::vector<ComPtr<HostMenuItem>>{};
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a->Category() < b->Category(); });
    for (std::size_t i = 0; i < items.size(); ++i) {
        const HostMenuItem& item = *items[i].get();
        if (i > 0 && items[i - 1]->Category() != item.Category())
            FPluginsMenu->addSeparator();
        const QString caption = QString::fromStdU16String(item.Caption());
        QAction* action = FPluginsMenu->addAction(caption);
        action->setStatusTip(QString::fromStdU16String(item.Hint()));
        action->setEnabled(item.Enabled());
        // An item deleted meanwhile stays alive with the action but no longer calls its handler.
        connect(action, &QAction::triggered, this, [this, entry = items[i]] { ChooseItem(entry); });
    }
    if (items.empty())
        FPluginsMenu->addAction("(no plug-ins)")->setEnabled(false);
}

void MainWindow::ChooseItem(const ComPtr<HostMenuItem>& item) {
    if (FHost == nullptr || item->Deleted())
        return;
    const ClickResult result = FHost->Click(*item.get());
    if (!result.Succeeded())
        QMessageBox::warning(this, QString::fromStdU16String(item->Caption()), result.description);
}

HWND MainWindow::Handle() {
    if (const auto handle = WindowHandle(*this))
        return *handle;
    if (FHost)
        FHost->Log(QString("The main window's id %1 does not fit 32 bits").arg(winId()));
    return 0;
}
