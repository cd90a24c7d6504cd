// The update dialog's rules without a window: the presenter against a view that records what it is
// told, and the host's side of the boundary.
#include "Host/HostServices.h"
#include "Plugins/Zarbex/uZarbexPresenter.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What the window shows, field by field as the presenter handed it.
struct TRecordingView final : IZarbexView {
    TZarbexViewState shown;
    UnicodeString memo;
    std::size_t topLine = 0;
    int closes = 0, breaths = 0;
    std::vector<UnicodeString> errors;
    std::function<bool(TOpenDialog&)> answer = [](TOpenDialog&) { return false; };
    std::vector<TOpenDialog> asked;

    void Show(const TZarbexViewState& state, TViewField fields) override {
        const auto take = [&](TViewField field, auto member) {
            if (Has(fields, field))
                shown.*member = state.*member;
        };
        using S = TZarbexViewState;
        using enum TViewField;
        take(SourceText, &S::SourceText);
        take(SourceReadOnly, &S::SourceReadOnly);
        take(BrowseVisible, &S::BrowseVisible);
        take(LocationItem, &S::LocationItem);
        take(MarkDates, &S::MarkDates);
        take(MarkDatesCaption, &S::MarkDatesCaption);
        take(MarkDatesReadOnly, &S::MarkDatesReadOnly);
        take(MarkDatesVisible, &S::MarkDatesVisible);
        take(GetDataEnabled, &S::GetDataEnabled);
        take(SourceControlsEnabled, &S::SourceControlsEnabled);
        take(StatusText, &S::StatusText);
        take(ProgressPercent, &S::ProgressPercent);
        take(BusyCursor, &S::BusyCursor);
    }
    void ClearMemo() override { memo.clear(); }
    void AppendMemo(const UnicodeString& text, std::size_t top) override {
        memo += text;
        topLine = top;
    }
    bool AskForFile(TOpenDialog& dialog) override {
        asked.push_back(dialog);
        return answer(dialog);
    }
    void ShowError(const UnicodeString& text) override { errors.push_back(text); }
    void CloseWindow() override { ++closes; }
    void ProcessMessages() override { ++breaths; }
};

// What "Get data" runs here: the sources it was started on, and what it does as the test scripts it.
struct TScript {
    bool components = true;
    std::function<bool(IUpdateProgress&)> execute = [](IUpdateProgress&) { return true; };
    std::vector<TUpdateSource> sources;
};

struct TScriptedRun final : IUpdateRun {
    TScript& script;
    IUpdateProgress& progress;
    TScriptedRun(TScript& s, IUpdateProgress& p) : script(s), progress(p) {}
    bool CheckComponents(const TUpdateSource&) override { return script.components; }
    bool Execute(const TUpdateSource& source) override {
        script.sources.push_back(source);
        return script.execute(progress);
    }
};

struct PresenterTest : ::testing::Test {
    TempDir temp;
    fs::path dir = temp.Path();
    ComPtr<HostServices> host = HostServices::Create();
    TRecordingView view;
    TScript script;
    std::unique_ptr<TZarbexPresenter> p;

    void SetUp() override {
        fs::create_directories(dir / "download");
        host->SetVariable(u"APPINI", (dir / "host.ini").u16string());
        host->SetVariable(u"DOWNLOAD", (dir / "download").u16string());
    }
    // The command's opening steps, the window's creation and its activation.
    TZarbexPresenter& Open() {
        p.reset();
        view = TRecordingView();
        p = std::make_unique<TZarbexPresenter>(
            view, ComPtr<IHostKernel>(host.get()),
            [this](IUpdateProgress& progress) { return std::make_unique<TScriptedRun>(script, progress); },
            u"Get Bureau users info (Ukraine)");
        p->FormCreate();
        p->FormActivate();
        return *p;
    }
    // "Get data" with a run that returns true.
    void GoodRun(TZarbexPresenter& f) {
        script.execute = [](IUpdateProgress&) { return true; };
        f.dbtUpdateClickOk();
        ASSERT_TRUE(f.IsUpdateDone());
    }
};

} // namespace

TEST_F(PresenterTest, OpensWithTheDefaults) {
    auto& f = Open();
    EXPECT_EQ(view.shown.SourceText, DefaultInternetSource);
    EXPECT_EQ(view.shown.LocationItem, 0);
    EXPECT_TRUE(view.shown.GetDataEnabled);
    EXPECT_FALSE(view.shown.SourceReadOnly);
    EXPECT_FALSE(view.shown.BrowseVisible);
    EXPECT_EQ(view.shown.ProgressPercent, 0);
    f.rgLocationClick(1);
    EXPECT_EQ(view.shown.SourceText, (dir / "download" / "members_upd2604.rar").u16string())
        << "PathDelim joins them";
    EXPECT_TRUE(view.shown.SourceReadOnly);
    EXPECT_TRUE(view.shown.BrowseVisible);
    EXPECT_FALSE(view.shown.GetDataEnabled) << "the default local file does not exist";
}

