#include "Plugins/Zarbex/uZarbex.h"

#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/ZarbexLogo.h"
#include "Plugins/Zarbex/uZarbexLayout.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>

using namespace ZarbexLayout;

namespace {

QString Q(const UnicodeString& s) {
    return QString::fromStdU16String(s);
}
UnicodeString U(const QString& s) {
    return s.toStdU16String();
}

// A widget of the dialog, made on its parent (which owns it), named as the dialog's member and placed.
template <class T, class... Args>
T* Place(QWidget* parent, const char* name, const QRect& geometry, Args&&... args) {
    auto* widget = new T(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QLabel* BoldLabel(QWidget* parent, const QRect& geometry, const QString& text) {
    auto* label = Place<QLabel>(parent, "", geometry, text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The box's states go by number: Qt counts them in the order of a click, as TMarkDatesState does.
static_assert(Qt::Unchecked == int(TMarkDatesState::Unchecked) &&
              Qt::PartiallyChecked == int(TMarkDatesState::Grayed) &&
              Qt::Checked == int(TMarkDatesState::Checked));

} // namespace

// The view shows what it is given; a widget that reports the change back makes the presenter see its own
// value again, which changes nothing.
class TfrmZarbex::TView final : public QObject, public IZarbexView {
public:
    explicit TView(TfrmZarbex& form) : QObject(&form), FForm(form) {}

    void Show(const TZarbexViewState& state, TViewField fields) override;
    void ClearMemo() override { FForm.mProgress->clear(); }
    void AppendMemo(const UnicodeString& text, std::size_t topLine) override {
        QTextCursor end(FForm.mProgress->document());
        end.movePosition(QTextCursor::End);
        end.insertText(Q(text));
        FForm.mProgress->verticalScrollBar()->setValue(static_cast<int>(topLine));
    }
    bool AskForFile(TOpenDialog& dialog) override;
    void ShowError(const UnicodeString& text) override {
        QMessageBox::critical(&FForm, QStringLiteral("Error"), Q(text));
    }
    // The presenter's close has run: the modal run ends without asking it again.
    void CloseWindow() override { FForm.TForm::done(QDialog::Rejected); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }

private:
    void ShowMarkDates(const TZarbexViewState& state, TViewField fields);
    void ShowControls(const TZarbexViewState& state, TViewField fields);

    TfrmZarbex& FForm;
};

void TfrmZarbex::TView::Show(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    if (Has(fields, SourceText))
        FForm.edSource->setText(Q(state.SourceText));
    if (Has(fields, SourceReadOnly))
        FForm.edSource->setReadOnly(state.SourceReadOnly);
    if (Has(fields, BrowseVisible))
        FForm.edSourceButton->setVisible(state.BrowseVisible);
    if (Has(fields, LocationItem)) {
        // The group selects no item before activation, and none other than its two.
        if (QAbstractButton* item = FForm.rgLocationItems->button(state.LocationItem))
            item->setChecked(true);
    }
    ShowMarkDates(state, fields);
    ShowControls(state, fields);
    if (Has(fields, StatusText))
        FForm.psInfo->setText(Q(state.StatusText));
    if (Has(fields, ProgressPercent))
        FForm.psProgress->setValue(state.ProgressPercent);
}

void TfrmZarbex::TView::ShowMarkDates(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    QCheckBox& box = *FForm.cbMarkDates;
    if (Has(fields, MarkDates))
        box.setCheckState(static_cast<Qt::CheckState>(state.MarkDates));
    if (Has(fields, MarkDatesCaption))
        box.setText(Q(state.MarkDatesCaption));
    if (Has(fields, MarkDatesReadOnly)) {
        box.setAttribute(Qt::WA_TransparentForMouseEvents, state.MarkDatesReadOnly);
        box.setFocusPolicy(state.MarkDatesReadOnly ? Qt::NoFocus : Qt::StrongFocus);
    }
    if (Has(fields, MarkDatesVisible))
        box.setVisible(state.MarkDatesVisible);
}

void TfrmZarbex::TView::ShowControls(const TZarbexViewState& state, TViewField fields) {
    using enum TViewField;
    if (Has(fields, GetDataEnabled))
        FForm.dbtUpdateOk->setEnabled(state.GetDataEnabled);
    if (Has(fields, SourceControlsEnabled)) {
        for (QWidget* control : {static_cast<QWidget*>(FForm.edSource), FForm.rgLocation,
                                 static_cast<QWidget*>(FForm.cbMarkDates)})
            control->setEnabled(state.SourceControlsEnabled);
        FForm.edSourceButton->setEnabled(state.SourceControlsEnabled);
    }
    if (Has(fields, BusyCursor)) {
        if (state.BusyCursor)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
}

TfrmZarbex::TfrmZarbex(ICore* core, const ComPtr<IHostKernel>& kernel, TUpdateRunFactory runs)
    : TForm(core), FView(new TView(*this)),
      FPresenter(std::make_unique<TZarbexPresenter>(*FView, kernel, std::move(runs), PluginIdentity::Name)) {
    BuildWidgets();
    ConnectEvents();
    FPresenter->Guard([this] { FPresenter->FormCreate(); });
}

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               TUpdateRunFactory runs) {
    return std::unique_ptr<TfrmZarbex>(new TfrmZarbex(core, kernel, std::move(runs)));
}

void TfrmZarbex::BuildWidgets() {
    setObjectName("frmZarbex");
    setWindowTitle(Q(FPresenter->Caption()));
    QFont font("Tahoma");
    font.setPointSize(8);
    setFont(font);
    setFixedSize(ClientWidth, ClientHeight);
    setSizeGripEnabled(false);

    // The status bar: status text, a segmented progress bar, an empty pane.
    auto* statusBar = Place<QFrame>(this, "StatusBar", {0, StatusBarTop, ClientWidth, StatusBarHeight});
    psInfo = Place<QLabel>(statusBar, "psInfo", {0, 0, InfoPaneWidth, StatusBarHeight});
    psInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    psProgress =
        Place<QProgressBar>(statusBar, "psProgress", {InfoPaneWidth, 0, ProgressPaneWidth, StatusBarHeight});
    psProgress->setRange(0, 100);
    psProgress->setValue(0);
    psProgress->setTextVisible(false);
    // Twenty segments in the grey-text colour, no number.
    psProgress->setStyleSheet(QStringLiteral("QProgressBar { border: 1px inset palette(mid); background: "
                                             "palette(window); } QProgressBar::chunk { background: "
                                             "palette(mid); width: 6px; margin: 1px; }"));
    Place<QLabel>(statusBar, "", {ClientWidth - EmptyPaneWidth, 0, EmptyPaneWidth, StatusBarHeight});

    // The button column at the right edge, with the logo at its bottom.
    dbtUpdate = Place<QWidget>(this, "dbtUpdate", {PanelRight, 20, ButtonColumnWidth, StatusBarTop - 20});
    dbtUpdateOk = Place<QPushButton>(dbtUpdate, "dbtUpdateOk", {6, 0, 75, 25}, "Get data");
    dbtUpdateOk->setAutoDefault(false);
    dbtUpdateOk->setDefault(false);
    dbtUpdateCancel = Place<QPushButton>(dbtUpdate, "dbtUpdateCancel", {6, 31, 75, 25}, "Close");
    dbtUpdateCancel->setAutoDefault(false);
    imgLogo = Place<QLabel>(dbtUpdate, "imgLogo",
                            {(ButtonColumnWidth - 54) / 2, StatusBarTop - 20 - 106 - 8, 54, 106});
    imgLogo->setPixmap(ZarbexLogo());

    // The main panel.
    auto* panel = Place<QFrame>(this, "pnlMain", {PanelLeft, 0, PanelRight - PanelLeft, PanelBottom});
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const int width = panel->width() - 30;
    BoldLabel(panel, {15, 10, width, 14}, "Source data");
    edSource = Place<QLineEdit>(panel, "edSource", {15, 26, width, 21});
    edSourceButton =
        edSource->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    edSourceButton->setObjectName("edSourceButton");
    edSourceButton->setToolTip("Browse...");

    rgLocation = Place<QWidget>(panel, "rgLocation", {15, 52, width, 35});
    BoldLabel(rgLocation, {0, 0, width, 14}, " Source location ");
    Place<QFrame>(rgLocation, "", {0, 14, width, 2})->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    rgLocationItems = new QButtonGroup(rgLocation);
    auto* internet = Place<QRadioButton>(rgLocation, "rgLocationInternet", {4, 17, width / 2 - 4, 18},
                                         "Internet resource");
    auto* local = Place<QRadioButton>(rgLocation, "rgLocationLocal", {width / 2 + 4, 17, width / 2 - 4, 18},
                                      "Local data file");
    // No item is selected before activation.
    rgLocationItems->addButton(internet, 0);
    rgLocationItems->addButton(local, 1);

    BoldLabel(panel, {15, 92, width, 14}, "Progress");
    mProgress = Place<QPlainTextEdit>(panel, "mProgress", {15, 108, width, panel->height() - 108 - 15});
    mProgress->setReadOnly(true);
    mProgress->setLineWrapMode(QPlainTextEdit::NoWrap);
    mProgress->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mProgress->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Like the memo's EM_LINESCROLL, the view may scroll until the last line is at its top.
    mProgress->setCenterOnScroll(true);
    QPalette palette = mProgress->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    mProgress->setPalette(palette);

    cbMarkDates = Place<QCheckBox>(panel, "cbMarkDates", {15, panel->height() - 10 - 17, width, 17},
                                   "Mark activity dates");
    cbMarkDates->setTristate(true);

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
    connect(cbMarkDates, &QCheckBox::clicked, this, [this, &p] {
        // Qt has turned the box already; the presenter's turn is the one that counts.
        cbMarkDates->setCheckState(static_cast<Qt::CheckState>(p.State().MarkDates));
        p.Guard([&p] { p.cbMarkDatesClick(); });
    });
    connect(dbtUpdateOk, &QPushButton::clicked, this, [&p] { p.Guard([&p] { p.dbtUpdateClickOk(); }); });
    connect(dbtUpdateCancel, &QPushButton::clicked, this,
            [&p] { p.Guard([&p] { p.dbtUpdateCancelClick(); }); });
}

void TfrmZarbex::FormShow() {
    // The panel starts at the dialog's top edge: its coordinates are the dialog's.
    const int bottom = MemoBottom(cbMarkDates->isVisibleTo(this), cbMarkDates->y());
    mProgress->setGeometry(mProgress->x(), mProgress->y(), mProgress->width(), bottom - mProgress->y());
    FPresenter->Guard([this] { FPresenter->FormActivate(); });
}

void TfrmZarbex::done(int) {
    // Esc and the close box come here: they close as "Close" does.
    FPresenter->Guard([this] { FPresenter->dbtUpdateCancelClick(); });
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
