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

// What the window shows, as the presenter last set it.
struct TRecordingView final : IZarbexView {
    UnicodeString source;
    bool sourceReadOnly = false, browseVisible = false, getData = false, controls = true;
    int location = -1;
    TMarkDatesState markDates = TMarkDatesState::Unchecked;
    UnicodeString markDatesCaption;
    bool markDatesReadOnly = false;
    UnicodeString memo, status;
    std::size_t topLine = 0;
    int percent = -1, closes = 0, breaths = 0;
    std::function<bool(TOpenDialog&)> answer = [](TOpenDialog&) { return false; };
    std::vector<TOpenDialog> asked;

    void SetSourceText(const UnicodeString& text) override { source = text; }
    void SetSourceReadOnly(bool readOnly) override { sourceReadOnly = readOnly; }
    void SetBrowseVisible(bool visible) override { browseVisible = visible; }
    void SetLocationItem(int index) override { location = index; }
    void SetMarkDatesState(TMarkDatesState state) override { markDates = state; }
    void SetMarkDatesCaption(const UnicodeString& caption) override { markDatesCaption = caption; }
    void SetMarkDatesReadOnly(bool readOnly) override { markDatesReadOnly = readOnly; }
    void SetGetDataEnabled(bool enabled) override { getData = enabled; }
    void SetSourceControlsEnabled(bool enabled) override { controls = enabled; }
    void ClearMemo() override { memo.clear(); }
    void AppendMemo(const UnicodeString& text, std::size_t top) override {
        memo += text;
        topLine = top;
    }
    void SetStatusText(const UnicodeString& text) override { status = text; }
    void SetProgressPercent(int value) override { percent = value; }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override { ++breaths; }
    void CloseWindow() override { ++closes; }
    bool AskForFile(TOpenDialog& dialog) override {
        asked.push_back(dialog);
        return answer(dialog);
    }
};

struct PresenterTest : ::testing::Test {
    TempDir temp;
    fs::path dir = temp.Path();
    ComPtr<HostServices> host = HostServices::Create();
    TRecordingView view;
    std::unique_ptr<TZarbexPresenter> p;

    void SetUp() override {
        fs::create_directories(dir / "download");
        host->SetVariable(u"APPINI", (dir / "host.ini").u16string());
        host->SetVariable(u"DOWNLOAD", (dir / "download").u16string());
    }
    TZarbexPresenter& Open() {
        p.reset();
        view = TRecordingView();
        p = std::make_unique<TZarbexPresenter>(view, ComPtr<IHostKernel>(host.get()),
                                               ComPtr<IHostServer>(host.get()),
                                               u"Get Bureau users info (Ukraine)");
        p->FormActivate();
        return *p;
    }
};

} // namespace

TEST_F(PresenterTest, OpensWithTheDefaults) {
    auto& f = Open();
    EXPECT_EQ(view.source, DefaultInternetSource);
    EXPECT_EQ(view.location, 0);
    EXPECT_TRUE(view.getData);
    EXPECT_FALSE(view.sourceReadOnly);
    EXPECT_FALSE(view.browseVisible);
    EXPECT_EQ(view.percent, 0);
    f.rgLocationClick(1);
    EXPECT_EQ(view.source, (dir / "download" / "members_upd2604.rar").u16string()) << "PathDelim joins them";
    EXPECT_TRUE(view.sourceReadOnly);
    EXPECT_TRUE(view.browseVisible);
    EXPECT_FALSE(view.getData) << "the default local file does not exist";
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
        EXPECT_EQ(view.getData, c.enabled) << c.location << " '" << StringToUtf8(c.text) << "'";
    }
    f.rgLocationClick(0);
    f.edSourceChange(u"http://x/a.rar");
    f.SetUpdateDoneForTesting();
    f.CheckActions();
    EXPECT_FALSE(view.getData) << "after a successful run the button waits for a change";
    f.edSourceChange(u"http://x/a.rar");
    EXPECT_FALSE(view.getData) << "the same text is no change";
    f.edSourceChange(u"http://x/a.rar2");
    EXPECT_TRUE(view.getData);
}

