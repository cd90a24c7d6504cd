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
    prefix_ = new QLineEdit(central);
    prefix_->setObjectName("edPrefix");
    prefix_->setPlaceholderText("e.g. UR5");
    prefix_->setClearButtonEnabled(true);
    prefix_->setMaximumWidth(160);
    filters->addWidget(prefix_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel("Bureau:", central));
    bureau_ = new QComboBox(central);
    bureau_->setObjectName("cbBureau");
    bureau_->addItems({"All", "With bureau", "Without"});
    filters->addWidget(bureau_);
    filters->addStretch();
    layout->addLayout(filters);

    auto* splitter = new QSplitter(Qt::Vertical, central);
    model_ = new LogHostCallbookModel(this);
    table_ = new QTableView(splitter);
    table_->setObjectName("tvCallbook");
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->verticalHeader()->hide();
    log_ = new QPlainTextEdit(splitter);
    log_->setObjectName("mLog");
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(10000);
    splitter->addWidget(table_);
    splitter->addWidget(log_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({500, 120});
    layout->addWidget(splitter);
    setCentralWidget(central);

    counts_ = new QLabel(this);
    statusBar()->addPermanentWidget(counts_);

    QMenu* file = menuBar()->addMenu("&File");
    QAction* quit = file->addAction("&Quit");
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    pluginsMenu_ = menuBar()->addMenu("&Plugins");

    connect(prefix_, &QLineEdit::textChanged, this, [this] { Refresh(); });
    connect(bureau_, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });

    resize(960, 680);
}

void MainWindow::SetHost(LogHost* host) {
    host_ = host;
    RebuildPluginsMenu();
    Refresh();
}

void MainWindow::AppendLog(const LogEntry& entry) {
    log_->appendPlainText(entry.Line());
}

void MainWindow::ShowMessage(const QString& text, const QString& caption) {
    QMessageBox::information(QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this,
                             caption, text);
}

void MainWindow::Refresh() {
    const Callbook* callbook = host_ ? host_->OpenCallbook() : nullptr;
    const std::optional<bool> bureau = BureauFilter(bureau_->currentIndex());
    const QString prefix = prefix_->text().trimmed();
    model_->Reload(callbook, prefix, bureau);
    table_->resizeColumnsToContents();
    // The widest detail the callbook has takes the room that is left.
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (const auto column :
         {LogHostCallbookModel::Qth, LogHostCallbookModel::Name, LogHostCallbookModel::Prefix})
        if (const int section = model_->SectionOf(column); section >= 0) {
            header->setSectionResizeMode(section, QHeaderView::Stretch);
            break;
        }
    if (callbook == nullptr) {
        counts_->setText("No callbook open");
        return;
    }
    const auto total = callbook->Count();
    const auto flagged = callbook->BureauCount();
    const auto matching = callbook->Count(prefix.toStdString(), bureau);
    QString text =
        QString("%1 callsigns, %2 with bureau flag; %3 match").arg(total).arg(flagged).arg(matching);
    if (matching > model_->rowCount())
        text += QString(" (first %1 shown)").arg(model_->rowCount());
    counts_->setText(text);
}

void MainWindow::ScheduleMenuRebuild() {
    if (rebuildPending_)
        return;
    rebuildPending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { RebuildPluginsMenu(); }, Qt::QueuedConnection);
}

void MainWindow::RebuildPluginsMenu() {
    rebuildPending_ = false;
    pluginsMenu_->clear();
    auto items = host_ ? host_->MenuItems() : std::vector<ComPtr<HostMenuItem>>{};
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a->Category() < b->Category(); });
    for (std::size_t i = 0; i < items.size(); ++i) {
        const HostMenuItem& item = *items[i].get();
        if (i > 0 && items[i - 1]->Category() != item.Category())
            pluginsMenu_->addSeparator();
        const QString caption = QString::fromStdU16String(item.Caption());
        QAction* action = pluginsMenu_->addAction(caption);
        action->setStatusTip(QString::fromStdU16String(item.Hint()));
        action->setEnabled(item.Enabled());
        // An item deleted meanwhile stays alive with the action but no longer calls its handler.
        connect(action, &QAction::triggered, this, [this, entry = items[i]] { ChooseItem(entry); });
    }
    if (items.empty())
        pluginsMenu_->addAction("(no plug-ins)")->setEnabled(false);
}

void MainWindow::ChooseItem(const ComPtr<HostMenuItem>& item) {
    if (host_ == nullptr || item->Deleted())
        return;
    const ClickResult result = host_->Click(*item.get());
    if (!result.Succeeded())
        QMessageBox::warning(this, QString::fromStdU16String(item->Caption()), result.description);
}

HWND MainWindow::Handle() {
    if (const auto handle = WindowHandle(*this))
        return *handle;
    if (host_)
        host_->Log(QString("The main window's id %1 does not fit 32 bits").arg(winId()));
    return 0;
}
