#include "Plugins/Zarbex/uZarbex.h"

#include "Includes/uCommFunc.h"

#include "Platform/TickCount.h"
#include "PluginAPI/BStr.h"
#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/ZarbexLogo.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>

#include <cmath>

bool UpdateDone = false;

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

bool ShowOpenDialog(TOpenDialog& dialog, QWidget* owner) {
    QFileDialog files(owner, dialog.Title, dialog.InitialDir);
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setFileMode(QFileDialog::ExistingFile);
    // "Description|pattern" pairs become Qt's "Description (pattern)".
    QStringList parts = dialog.Filter.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1] + ")";
    files.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
        files.selectNameFilter(filters[dialog.FilterIndex - 1]);
    files.setDefaultSuffix(dialog.DefaultExt.startsWith('.') ? dialog.DefaultExt.mid(1) : dialog.DefaultExt);
    if (!dialog.FileName.isEmpty())
        files.selectFile(dialog.FileName);
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return false;
    dialog.FileName = files.selectedFiles().first();
    return true;
}

} // namespace

TfrmZarbex::TfrmZarbex(ICore* core) : TForm(core) {
    BuildWidgets();
    dlgSource.Title = "Select updates...";
    dlgSource.Execute = [this](TOpenDialog& dialog) { return ShowOpenDialog(dialog, this); };
}

TfrmZarbex::~TfrmZarbex() = default;

std::unique_ptr<TfrmZarbex> TfrmZarbex::Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                               const ComPtr<IHostServer>& server) {
    std::unique_ptr<TfrmZarbex> dialog(new TfrmZarbex(core));
    dialog->setWindowTitle(QString::fromStdU16String(PluginIdentity::Name));
    dialog->FKernel = kernel;
    dialog->FServer = server;
    if (!dialog->FKernel)
        throw EInvalidOperation(u"The host offers no kernel services (IHostKernel)");
    BStr value;
    HostCall(dialog->FKernel->GetValue(BStr(u"APPINI").get(), value.put()));
    dialog->FIniPath = value.str();
    dialog->FSection = u"Bureau-UR";
    dialog->FInternetSource = DefaultInternetSource;
    HostCall(dialog->FKernel->GetValue(BStr(u"DOWNLOAD").get(), value.put()));
    dialog->FLocalSource = value.str() + u"/" + DefaultArchiveName;
    dialog->dlgSource.Filter = "RAR archive files|*.rar";
    dialog->dlgSource.FilterIndex = 1;
    dialog->FLocation = SourceLocation::Internet;
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

    // Connections are made once, here.
    connect(edSource, &QLineEdit::textChanged, this, [this] { Guard([this] { edSourceChange(); }); });
    connect(edSourceButton, &QAction::triggered, this, [this] { Guard([this] { edSourceButtonClick(); }); });
    // A click on the item already selected (the one FLocation stands for) selects nothing new.
    connect(rgLocationItems, &QButtonGroup::idClicked, this, [this](int id) {
        if (id != (FLocation == SourceLocation::Internet ? 0 : FLocation == SourceLocation::Local ? 1 : -1))
            Guard([this, id] { rgLocationChanging(id); });
    });
    connect(cbMarkDates, &QCheckBox::stateChanged, this, [this] { Guard([this] { cbMarkDatesClick(); }); });
    connect(dbtUpdateOk, &QPushButton::clicked, this, [this] { Guard([this] { dbtUpdateClickOk(); }); });
    connect(dbtUpdateCancel, &QPushButton::clicked, this,
            [this] { Guard([this] { dbtUpdateClickCancel(); }); });
}

void TfrmZarbex::Guard(const std::function<void()>& handler) {
    GuardHandler(FKernel, handler);
}

TIniFile& TfrmZarbex::Settings() {
    if (!iniUpdate)
        iniUpdate =
            std::make_unique<TIniFile>(ResolveIniPath(FIniPath, U(QCoreApplication::applicationFilePath())));
    return *iniUpdate;
}

void TfrmZarbex::FormShow() {
    Guard([this] { FormActivate(); });
}