TEST_F(PresenterTest, GetDataFollowsTheSourceAndLocation) {
    auto& f = Open();
    const fs::path archive = dir / "members.rar";
    WriteFile(archive, "Rar!");
    const std::u16string file = archive.u16string(), folder = dir.u16string();
    struct Case {
        int location;
        std::u16string text;
        bool enabled;
    } cases[] = {
        {0, u"", false}, {0, u"   ", false}, {0, u"\t \r", false},    {0, u"http://x/a.rar", true},
        {1, file, true}, {1, folder, false}, {1, file + u"x", false}, {0, folder, true},
    };
    for (const auto& c : cases) {
        f.rgLocationClick(c.location);
        f.edSourceChange(c.text);
        EXPECT_EQ(view.shown.GetDataEnabled, c.enabled) << c.location << " '" << StringToUtf8(c.text) << "'";
    }
    f.rgLocationClick(0);
    f.edSourceChange(u"http://x/a.rar");
    GoodRun(f);
    EXPECT_FALSE(view.shown.GetDataEnabled) << "after a successful run the button waits for a change";
    f.edSourceChange(u"http://x/a.rar");
    EXPECT_FALSE(view.shown.GetDataEnabled) << "the same text is no change";
    f.edSourceChange(u"http://x/a.rar2");
    EXPECT_TRUE(view.shown.GetDataEnabled);
}

TEST_F(PresenterTest, SettingsAreWrittenOnlyAfterASuccessfulRun) {
    auto& f = Open();
    f.edSourceChange(u"http://x/ok.rar");
    f.FormClose();
    EXPECT_FALSE(fs::exists(dir / "host.ini")) << "closing without a run writes nothing";

    auto& g = Open();
    g.edSourceChange(u"  http://x/ok.rar ");
    GoodRun(g);
    ASSERT_EQ(script.sources.size(), 1u);
    EXPECT_EQ(script.sources[0].Location, SourceLocation::Internet);
    EXPECT_EQ(script.sources[0].Text, u"  http://x/ok.rar ") << "the run gets the text untrimmed";
    g.FormClose();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=  http://x/ok.rar \r\nLocation=Internet\r\n");

    auto& h = Open();
    EXPECT_EQ(view.shown.SourceText, u"http://x/ok.rar") << "values come back trimmed";
    script.execute = [](IUpdateProgress&) { return false; };
    h.dbtUpdateClickOk();
    h.FormClose();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=  http://x/ok.rar \r\nLocation=Internet\r\n")
        << "a run that returned false writes nothing";
    GoodRun(h);
    h.edSourceChange(u"http://x/changed.rar");
    h.FormClose();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=  http://x/ok.rar \r\nLocation=Internet\r\n");

    const fs::path archive = dir / "download" / "lists.rar";
    WriteFile(archive, "Rar!");
    fs::remove(dir / "host.ini");
    auto& l = Open();
    l.rgLocationClick(1);
    l.edSourceChange(archive.u16string());
    GoodRun(l);
    l.FormClose();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=" + archive.string() + "\r\nLocation=Local\r\n");
}

TEST_F(PresenterTest, StoredValuesAreReadBack) {
    struct Case {
        std::string ini;
        int location;
        std::u16string source;
    } cases[] = {
        {"[Bureau-UR]\nLocation=internet\nResource=http://y/\n", 0, u"http://y/"},
        // only the exact word counts: "local" leaves the location the command set
        {"[Bureau-UR]\nLocation=local\nResource=http://z/\n", 0, u"http://z/"},
        {"[Bureau-UR]\nLocation=LOCAL\nResource=\n", 0, DefaultInternetSource},
        {"[Bureau-UR]\nLocation=Local\nResource=\n", 1,
         (dir / "download" / "members_upd2604.rar").u16string()},
        {"[Bureau-UR]\nLocation=Local\nResource=  /tmp/lists.rar  \n", 1, u"/tmp/lists.rar"},
    };
    for (const auto& c : cases) {
        WriteFile(dir / "host.ini", c.ini);
        auto& f = Open();
        EXPECT_EQ(view.shown.LocationItem, c.location) << c.ini;
        EXPECT_EQ(view.shown.SourceText, c.source) << c.ini;
        EXPECT_EQ(f.Source(), c.source) << c.ini;
    }
}

TEST_F(PresenterTest, ASettingsFileThatCannotBeReadIsAnErrorOfTheActivation) {
    // A folder where the file should be: unreadable for any user, root included.
    fs::create_directories(dir / "host.ini");
    EXPECT_ANY_THROW(Open());
}

