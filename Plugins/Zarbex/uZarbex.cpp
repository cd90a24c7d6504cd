#include "Plugins/Zarbex/uZarbex.h"

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

// The setters only show what they are given; a widget that reports the change back makes the presenter
// see its own value again, which changes nothing.
class TfrmZarbex::TView final : public IZarbexView {
public:
    explicit TView(TfrmZarbex& form) : FForm(form) {}

    void SetSourceText(const UnicodeString& text) override { FForm.edSource->setText(Q(text)); }
    void SetSourceReadOnly(bool readOnly) override { FForm.edSource->setReadOnly(readOnly); }
    void SetBrowseVisible(bool visible) override { FForm.edSourceButton->setVisible(visible); }
    void SetLocationItem(int index) override {
        if (QAbstractButton* item = FForm.rgLocationItems->button(index))
            item->setChecked(true);
    }
    void SetMarkDatesState(TMarkDatesState state) override {
        FForm.cbMarkDates->setCheckState(CheckStates[static_cast<int>(state)]);
    }
    void SetMarkDatesCaption(const UnicodeString& caption) override {
        FForm.cbMarkDates->setText(Q(caption));
    }
    void SetMarkDatesReadOnly(bool readOnly) override {
        FForm.cbMarkDates->setAttribute(Qt::WA_TransparentForMouseEvents, readOnly);
        FForm.cbMarkDates->setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
    }
    void SetGetDataEnabled(bool enabled) override { FForm.dbtUpdateOk->setEnabled(enabled); }
    void SetSourceControlsEnabled(bool enabled) override {
        for (QWidget* control : {static_cast<QWidget*>(FForm.edSource), FForm.rgLocation,
                                 static_cast<QWidget*>(FForm.cbMarkDates)})
            control->setEnabled(enabled);
        FForm.edSourceButton->setEnabled(enabled);
    }
    void ClearMemo() override { FForm.mProgress->clear(); }
    void AppendMemo(const UnicodeString& text, std::size_t topLine) override {
        QTextCursor end(FForm.mProgress->document());
        end.movePosition(QTextCursor::End);
        end.insertText(Q(text));
        FForm.mProgress->verticalScrollBar()->setValue(static_cast<int>(topLine));
    }
    void SetStatusText(const UnicodeString& text) override { FForm.psInfo->setText(Q(text)); }
    void SetProgressPercent(int percent) override { FForm.psProgress->setValue(percent); }
    void SetBusyCursor(bool busy) override {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    void CloseWindow() override { FForm.done(QDialog::Rejected); }
    bool AskForFile(TOpenDialog& dialog) override;

private:
    TfrmZarbex& FForm;
};

TfrmZarbex::TfrmZarbex(ICore* core, const ComPtr<IHostKernel>& kernel, const ComPtr<IHostServer>& server)
    : TForm(core), FView(std::make_unique<TView>(*this)),
      FPresenter(std::make_unique<TZarbexPresenter>(*FView, kernel, server, PluginIdentity::Name)) {
    BuildWidgets();
    ConnectEvents();
}

TfrmZarbex::~TfrmZarbex() = default;

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               const ComPtr<IHostServer>& server) {
    std::unique_ptr<TfrmZarbex> dialog(new TfrmZarbex(core, kernel, server));
    dialog->cbMarkDates->hide();
    return dialog;
}

void TfrmZarbex::BuildWidgets() {
    setObjectName("frmZarbex");
    setWindowTitle(Q(FPresenter->Caption()));
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
    // No item is selected before activation.
    rgLocationItems->addButton(local, 1);

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
}

void TfrmZarbex::ConnectEvents() {
    TZarbexPresenter& p = *FPresenter;
    connect(edSource, &QLineEdit::textChanged, this,
            [&p](const QString& text) { p.Guard([&p, text] { p.edSourceChange(U(text)); }); });
    connect(edSourceButton, &QAction::triggered, this, [&p] { p.Guard([&p] { p.edSourceButtonClick(); }); });
    connect(rgLocationItems, &QButtonGroup::idClicked, this,
            [&p](int id) { p.Guard([&p, id] { p.rgLocationClick(id); }); });
    connect(cbMarkDates, &QCheckBox::stateChanged, this, [&p](int state) {
        p.Guard([&p, state] { p.cbMarkDatesChange(MarkDatesState(static_cast<Qt::CheckState>(state))); });
    });
    connect(dbtUpdateOk, &QPushButton::clicked, this, [&p] { p.Guard([&p] { p.dbtUpdateClickOk(); }); });
    connect(dbtUpdateCancel, &QPushButton::clicked, this,
            [this] { FPresenter->Guard([this] { reject(); }); });
}

void TfrmZarbex::FormShow() {
    // The memo ends 5 pixels above the check box when it shows, 15 above the panel's edge when not.
    const bool markDatesShown = cbMarkDates->isVisibleTo(this);
    QWidget* panel = mProgress->parentWidget();
    mProgress->setGeometry(mProgress->x(), mProgress->y(), mProgress->width(),
                           panel->height() - mProgress->y() -
                               (markDatesShown ? 5 + cbMarkDates->height() + 10 : 15));
    FPresenter->Guard([this] { FPresenter->FormActivate(); });
}

void TfrmZarbex::done(int result) {
    if (!FPresenter->CloseQuery())
        return;
    FPresenter->Guard([this] { FPresenter->FormClose(); });
    TForm::done(result);
}

bool TfrmZarbex::TView::AskForFile(TOpenDialog& dialog) {
    QFileDialog files(&FForm, Q(dialog.Title), Q(dialog.InitialDir));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& [description, pattern] : dialog.FilterPairs())
        filters << Q(description) + " (" + Q(pattern) + ")";
    files.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
        files.selectNameFilter(filters[dialog.FilterIndex - 1]);
    files.setDefaultSuffix(Q(dialog.DefaultExtWithoutDot()));
    if (!dialog.FileName.empty())
        files.selectFile(Q(dialog.FileName));
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return false;
    dialog.FileName = U(files.selectedFiles().first());
    return true;
}