TEST_F(PresenterTest, SettingsAreWrittenOnlyAfterASuccessfulRun) {
    auto& f = Open();
    f.edSourceChange(u"http://x/ok.rar");
    f.FormClose();
    EXPECT_FALSE(fs::exists(dir / "host.ini")) << "closing without a run writes nothing";

    auto& g = Open();
    g.edSourceChange(u"  http://x/ok.rar ");
    g.SetUpdateDoneForTesting();
    g.FormClose();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=  http://x/ok.rar \r\nLocation=Internet\r\n");

    auto& h = Open();
    EXPECT_EQ(view.source, u"http://x/ok.rar") << "values come back trimmed";
    h.SetUpdateDoneForTesting();
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
    l.SetUpdateDoneForTesting();
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
        EXPECT_EQ(view.location, c.location) << c.ini;
        EXPECT_EQ(view.source, c.source) << c.ini;
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
    ASSERT_EQ(view.location, 0);
    f.edSourceChange(u"http://typed.example/lists.rar");
    f.rgLocationClick(0);
    EXPECT_EQ(f.Source(), u"http://typed.example/lists.rar") << "the typed source stays";
    EXPECT_EQ(f.Location(), SourceLocation::Internet);
    f.rgLocationClick(1);
    EXPECT_EQ(view.source, (dir / "download" / "members_upd2604.rar").u16string())
        << "another item does change it";
    EXPECT_EQ(view.location, 1);
    EXPECT_EQ(f.Location(), SourceLocation::Local);
}

TEST_F(PresenterTest, MarkDatesCaptionsFollowTheStatesAndLocalMakesItReadOnly) {
    auto& f = Open();
    const char16_t* captions[] = {u"mark activity dates (for undefined only)",
                                  u"mark activity dates (full, traffic && time expensive)",
                                  u"mark activity dates"};
    for (const char16_t* caption : captions) {
        f.cbMarkDatesPress();
        EXPECT_EQ(view.markDatesCaption, caption);
    }
    f.cbMarkDatesChange(TMarkDatesState::Checked);
    EXPECT_EQ(view.markDatesCaption, captions[1]) << "a toolkit that turns the box itself";
    f.SetUpdateDoneForTesting();
    f.cbMarkDatesPress();
    EXPECT_TRUE(view.getData) << "a click makes the source usable again";
    f.cbMarkDatesPress();
    f.rgLocationClick(1);
    EXPECT_EQ(view.markDates, TMarkDatesState::Unchecked);
    EXPECT_TRUE(view.markDatesReadOnly);
    f.cbMarkDatesPress();
    EXPECT_EQ(view.markDates, TMarkDatesState::Unchecked) << "a read-only box ignores clicks";
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
    EXPECT_EQ(view.source, x + u"/members.rar");
    EXPECT_TRUE(view.getData);
    f.rgLocationClick(1);
    EXPECT_EQ(view.source, x + u"/members.rar") << "a click on the selected item changes nothing";
}

TEST_F(PresenterTest, ProgressOperations) {
    auto& f = Open();
    for (auto [fraction, percent] : {std::pair{0.999L, 99}, {0.5L, 50}, {0.0L, 0}, {1.0L, 100}}) {
        f.ShowProgress(fraction);
        EXPECT_EQ(view.percent, percent);
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
    EXPECT_EQ(view.status, u"Trying to load file...");
    f.ClearEntryMarks();
    f.AddEntryMark();
    f.AddEntryMark();
    EXPECT_EQ(view.status, u">>");
    f.ClearMemo();
    EXPECT_EQ(view.memo, u"");
    f.MsgProgress(0, u"x", true);
    EXPECT_EQ(view.topLine, 0u);
}

TEST_F(PresenterTest, CloseDuringARunWaitsAndCancels) {
    auto& f = Open();
    EXPECT_TRUE(f.CloseQuery());
    f.LockControls(true);
    EXPECT_FALSE(view.controls);
    EXPECT_FALSE(view.getData) << "no second run inside the first";
    EXPECT_FALSE(f.CancelRequested());
    EXPECT_FALSE(f.CloseQuery()) << "the close waits for the run";
    EXPECT_TRUE(f.CancelRequested());
    f.LockControls(false);
    EXPECT_TRUE(view.controls);
    EXPECT_TRUE(view.getData);
    EXPECT_FALSE(f.CancelRequested());
    EXPECT_TRUE(f.CloseQuery());
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
