#include "Plugins/Zarbex/uZarbexPresenter.h"

#include "Includes/uCommFunc.h"
#include "Platform/Environment.h"
#include "Platform/FileSystem.h"
#include "Platform/TickCount.h"
#include "Plugins/Zarbex/GuardHandler.h"
#include "Plugins/Zarbex/HostValue.h"

#include <algorithm>
#include <cmath>
#include <utility>

std::vector<std::pair<UnicodeString, UnicodeString>> TOpenDialog::FilterPairs() const {
    std::vector<std::pair<UnicodeString, UnicodeString>> pairs;
    for (std::size_t start = 0; start < Filter.size();) {
        const std::size_t bar = Filter.find(u'|', start);
        if (bar == UnicodeString::npos)
            break;
        const std::size_t end = std::min(Filter.find(u'|', bar + 1), Filter.size());
        pairs.emplace_back(Filter.substr(start, bar - start), Filter.substr(bar + 1, end - bar - 1));
        start = end + 1;
    }
    return pairs;
}

UnicodeString TOpenDialog::DefaultExtWithoutDot() const {
    return !DefaultExt.empty() && DefaultExt[0] == u'.' ? DefaultExt.substr(1) : DefaultExt;
}

TZarbexPresenter::TZarbexPresenter(IZarbexView& view, const ComPtr<IHostKernel>& kernel,
                                   TUpdateRunFactory runs, UnicodeString caption)
    : FView(view), FKernel(kernel), FRuns(std::move(runs)), FCaption(std::move(caption)) {
    FIniPath = HostValue(FKernel, u"APPINI");
    FSection = u"Bureau-UR";
    FInternetSource = DefaultInternetSource;
    FLocalSource = HostValue(FKernel, u"DOWNLOAD") + PathDelim + DefaultArchiveName;
    FOpenDialog.Title = u"Select updates...";
    FOpenDialog.Filter = u"RAR archive files|*.rar|PDF files|*.pdf";
    FOpenDialog.FilterIndex = 1;
    FLocation = SourceLocation::Internet;
    // Nobody reads the box: the command hides it.
    FState.MarkDatesVisible = false;
}

TZarbexPresenter::~TZarbexPresenter() = default;

template <class T>
bool TZarbexPresenter::Change(T TZarbexViewState::*field, const T& value, TViewField shown) {
    if (FState.*field == value)
        return false;
    FState.*field = value;
    if (static_cast<unsigned>(shown) != 0)
        FView.Show(FState, shown);
    return true;
}

TIniFile& TZarbexPresenter::Settings() {
    if (!FIniUpdate)
        FIniUpdate = std::make_unique<TIniFile>(ResolveIniPath(FIniPath, Utf8ToString(ExecutableFile())));
    return *FIniUpdate;
}

void TZarbexPresenter::FormCreate() {
    FView.Show(FState, TViewField::All);
}

void TZarbexPresenter::FormActivate() {
    const UnicodeString location = Settings().ReadString(FSection, u"Location", u"");
    if (location == u"Internet")
        FLocation = SourceLocation::Internet;
    else if (location == u"Local")
        FLocation = SourceLocation::Local;
    UnicodeString resource;
    if (FLocation != SourceLocation::None) {
        resource = Settings().ReadString(FSection, u"Resource", u"");
        if (resource.empty())
            resource = FLocation == SourceLocation::Internet ? FInternetSource : FLocalSource;
        (FLocation == SourceLocation::Internet ? FInternetSource : FLocalSource) = resource;
        Change(&TZarbexViewState::LocationItem, LocationIndex(), TViewField::LocationItem);
    }
    SetSource(resource);
    UpdateDone = false;
    ClearMemo();
    ShowProgress(0);
    CheckLocation();
    CheckActions();
}

bool TZarbexPresenter::CloseQuery() {
    if (!FRunning) {
        FCloseRequested = false;
        return true;
    }
    FCloseRequested = true;
    return false;
}

void TZarbexPresenter::FormClose() {
    if (!UpdateDone)
        return;
    Settings().WriteString(FSection, u"Resource", FState.SourceText);
    const char16_t* value = FLocation == SourceLocation::Internet ? u"Internet"
                            : FLocation == SourceLocation::Local  ? u"Local"
                                                                  : u"";
    Settings().WriteString(FSection, u"Location", value);
    if (FThisUpdate) {
        Settings().WriteString(FSection, u"LastArchive", FThisUpdate->ArchiveText());
        Settings().WriteString(FSection, u"LastUpdate", FThisUpdate->Date);
    }
}