void TfrmZarbex::FormActivate() {
    const UnicodeString location = Settings().ReadString(FSection, u"Location", u"");
    if (!location.empty()) {
        if (location == u"Internet")
            FLocation = SourceLocation::Internet;
        else if (location == u"Local")
            FLocation = SourceLocation::Local;
    }
    UnicodeString resource;
    if (FLocation == SourceLocation::Internet) {
        resource = Settings().ReadString(FSection, u"Resource", u"");
        if (resource.empty())
            resource = FInternetSource;
    } else if (FLocation == SourceLocation::Local) {
        resource = Settings().ReadString(FSection, u"Resource", u"");
        if (resource.empty())
            resource = FLocalSource;
    }
    if (FLocation == SourceLocation::Internet) {
        rgLocationItems->button(0)->setChecked(true);
        FInternetSource = resource;
    } else if (FLocation == SourceLocation::Local) {
        rgLocationItems->button(1)->setChecked(true);
        FLocalSource = resource;
    }
    edSource->setText(Q(resource));
    const int bottomMargin = cbMarkDates->isVisibleTo(this) ? 5 : 15;
    QWidget* panel = mProgress->parentWidget();
    mProgress->setGeometry(mProgress->x(), mProgress->y(), mProgress->width(),
                           panel->height() - mProgress->y() - bottomMargin -
                               (cbMarkDates->isVisibleTo(this) ? cbMarkDates->height() + 10 : 0));
    UpdateDone = false;
    mProgress->clear();
    ShowProgress(0);
    CheckLocation();
    CheckActions();
}

void TfrmZarbex::done(int result) {
    // A close asked for during a run waits for the run to return.
    if (running_) {
        closeRequested_ = true;
        return;
    }
    Guard([this] { FormClose(); });
    TForm::done(result);
}

void TfrmZarbex::FormClose() {
    if (!UpdateDone)
        return;
    Settings().WriteString(FSection, u"Resource", U(edSource->text()));
    const char16_t* value = FLocation == SourceLocation::Internet ? u"Internet"
                            : FLocation == SourceLocation::Local  ? u"Local"
                                                                  : u"";
    Settings().WriteString(FSection, u"Location", value);
}

void TfrmZarbex::CheckActions() {
    const UnicodeString text = U(edSource->text());
    bool ready = !Trim(text).empty();
    ready = ready && (FLocation == SourceLocation::Internet ||
                      (FLocation == SourceLocation::Local && FileExists(text)));
    dbtUpdateOk->setEnabled(ready && !UpdateDone && !running_);
}

void TfrmZarbex::SetMarkDatesReadOnly(bool readOnly) {
    markDatesReadOnly_ = readOnly;
    cbMarkDates->setAttribute(Qt::WA_TransparentForMouseEvents, readOnly);
    cbMarkDates->setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
}

void TfrmZarbex::CheckLocation() {
    const bool internet = FLocation == SourceLocation::Internet;
    const bool local = FLocation == SourceLocation::Local;
    // Typing is allowed for an address only: a local path comes from the browse button.
    edSource->setReadOnly(!internet);
    edSourceButton->setVisible(local);
    edSource->setText(internet ? Q(FInternetSource) : local ? Q(FLocalSource) : QString());
    if (internet) {
        SetMarkDatesReadOnly(false);
    } else {
        cbMarkDates->setCheckState(Qt::Unchecked);
        SetMarkDatesReadOnly(true);
    }
}

void TfrmZarbex::rgLocationChanging(int newIndex) {
    FLocation = newIndex == 0   ? SourceLocation::Internet
                : newIndex == 1 ? SourceLocation::Local
                                : SourceLocation::None;
    CheckLocation();
}

void TfrmZarbex::edSourceChange() {
    UpdateDone = false;
    CheckActions();
}

void TfrmZarbex::cbMarkDatesClick() {
    switch (cbMarkDates->checkState()) {
    case Qt::Unchecked:
        cbMarkDates->setText("mark activity dates");
        break;
    case Qt::Checked:
        cbMarkDates->setText("mark activity dates (full, traffic && time expensive)");
        break;
    case Qt::PartiallyChecked:
        cbMarkDates->setText("mark activity dates (for undefined only)");
        break;
    }
    UpdateDone = false;
    CheckActions();
}

