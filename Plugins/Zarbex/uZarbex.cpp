#include "Plugins/Zarbex/uZarbex.h"

#include "Plugins/Zarbex/GuardHandler.h"
#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/ZarbexLogo.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>

namespace {

QString Q(const UnicodeString& s) {
    return QString::fromStdU16String(s);
}
UnicodeString U(const QString& s) {
    return s.toStdU16String();
}

QLabel* BoldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

constexpr Qt::CheckState CheckStates[] = {Qt::Unchecked, Qt::PartiallyChecked, Qt::Checked};

TMarkDatesState MarkDatesState(Qt::CheckState state) {
    return state == Qt::Checked            ? TMarkDatesState::Checked
           : state == Qt::PartiallyChecked ? TMarkDatesState::Grayed
                                           : TMarkDatesState::Unchecked;
}

} // namespace

TfrmZarbex::TfrmZarbex(ICore* core) : TForm(core) {
    BuildWidgets();
}

TfrmZarbex::~TfrmZarbex() = default;

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               const ComPtr<IHostServer>& server) {
    std::unique_ptr<TfrmZarbex> dialog(new TfrmZarbex(core));
    dialog->setWindowTitle(Q(PluginIdentity::Name));
    dialog->FKernel = kernel;
    dialog->FPresenter = std::make_unique<TZarbexPresenter>(*dialog, kernel, server, PluginIdentity::Name);
    dialog->cbMarkDates->hide();
    return dialog;
}