std::optional<TLastUpdate> TZarbexPresenter::LastUpdate() {
    // A good run of this dialog is the last update, though the settings learn of it only at the close.
    if (FThisUpdate)
        return FThisUpdate;
    return TLastUpdate::FromSettings(Settings().ReadString(FSection, u"LastArchive", u""),
                                     Settings().ReadString(FSection, u"LastUpdate", u""));
}

void TZarbexPresenter::dbtUpdateCancelClick() {
    if (!CloseQuery())
        return;
    // A settings file that cannot be written is told, and the window closes all the same.
    Guard([this] { FormClose(); });
    FView.CloseWindow();
}

void TZarbexPresenter::CheckActions() {
    const UnicodeString& source = FState.SourceText;
    bool ready = !Trim(source).empty();
    ready = ready && (FLocation == SourceLocation::Internet ||
                      (FLocation == SourceLocation::Local && FileExists(source)));
    Change(&TZarbexViewState::GetDataEnabled, ready && !UpdateDone && !FRunning, TViewField::GetDataEnabled);
}

void TZarbexPresenter::Guard(const std::function<void()>& handler) const noexcept {
    GuardHandler(FKernel, handler, [this](const UnicodeString& text) { FView.ShowError(text); });
}

void TZarbexPresenter::CheckLocation() {
    const bool internet = FLocation == SourceLocation::Internet;
    const bool local = FLocation == SourceLocation::Local;
    Change(&TZarbexViewState::SourceReadOnly, !internet, TViewField::SourceReadOnly);
    Change(&TZarbexViewState::BrowseVisible, local, TViewField::BrowseVisible);
    SetSource(internet ? FInternetSource : local ? FLocalSource : UnicodeString());
    if (!internet)
        SetMarkDates(TMarkDatesState::Unchecked);
    Change(&TZarbexViewState::MarkDatesReadOnly, !internet, TViewField::MarkDatesReadOnly);
}

int TZarbexPresenter::LocationIndex() const {
    return FLocation == SourceLocation::Internet ? 0 : FLocation == SourceLocation::Local ? 1 : -1;
}

void TZarbexPresenter::rgLocationClick(int index) {
    if (Change(&TZarbexViewState::LocationItem, index, TViewField::LocationItem))
        rgLocationChanging(index);
}

void TZarbexPresenter::rgLocationChanging(int newIndex) {
    FLocation = newIndex == 0   ? SourceLocation::Internet
                : newIndex == 1 ? SourceLocation::Local
                                : SourceLocation::None;
    CheckLocation();
}

void TZarbexPresenter::SetSource(const UnicodeString& text) {
    if (Change(&TZarbexViewState::SourceText, text, TViewField::SourceText))
        SourceChanged();
}

void TZarbexPresenter::edSourceChange(const UnicodeString& text) {
    if (Change(&TZarbexViewState::SourceText, text, TViewField{}))
        SourceChanged();
}

void TZarbexPresenter::SourceChanged() {
    UpdateDone = false;
    CheckActions();
}

void TZarbexPresenter::SetMarkDates(TMarkDatesState state) {
    if (!Change(&TZarbexViewState::MarkDates, state, TViewField::MarkDates))
        return;
    const char16_t* caption = state == TMarkDatesState::Checked
                                  ? u"mark activity dates (full, traffic && time expensive)"
                              : state == TMarkDatesState::Grayed ? u"mark activity dates (for undefined only)"
                                                                 : u"mark activity dates";
    Change(&TZarbexViewState::MarkDatesCaption, UnicodeString(caption), TViewField::MarkDatesCaption);
    SourceChanged();
}

void TZarbexPresenter::cbMarkDatesClick() {
    if (FState.MarkDatesReadOnly)
        return;
    const TMarkDatesState now = FState.MarkDates;
    SetMarkDates(now == TMarkDatesState::Unchecked ? TMarkDatesState::Grayed
                 : now == TMarkDatesState::Grayed  ? TMarkDatesState::Checked
                                                   : TMarkDatesState::Unchecked);
}

