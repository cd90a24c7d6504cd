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
#include <QKeySequence>
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

#include <array>
#include <iterator>
#include <stdexcept>
#include <string>

using namespace ZarbexLayout;

namespace {

QString Q(const UnicodeString& s) {
    return QString::fromStdU16String(s);
}
UnicodeString U(const QString& s) {
    return s.toStdU16String();
}

// Twenty segments in the grey-text colour, no number.
QProgressBar* MakeProgressPane(QWidget* container) {
    auto* bar = new QProgressBar(container);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setStyleSheet(QStringLiteral("QProgressBar { border: 1px inset palette(mid); background: "
                                      "palette(window); } QProgressBar::chunk { background: "
                                      "palette(mid); width: 6px; margin: 1px; }"));
    return bar;
}

QPlainTextEdit* MakeMemo(QWidget* container) {
    auto* memo = new QPlainTextEdit(container);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Like the memo's EM_LINESCROLL, the view may scroll until the last line is at its top.
    memo->setCenterOnScroll(true);
    // Read-only, but drawn in the normal window colour.
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    memo->setPalette(palette);
    return memo;
}

QLabel* MakeBoldLabel(const QString& text, QWidget* container) {
    auto* label = new QLabel(text, container);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A widget of the place's kind on its container (which owns it), with the caption of its place. The
// widgets that show the dialog's state get their looks here; their contents come from the rules.
QWidget* MakeWidget(const TPlace& place, QWidget* container) {
    const QString text = place.Text == nullptr ? QString() : QString::fromUtf16(place.Text);
    switch (place.Kind) {
    case TKind::Panel: {
        auto* panel = new QFrame(container);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return panel;
    }
    case TKind::StatusBar:
        return new QFrame(container);
    case TKind::StatusText: {
        auto* pane = new QLabel(container);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return pane;
    }
    case TKind::ProgressPane:
        return MakeProgressPane(container);
    case TKind::EmptyPane:
        return new QLabel(container);
    case TKind::Label:
        return MakeBoldLabel(text, container);
    case TKind::Edit:
        return new QLineEdit(container);
    case TKind::Line: {
        auto* line = new QFrame(container);
        line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        return line;
    }
    case TKind::RadioItem:
        return new QRadioButton(text, container);
    case TKind::Memo:
        return MakeMemo(container);
    case TKind::CheckBox: {
        auto* box = new QCheckBox(text, container);
        box->setTristate(true);
        return box;
    }
    case TKind::Button: {
        // Neither button is a default one: Enter does not start a run.
        auto* button = new QPushButton(text, container);
        button->setAutoDefault(false);
        return button;
    }
    case TKind::Logo: {
        auto* logo = new QLabel(container);
        logo->setPixmap(ZarbexLogo());
        return logo;
    }
    case TKind::Group:
    case TKind::Column:
    case TKind::BrowseButton: // the field's action, not a widget of its own
        break;
    }
    return new QWidget(container);
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

    // Each place on its container, in the table's order, which is also the order of the focus.
    std::array<QWidget*, std::size(Places)> widgets{};
    const auto widgetOf = [&](TControl control) {
        return control == TControl::frmZarbex ? static_cast<QWidget*>(this)
                                              : widgets[static_cast<std::size_t>(control)];
    };
    rgLocationItems = new QButtonGroup(this);
    for (const TPlace& place : Places) {
        if (place.Kind == TKind::BrowseButton)
            continue;
        const TRect origin = place.Container == TControl::frmZarbex ? TRect{} : PlaceOf(place.Container).Rect;
        QWidget* widget = MakeWidget(place, widgetOf(place.Container));
        widget->setObjectName(place.Name);
        widget->setGeometry(place.Rect.Left - origin.Left, place.Rect.Top - origin.Top, place.Rect.Width,
                            place.Rect.Height);
        // The location items by their index; none is selected before activation.
        if (place.Kind == TKind::RadioItem)
            rgLocationItems->addButton(static_cast<QRadioButton*>(widget),
                                       static_cast<int>(rgLocationItems->buttons().size()));
        widgets[static_cast<std::size_t>(place.Control)] = widget;
    }
    // Each member is the widget its place's kind makes.
    const auto take = [&]<class T>(TControl control, T*& member) {
        member = qobject_cast<T*>(widgetOf(control));
        if (member == nullptr)
            throw std::logic_error(std::string("the layout gives ") + PlaceOf(control).Name +
                                   " another kind");
    };
    take(TControl::edSource, edSource);
    take(TControl::rgLocation, rgLocation);
    take(TControl::mProgress, mProgress);
    take(TControl::cbMarkDates, cbMarkDates);
    take(TControl::psInfo, psInfo);
    take(TControl::psProgress, psProgress);
    take(TControl::dbtUpdate, dbtUpdate);
    take(TControl::dbtUpdateOk, dbtUpdateOk);
    take(TControl::dbtUpdateCancel, dbtUpdateCancel);
    take(TControl::imgLogo, imgLogo);

    // The browse button is the field's action at its right end; F4 and Alt+Down in the field press it, as
    // they open a drop-down field. A hidden or disabled action takes no key.
    edSourceButton =
        edSource->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    edSourceButton->setObjectName(PlaceOf(TControl::edSourceButton).Name);
    edSourceButton->setToolTip("Browse...");
    edSourceButton->setShortcuts({QKeySequence(Qt::Key_F4), QKeySequence(Qt::ALT | Qt::Key_Down)});
    edSourceButton->setShortcutContext(Qt::WidgetShortcut);
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