void TfrmZarbex::BuildWidgets() {
    setObjectName("frmZarbex");
    QFont font("Tahoma");
    font.setPointSize(8);
    setFont(font);
    setFixedSize(394, 266);
    setSizeGripEnabled(false);

    // The status bar: status text, a segmented progress bar, an empty pane.
    auto* statusBar = new QFrame(this);
    statusBar->setObjectName("StatusBar");
    statusBar->setGeometry(0, 247, 394, 19);
    psInfo = new QLabel(statusBar);
    psInfo->setObjectName("psInfo");
    psInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    psInfo->setGeometry(0, 0, 394 - 150 - 89, 19);
    psProgress = new QProgressBar(statusBar);
    psProgress->setObjectName("psProgress");
    psProgress->setGeometry(394 - 150 - 89, 0, 150, 19);
    psProgress->setRange(0, 100);
    psProgress->setValue(0);
    psProgress->setTextVisible(false);
    // Twenty segments in the grey-text colour, no number.
    psProgress->setStyleSheet(QStringLiteral("QProgressBar { border: 1px inset palette(mid); background: "
                                             "palette(window); } QProgressBar::chunk { background: "
                                             "palette(mid); width: 6px; margin: 1px; }"));
    auto* emptyPane = new QLabel(statusBar);
    emptyPane->setGeometry(394 - 89, 0, 89, 19);

    // The button column at the right edge, with the logo at its bottom.
    dbtUpdate = new QWidget(this);
    dbtUpdate->setObjectName("dbtUpdate");
    dbtUpdate->setGeometry(394 - 87, 20, 87, 247 - 20);
    dbtUpdateOk = new QPushButton("Get data", dbtUpdate);
    dbtUpdateOk->setObjectName("dbtUpdateOk");
    dbtUpdateOk->setGeometry(6, 0, 75, 25);
    dbtUpdateOk->setAutoDefault(false);
    dbtUpdateOk->setDefault(false);
    dbtUpdateCancel = new QPushButton("Close", dbtUpdate);
    dbtUpdateCancel->setObjectName("dbtUpdateCancel");
    dbtUpdateCancel->setGeometry(6, 31, 75, 25);
    dbtUpdateCancel->setAutoDefault(false);
    imgLogo = new QLabel(dbtUpdate);
    imgLogo->setObjectName("imgLogo");
    imgLogo->setPixmap(ZarbexLogo());
    imgLogo->setGeometry((87 - 54) / 2, 247 - 20 - 106 - 8, 54, 106);

    // The main panel.
    auto* panel = new QFrame(this);
    panel->setObjectName("pnlMain");
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(1, 0, 394 - 87 - 1, 247 - 2);
    const int width = panel->width() - 30;
    auto* sourceLabel = BoldLabel("Source data", panel);
    sourceLabel->setGeometry(15, 10, width, 14);
    edSource = new QLineEdit(panel);
    edSource->setObjectName("edSource");
    edSource->setGeometry(15, 26, width, 21);
    edSourceButton =
        edSource->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    edSourceButton->setObjectName("edSourceButton");
    edSourceButton->setToolTip("Browse...");

    rgLocation = new QWidget(panel);
    rgLocation->setObjectName("rgLocation");
    rgLocation->setGeometry(15, 52, width, 35);
    auto* groupCaption = BoldLabel(" Source location ", rgLocation);
    groupCaption->setGeometry(0, 0, width, 14);
    auto* underline = new QFrame(rgLocation);
    underline->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    underline->setGeometry(0, 14, width, 2);
    rgLocationItems = new QButtonGroup(rgLocation);
    auto* internet = new QRadioButton("Internet resource", rgLocation);
    internet->setObjectName("rgLocationInternet");
    internet->setGeometry(4, 17, width / 2 - 4, 18);
    auto* local = new QRadioButton("Local data file", rgLocation);
    local->setObjectName("rgLocationLocal");
    local->setGeometry(width / 2 + 4, 17, width / 2 - 4, 18);
    rgLocationItems->addButton(internet, 0);
    rgLocationItems->addButton(local, 1);
    // No item is selected before activation.
    rgLocationItems->setExclusive(false);
    internet->setChecked(false);
    local->setChecked(false);
    rgLocationItems->setExclusive(true);

    auto* progressLabel = BoldLabel("Progress", panel);
    progressLabel->setGeometry(15, 92, width, 14);
    mProgress = new QPlainTextEdit(panel);
    mProgress->setObjectName("mProgress");
    mProgress->setReadOnly(true);
    mProgress->setLineWrapMode(QPlainTextEdit::NoWrap);
    mProgress->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mProgress->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Like the memo's EM_LINESCROLL, the view may scroll until the last line is at its top.
    mProgress->setCenterOnScroll(true);
    QPalette palette = mProgress->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    mProgress->setPalette(palette);
    mProgress->setGeometry(15, 108, width, panel->height() - 108 - 15);

    cbMarkDates = new QCheckBox("Mark activity dates", panel);
    cbMarkDates->setObjectName("cbMarkDates");
    cbMarkDates->setTristate(true);
    cbMarkDates->setGeometry(15, panel->height() - 10 - 17, width, 17);

    setTabOrder(edSource, internet);
    setTabOrder(internet, local);
    setTabOrder(local, mProgress);
    setTabOrder(mProgress, cbMarkDates);

    // Connections are made once, here; each event goes to the presenter.
    connect(edSource, &QLineEdit::textChanged, this,
            [this](const QString& text) { Guard([this, text] { FPresenter->edSourceChange(U(text)); }); });
    connect(edSourceButton, &QAction::triggered, this,
            [this] { Guard([this] { FPresenter->edSourceButtonClick(); }); });
    connect(rgLocationItems, &QButtonGroup::idClicked, this,
            [this](int id) { Guard([this, id] { FPresenter->rgLocationClick(id); }); });
    connect(cbMarkDates, &QCheckBox::stateChanged, this, [this](int state) {
        Guard([this, state] {
            FPresenter->cbMarkDatesChange(MarkDatesState(static_cast<Qt::CheckState>(state)));
        });
    });
    connect(dbtUpdateOk, &QPushButton::clicked, this,
            [this] { Guard([this] { FPresenter->dbtUpdateClickOk(); }); });
    connect(dbtUpdateCancel, &QPushButton::clicked, this, [this] { Guard([this] { reject(); }); });
}