void TZarbexPresenter::edSourceButtonClick() {
    // The dialog opens in the source's folder with its name and extension, when the source is a file; in
    // the folder the text names otherwise.
    const UnicodeString& source = FState.SourceText;
    const std::size_t separator = source.find_last_of(PathDelimiters);
    const std::size_t componentStart = separator == UnicodeString::npos ? 0 : separator + 1;
    const UnicodeString lastComponent = source.substr(componentStart);
    const std::size_t dot = lastComponent.rfind(u'.');
    const UnicodeString extension = dot == UnicodeString::npos ? UnicodeString() : lastComponent.substr(dot);
    UnicodeString folder, name;
    if (FileExists(source)) {
        folder = componentStart == 0 ? UnicodeString() : source.substr(0, componentStart - 1);
        name = lastComponent;
    } else {
        folder = source;
    }
    FOpenDialog.InitialDir = folder;
    const std::size_t at = extension.empty() ? UnicodeString::npos : name.find(extension);
    if (at != UnicodeString::npos)
        FOpenDialog.FileName = name.substr(0, at);
    FOpenDialog.DefaultExt = extension;
    if (FView.AskForFile(FOpenDialog))
        SetSource(FOpenDialog.FileName);
}

void TZarbexPresenter::dbtUpdateClickOk() {
    const TUpdateSource source{FLocation, FState.SourceText};
    const std::unique_ptr<IUpdateRun> run = FRuns(*this);
    if (!run->CheckComponents(source))
        return;
    run->SetLastUpdate(LastUpdate());
    UpdateDone = true;
    try {
        UpdateDone = run->Execute(source);
        if (UpdateDone)
            FThisUpdate = run->ThisUpdate();
    } catch (...) {
        // The dialog must not stay stuck: the flag and the buttons come back before the error is shown.
        UpdateDone = false;
        RunEnded();
        throw;
    }
    RunEnded();
}

void TZarbexPresenter::RunEnded() {
    CheckActions();
    if (FCloseRequested)
        dbtUpdateCancelClick();
}

void TZarbexPresenter::MsgInfo(const UnicodeString& text) {
    Change(&TZarbexViewState::StatusText, text, TViewField::StatusText);
}

void TZarbexPresenter::ClearEntryMarks() {
    MsgInfo(u"");
}

void TZarbexPresenter::AddEntryMark() {
    MsgInfo(FState.StatusText + u">");
}

void TZarbexPresenter::ShowProgress(long double fraction) {
    Change(&TZarbexViewState::ProgressPercent,
           std::clamp<int>(static_cast<std::int16_t>(std::trunc(fraction * 100)), 0, 100),
           TViewField::ProgressPercent);
    ProcessMessages();
}

void TZarbexPresenter::MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) {
    UnicodeString piece;
    piece.reserve(static_cast<std::size_t>(std::max(level, 0)) * 3 + text.size() + 1);
    for (std::int32_t i = 0; i < level; ++i)
        piece += u"   ";
    // Every line end the text brings (CR, LF or CR LF) is one line end of the memo.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            piece += u'\n';
            ++FMemoLineEnds;
        } else {
            piece += text[i];
        }
    }
    if (lineEnd) {
        piece += u'\n';
        ++FMemoLineEnds;
    }
    // Only the new text goes to the window, so that a message costs the same however long the memo is.
    FMemo += piece;
    // The last line with text goes to the top of the view.
    const std::size_t lines = FMemoLineEnds + 1 - (!FMemo.empty() && FMemo.back() == u'\n' ? 1 : 0);
    FView.AppendMemo(piece, lines - 1);
    ProcessMessages();
}

void TZarbexPresenter::ClearMemo() {
    FMemo.clear();
    FMemoLineEnds = 0;
    FView.ClearMemo();
}

void TZarbexPresenter::SetBusyCursor(bool busy) {
    Change(&TZarbexViewState::BusyCursor, busy, TViewField::BusyCursor);
}

void TZarbexPresenter::LockControls(bool locked) {
    FRunning = locked;
    // No second run may start inside the first: the source and its options wait for the run.
    Change(&TZarbexViewState::SourceControlsEnabled, !locked, TViewField::SourceControlsEnabled);
    CheckActions();
}

bool TZarbexPresenter::CancelRequested() {
    // Close during a run: the run stops what it can stop (a download), and the dialog closes after it.
    return FRunning && FCloseRequested;
}

void TZarbexPresenter::ProcessMessages() {
    // A breath every few milliseconds keeps the window as responsive as one per call, and costs far less
    // than one per line of a long list.
    const std::uint32_t now = GetTickCount();
    if (FBreathed && now - FLastBreath < BreathIntervalMs)
        return;
    FBreathed = true;
    FLastBreath = now;
    FView.ProcessMessages();
}