void TfrmZarbex::edSourceButtonClick() {
    const QString text = edSource->text();
    const QString lastComponent = text.mid(text.lastIndexOf('/') + 1);
    const int dot = lastComponent.lastIndexOf('.');
    const QString extension = dot < 0 ? QString() : lastComponent.mid(dot);
    QString folder, name;
    if (FileExists(U(text))) {
        const int slash = text.lastIndexOf('/');
        folder = slash < 0 ? QString() : text.left(slash);
        name = text.mid(slash + 1);
    } else {
        folder = text;
    }
    dlgSource.InitialDir = folder;
    const int at = extension.isEmpty() ? -1 : name.indexOf(extension);
    if (at >= 0)
        dlgSource.FileName = name.left(at);
    dlgSource.DefaultExt = extension;
    if (dlgSource.Execute && dlgSource.Execute(dlgSource))
        edSource->setText(dlgSource.FileName);
}

void TfrmZarbex::dbtUpdateClickCancel() {
    reject();
}

void TfrmZarbex::MsgInfo(const UnicodeString& text) {
    psInfo->setText(Q(text));
}

void TfrmZarbex::ShowProgress(long double fraction) {
    psProgress->setValue(static_cast<std::int16_t>(std::trunc(fraction * 100)));
    ProcessMessages();
}

void TfrmZarbex::MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) {
    QString all = mProgress->toPlainText();
    for (std::int32_t i = 0; i < level; ++i)
        all += QStringLiteral("   ");
    all += Q(text);
    // Every line end the text brings (CR, LF or CR LF) is one line break of the memo.
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    all.replace(u'\r', u'\n');
    if (lineEnd)
        all += u'\n';
    mProgress->setPlainText(all);
    qsizetype lines = all.count(u'\n') + 1;
    if (all.endsWith(u'\n'))
        --lines;
    // The last line with text goes to the top of the view.
    mProgress->verticalScrollBar()->setValue(static_cast<int>(std::max<qsizetype>(lines - 1, 0)));
    ProcessMessages();
}

void TfrmZarbex::dbtUpdateClickOk() {
    const UnicodeString source = U(edSource->text());
    TUpdateRun run(FKernel, FServer, *this, U(windowTitle()));
    if (!run.CheckComponents(FLocation, source))
        return;
    UpdateDone = true;
    try {
        UpdateDone = run.Execute(FLocation, source);
    } catch (...) {
        // The dialog must not stay stuck: the flag and the buttons come back before the error is shown.
        UpdateDone = false;
        CheckActions();
        if (closeRequested_)
            done(QDialog::Rejected);
        throw;
    }
    CheckActions();
    if (closeRequested_)
        done(QDialog::Rejected);
}

void TfrmZarbex::ClearMemo() {
    mProgress->clear();
}

void TfrmZarbex::ClearEntryMarks() {
    psInfo->setText(QString());
}

void TfrmZarbex::AddEntryMark() {
    psInfo->setText(psInfo->text() + QLatin1Char('>'));
}

void TfrmZarbex::SetBusyCursor(bool busy) {
    if (busy == busyCursor_)
        return;
    busyCursor_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmZarbex::LockControls(bool locked) {
    running_ = locked;
    // No second run may start inside the first: the source and its options wait for the run.
    edSource->setEnabled(!locked);
    rgLocation->setEnabled(!locked);
    cbMarkDates->setEnabled(!locked);
    edSourceButton->setEnabled(!locked);
    CheckActions();
}

bool TfrmZarbex::CancelRequested() {
    // Close during a run: the run stops what it can stop (a download), and the dialog closes after it.
    return running_ && closeRequested_;
}

void TfrmZarbex::ProcessMessages() {
    // A breath every few milliseconds keeps the window as responsive as one per call, and costs far less
    // than one per line of a long list.
    const std::uint32_t now = GetTickCount();
    if (breathed_ && now - lastBreath_ < BreathIntervalMs)
        return;
    breathed_ = true;
    lastBreath_ = now;
    QCoreApplication::processEvents();
}