void TfrmZarbex::Guard(const std::function<void()>& handler) {
    GuardHandler(FKernel, handler);
}

void TfrmZarbex::FormShow() {
    // The memo ends 5 pixels above the check box when it shows, 15 above the panel's edge when not.
    const bool markDatesShown = cbMarkDates->isVisibleTo(this);
    QWidget* panel = mProgress->parentWidget();
    mProgress->setGeometry(mProgress->x(), mProgress->y(), mProgress->width(),
                           panel->height() - mProgress->y() -
                               (markDatesShown ? 5 + cbMarkDates->height() + 10 : 15));
    Guard([this] { FPresenter->FormActivate(); });
}

void TfrmZarbex::done(int result) {
    if (!FPresenter->CloseQuery())
        return;
    Guard([this] { FPresenter->FormClose(); });
    TForm::done(result);
}

void TfrmZarbex::CloseWindow() {
    done(QDialog::Rejected);
}

bool TfrmZarbex::AskForFile(TOpenDialog& dialog) {
    QFileDialog files(this, Q(dialog.Title), Q(dialog.InitialDir));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setFileMode(QFileDialog::ExistingFile);
    // "Description|pattern" pairs become Qt's "Description (pattern)".
    const QStringList parts = Q(dialog.Filter).split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1] + ")";
    files.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
        files.selectNameFilter(filters[dialog.FilterIndex - 1]);
    const QString defaultExt = Q(dialog.DefaultExt);
    files.setDefaultSuffix(defaultExt.startsWith('.') ? defaultExt.mid(1) : defaultExt);
    if (!dialog.FileName.empty())
        files.selectFile(Q(dialog.FileName));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return false;
    dialog.FileName = U(files.selectedFiles().first());
    return true;
}

void TfrmZarbex::SetSourceText(const UnicodeString& text) {
    edSource->setText(Q(text));
}

void TfrmZarbex::SetSourceReadOnly(bool readOnly) {
    edSource->setReadOnly(readOnly);
}

void TfrmZarbex::SetBrowseVisible(bool visible) {
    edSourceButton->setVisible(visible);
}

void TfrmZarbex::SetLocationItem(int index) {
    if (QAbstractButton* item = rgLocationItems->button(index))
        item->setChecked(true);
}

void TfrmZarbex::SetMarkDatesState(TMarkDatesState state) {
    cbMarkDates->setCheckState(CheckStates[static_cast<int>(state)]);
}

void TfrmZarbex::SetMarkDatesCaption(const UnicodeString& caption) {
    cbMarkDates->setText(Q(caption));
}

void TfrmZarbex::SetMarkDatesReadOnly(bool readOnly) {
    cbMarkDates->setAttribute(Qt::WA_TransparentForMouseEvents, readOnly);
    cbMarkDates->setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
}

void TfrmZarbex::SetGetDataEnabled(bool enabled) {
    dbtUpdateOk->setEnabled(enabled);
}

void TfrmZarbex::SetSourceControlsEnabled(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(edSource), rgLocation, static_cast<QWidget*>(cbMarkDates)})
        control->setEnabled(enabled);
    edSourceButton->setEnabled(enabled);
}

void TfrmZarbex::ClearMemo() {
    mProgress->clear();
}

void TfrmZarbex::AppendMemo(const UnicodeString& text, std::size_t topLine) {
    QTextCursor end(mProgress->document());
    end.movePosition(QTextCursor::End);
    end.insertText(Q(text));
    mProgress->verticalScrollBar()->setValue(static_cast<int>(topLine));
}

void TfrmZarbex::SetStatusText(const UnicodeString& text) {
    psInfo->setText(Q(text));
}

void TfrmZarbex::SetProgressPercent(int percent) {
    psProgress->setValue(percent);
}

void TfrmZarbex::SetBusyCursor(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmZarbex::ProcessMessages() {
    QCoreApplication::processEvents();
}