TEST_F(PresenterTest, ClickingTheSelectedLocationChangesNothing) {
    auto& f = Open();
    ASSERT_EQ(view.shown.LocationItem, 0);
    f.edSourceChange(u"http://typed.example/lists.rar");
    f.rgLocationClick(0);
    EXPECT_EQ(f.Source(), u"http://typed.example/lists.rar") << "the typed source stays";
    EXPECT_EQ(f.Location(), SourceLocation::Internet);
    f.rgLocationClick(1);
    EXPECT_EQ(view.shown.SourceText, (dir / "download" / "members_upd2604.rar").u16string())
        << "another item does change it";
    EXPECT_EQ(view.shown.LocationItem, 1);
    EXPECT_EQ(f.Location(), SourceLocation::Local);
}

TEST_F(PresenterTest, MarkDatesCaptionsFollowTheStatesAndLocalMakesItReadOnly) {
    auto& f = Open();
    EXPECT_FALSE(view.shown.MarkDatesVisible) << "the command hides the box";
    EXPECT_EQ(view.shown.MarkDatesCaption, u"Mark activity dates");
    const std::pair<TMarkDatesState, const char16_t*> turns[] = {
        {TMarkDatesState::Grayed, u"mark activity dates (for undefined only)"},
        {TMarkDatesState::Checked, u"mark activity dates (full, traffic && time expensive)"},
        {TMarkDatesState::Unchecked, u"mark activity dates"},
    };
    for (const auto& [state, caption] : turns) {
        f.cbMarkDatesClick();
        EXPECT_EQ(view.shown.MarkDates, state);
        EXPECT_EQ(view.shown.MarkDatesCaption, caption);
    }
    GoodRun(f);
    f.cbMarkDatesClick();
    EXPECT_TRUE(view.shown.GetDataEnabled) << "a click makes the source usable again";
    f.rgLocationClick(1);
    EXPECT_EQ(view.shown.MarkDates, TMarkDatesState::Unchecked);
    EXPECT_EQ(view.shown.MarkDatesCaption, u"mark activity dates");
    EXPECT_TRUE(view.shown.MarkDatesReadOnly);
    f.cbMarkDatesClick();
    EXPECT_EQ(view.shown.MarkDates, TMarkDatesState::Unchecked) << "a read-only box ignores clicks";
}

TEST_F(PresenterTest, BrowsePrefillsTheOpenDialogAndTakesTheAnswer) {
    auto& f = Open();
    fs::create_directories(dir / "x");
    WriteFile(dir / "x" / "members.rar", "Rar!");
    WriteFile(dir / "x" / "a.rar.rar", "Rar!");
    f.rgLocationClick(1);
    const std::u16string x = (dir / "x").u16string();
    struct Case {
        std::u16string text, folder, name, ext;
    } cases[] = {
        {x + u"/members.rar", x, u"members", u".rar"},
        {x + u"/a.rar.rar", x, u"a", u".rar"},
        {x + u"/missing.rar", x + u"/missing.rar", u"a", u".rar"}, // name left as it was
    };
    for (const auto& c : cases) {
        f.edSourceChange(c.text);
        f.edSourceButtonClick();
        ASSERT_FALSE(view.asked.empty());
        EXPECT_EQ(view.asked.back().InitialDir, c.folder);
        EXPECT_EQ(view.asked.back().FileName, c.name);
        EXPECT_EQ(view.asked.back().DefaultExt, c.ext);
        EXPECT_EQ(view.asked.back().Title, u"Select updates...");
        EXPECT_EQ(view.asked.back().Filter, u"RAR archive files|*.rar|PDF files|*.pdf");
        EXPECT_EQ(f.Source(), c.text) << "a cancelled dialog changes nothing";
    }
    view.answer = [&](TOpenDialog& d) {
        d.FileName = x + u"/members.rar";
        return true;
    };
    f.edSourceButtonClick();
    EXPECT_EQ(view.shown.SourceText, x + u"/members.rar");
    EXPECT_TRUE(view.shown.GetDataEnabled);
    f.rgLocationClick(1);
    EXPECT_EQ(view.shown.SourceText, x + u"/members.rar") << "a click on the selected item changes nothing";
}

TEST_F(PresenterTest, ProgressOperations) {
    auto& f = Open();
    for (auto [fraction, percent] : {std::pair{0.999L, 99}, {0.5L, 50}, {0.0L, 0}, {1.0L, 100}}) {
        f.ShowProgress(fraction);
        EXPECT_EQ(view.shown.ProgressPercent, percent);
    }
    f.MsgProgress(0, u"A", false);
    f.MsgProgress(1, u"B", true);
    f.MsgProgress(2, u"C\r\nD\rE\n", true);
    f.MsgProgress(0, u"F", false);
    EXPECT_EQ(f.Memo(), u"A   B\n      C\nD\nE\n\nF");
    EXPECT_EQ(view.memo, f.Memo()) << "the window gets every piece appended";
    EXPECT_EQ(view.topLine, 5u) << "the last line with text goes to the top";
    f.MsgProgress(0, u"", true);
    EXPECT_EQ(view.topLine, 5u) << "a line end alone adds no line with text";
    f.MsgInfo(u"Trying to load file...");
    EXPECT_EQ(view.shown.StatusText, u"Trying to load file...");
    f.ClearEntryMarks();
    f.AddEntryMark();
    f.AddEntryMark();
    EXPECT_EQ(view.shown.StatusText, u">>");
    f.ClearMemo();
    EXPECT_EQ(view.memo, u"");
    f.MsgProgress(0, u"x", true);
    EXPECT_EQ(view.topLine, 0u);
}

// Close during a run waits for the run and asks it to stop; the window closes once the run has returned
// or raised, with the settings of a run that returned true, and the buttons back.
TEST_F(PresenterTest, CloseDuringARunWaitsForItsEnd) {
    auto& f = Open();
    struct Case {
        const char* outcome;
        std::function<bool()> end;
        bool done;
    } cases[] = {
        {"true", [] { return true; }, true},
        {"false", [] { return false; }, false},
        {"raised", []() -> bool { throw EInOutError(u"The callbook is locked"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        fs::remove(dir / "host.ini");
        view.closes = 0;
        script.execute = [&](IUpdateProgress& progress) {
            progress.LockControls(true);
            EXPECT_FALSE(view.shown.SourceControlsEnabled);
            EXPECT_FALSE(view.shown.GetDataEnabled) << "no second run inside the first";
            EXPECT_FALSE(progress.CancelRequested());
            f.dbtUpdateCancelClick();
            EXPECT_EQ(view.closes, 0) << "the close waits for the run";
            EXPECT_TRUE(progress.CancelRequested());
            progress.LockControls(false);
            return c.end();
        };
        f.Guard([&] { f.dbtUpdateClickOk(); });
        EXPECT_EQ(view.closes, 1);
        EXPECT_EQ(f.IsUpdateDone(), c.done);
        EXPECT_EQ(fs::exists(dir / "host.ini"), c.done) << "the settings of a good run only";
        EXPECT_TRUE(view.shown.SourceControlsEnabled);
        EXPECT_EQ(view.shown.GetDataEnabled, !c.done);
        EXPECT_FALSE(f.CancelRequested());
    }
    script.components = false;
    script.sources.clear();
    f.dbtUpdateClickOk();
    EXPECT_TRUE(script.sources.empty()) << "a run whose components are missing does not start";
}

// A failure of a handler goes to the host's message, and to the window's own box when the host cannot
// show it.
TEST_F(PresenterTest, AFailureTheHostCannotShowGoesToTheWindowsBox) {
    auto& f = Open();
    const auto fail = [] { throw EInOutError(u"Cannot write the settings file"); };
    f.Guard(fail);
    EXPECT_TRUE(view.errors.empty()) << "the host showed it";
    host->Faults().failing["IHostKernel.ShowMessage"] = {E_FAIL, u"no window"};
    f.Guard(fail);
    EXPECT_EQ(view.errors, std::vector<UnicodeString>{u"Cannot write the settings file"});
}

// The open-file dialog's settings as both toolkits take them: the filter's pairs, the extension bare.
TEST(OpenDialogTest, FilterPairsAndTheBareDefaultExtension) {
    using Pairs = std::vector<std::pair<UnicodeString, UnicodeString>>;
    struct Case {
        std::u16string filter;
        Pairs pairs;
    } cases[] = {
        {u"RAR archive files|*.rar", {{u"RAR archive files", u"*.rar"}}},
        {u"RAR archive files|*.rar|PDF files|*.pdf",
         {{u"RAR archive files", u"*.rar"}, {u"PDF files", u"*.pdf"}}},
        {u"", {}},
        {u"A description without its pattern", {}},
        {u"All|*.*|Odd one out", {{u"All", u"*.*"}}},
    };
    for (const auto& c : cases) {
        TOpenDialog dialog;
        dialog.Filter = c.filter;
        EXPECT_EQ(dialog.FilterPairs(), c.pairs) << StringToUtf8(c.filter);
    }
    for (auto [given, bare] : {std::pair{u".rar", u"rar"}, {u"rar", u"rar"}, {u"", u""}, {u".", u""}}) {
        TOpenDialog dialog;
        dialog.DefaultExt = given;
        EXPECT_EQ(dialog.DefaultExtWithoutDot(), bare) << StringToUtf8(given);
    }
}
