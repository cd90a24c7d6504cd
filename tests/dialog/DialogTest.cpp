// The real update dialog under the offscreen platform, against the host's side of the boundary.
#include "Host/HostServices.h"
#include "Platform/WinUser.h"
#include "Plugins/Zarbex/uZarbex.h"
#include "tests/support/DialogWidgets.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

struct DialogTest : ::testing::Test {
    TempDir temp;
    fs::path dir = temp.Path();
    ComPtr<HostServices> host = HostServices::Create();
    std::unique_ptr<TfrmZarbex> form;
    DialogWidgets w;
    std::vector<std::pair<std::u16string, std::u16string>> messages;

    void SetUp() override {
        fs::create_directories(dir / "download");
        HostServices::Backend backend;
        backend.showMessage = [this](const std::u16string& t, const std::u16string& c) {
            messages.emplace_back(c, t);
        };
        host = HostServices::Create(backend);
        host->SetVariable(u"APPINI", (dir / "host.ini").u16string());
        host->SetVariable(u"DOWNLOAD", (dir / "download").u16string());
        host->SetVariable(u"APPPATH", dir.u16string());
        host->SetVariable(u"APPNAME", u"LogHost");
    }
    void TearDown() override { form.reset(); }

    // The command's opening steps, then the show.
    TfrmZarbex& Open(bool show = true) {
        form.reset();
        form =
            TfrmZarbex::Create(host.get(), ComPtr<IHostKernel>(host.get()), ComPtr<IHostServer>(host.get()));
        w = DialogWidgets(*form);
        if (show)
            form->show();
        return *form;
    }
    bool GetDataEnabled() const { return w.dbtUpdateOk->isEnabled(); }
    // Answers the open-file dialog the browse button shows: confirms file, or cancels when it is empty.
    void Browse(const QString& file = {}) {
        QTimer::singleShot(0, [file] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(files, nullptr) << "no open-file dialog";
            if (file.isEmpty())
                return files->reject();
            files->selectFile(file);
            QMetaObject::invokeMethod(files, "accept");
        });
        w.edSourceButton->trigger();
    }
    void Select(int index) { w.Location(index)->click(); }
};

} // namespace

TEST_F(DialogTest, OpensWithTheDefaultsAndTheWidgetsByName) {
    auto& f = Open();
    EXPECT_EQ(f.size(), QSize(394, 266));
    for (const char* name : {"edSource", "rgLocation", "cbMarkDates", "mProgress", "psInfo", "psProgress",
                             "dbtUpdate", "imgLogo"})
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(w.dbtUpdateOk->text(), "Get data");
    EXPECT_EQ(w.dbtUpdateCancel->text(), "Close");
    EXPECT_EQ(w.imgLogo->pixmap().size(), QSize(54, 106));
    EXPECT_TRUE(w.imgLogo->pixmap().hasAlphaChannel());
    EXPECT_EQ(w.edSource->text().toStdU16String(), DefaultInternetSource);
    EXPECT_TRUE(w.Location(0)->isChecked());
    EXPECT_TRUE(GetDataEnabled());
    EXPECT_FALSE(w.psProgress->isTextVisible());
    QDir().mkpath(ARTIFACTS_DIR);
    f.Presenter().MsgProgress(0, u"* Use: " + std::u16string(DefaultInternetSource), true);
    f.Presenter().MsgProgress(1, u"Parsing members.pdf (123456 bytes)", true);
    f.Presenter().MsgProgress(2, u"Found 812, updated 640 callsigns", true);
    f.Presenter().ShowProgress(0.45);
    EXPECT_TRUE(f.grab().save(ARTIFACTS_DIR "/update-dialog.png"));
}

TEST_F(DialogTest, GetDataFollowsTheSourceAndLocation) {
    auto& f = Open();
    const fs::path archive = dir / "members.rar";
    WriteFile(archive, "Rar!");
    const QString file = QString::fromStdString(archive.string());
    const QString folder = QString::fromStdString(dir.string());
    struct Case {
        int location;
        QString text;
        bool enabled;
    } cases[] = {
        {0, "", false},  {0, "   ", false},  {0, "\t \r", false},    {0, "http://x/a.rar", true},
        {1, file, true}, {1, folder, false}, {1, file + "x", false}, {0, folder, true},
    };
    for (const auto& c : cases) {
        Select(c.location);
        w.edSource->setText(c.text);
        EXPECT_EQ(GetDataEnabled(), c.enabled) << c.location << " '" << c.text.toStdString() << "'";
    }
    // After a successful run the button waits for a change.
    Select(0);
    w.edSource->setText("http://x/a.rar");
    form->Presenter().SetUpdateDoneForTesting();
    f.Presenter().CheckActions();
    EXPECT_FALSE(GetDataEnabled());
    w.edSource->setText("http://x/a.rar2");
    EXPECT_TRUE(GetDataEnabled());
}

TEST_F(DialogTest, SettingsAreWrittenOnlyAfterASuccessfulRun) {
    auto& f = Open();
    w.edSource->setText("http://x/ok.rar");
    f.close();
    EXPECT_FALSE(fs::exists(dir / "host.ini")) << "closing without a run writes nothing";

    auto& g = Open();
    w.edSource->setText("  http://x/ok.rar ");
    form->Presenter().SetUpdateDoneForTesting(); // as after a run that returned true
    g.close();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=  http://x/ok.rar \r\nLocation=Internet\r\n");

    auto& h = Open();
    EXPECT_EQ(w.edSource->text(), "http://x/ok.rar") << "values come back trimmed";
    form->Presenter().SetUpdateDoneForTesting();
    w.edSource->setText("http://x/changed.rar"); // a change after the run clears the flag
    h.close();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=  http://x/ok.rar \r\nLocation=Internet\r\n");
}

TEST_F(DialogTest, StoredValuesAreReadBack) {
    struct Case {
        std::string ini;
        int checked;
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
        Open();
        EXPECT_TRUE(w.Location(c.checked)->isChecked()) << c.ini;
        EXPECT_EQ(w.edSource->text().toStdU16String(), c.source) << c.ini;
    }
}

TEST_F(DialogTest, CheckBoxCaptionsFollowItsStates) {
    auto& f = Open(false);
    w.cbMarkDates->show();
    f.show();
    EXPECT_EQ(w.cbMarkDates->text(), "Mark activity dates");
    const char* captions[] = {"mark activity dates (for undefined only)",
                              "mark activity dates (full, traffic && time expensive)", "mark activity dates"};
    for (const char* caption : captions) {
        w.cbMarkDates->click();
        EXPECT_EQ(w.cbMarkDates->text(), caption);
    }
    form->Presenter().SetUpdateDoneForTesting();
    w.cbMarkDates->click();
    EXPECT_TRUE(GetDataEnabled()) << "a click makes the source usable again";
    Select(1); // Local: unchecked and read-only
    EXPECT_EQ(w.cbMarkDates->checkState(), Qt::Unchecked);
}

TEST_F(DialogTest, BrowseButtonPrefillsTheOpenDialog) {
    auto& f = Open();
    fs::create_directories(dir / "x");
    WriteFile(dir / "x" / "members.rar", "Rar!");
    WriteFile(dir / "x" / "a.rar.rar", "Rar!");
    Select(1);
    const QString x = QString::fromStdString((dir / "x").string());
    struct Case {
        QString text;
        QString folder, name, ext;
    } cases[] = {
        {x + "/members.rar", x, "members", ".rar"},
        {x + "/a.rar.rar", x, "a", ".rar"},
        {x + "/missing.rar", x + "/missing.rar", "a", ".rar"}, // name left as it was
    };
    for (const auto& c : cases) {
        w.edSource->setText(c.text);
        Browse();
        const TOpenDialog& seen = f.Presenter().OpenDialog();
        EXPECT_EQ(seen.InitialDir, c.folder.toStdU16String());
        EXPECT_EQ(seen.FileName, c.name.toStdU16String());
        EXPECT_EQ(seen.DefaultExt, c.ext.toStdU16String());
        EXPECT_EQ(seen.Title, u"Select updates...");
        EXPECT_EQ(w.edSource->text(), c.text) << "a cancelled dialog changes nothing";
    }
    Browse(x + "/members.rar");
    EXPECT_EQ(w.edSource->text(), x + "/members.rar");
}

TEST_F(DialogTest, ProgressOperations) {
    auto& f = Open();
    for (auto [fraction, percent] : {std::pair{0.999L, 99}, {0.5L, 50}, {0.0L, 0}, {1.0L, 100}}) {
        f.Presenter().ShowProgress(fraction);
        EXPECT_EQ(w.psProgress->value(), percent);
    }
    f.Presenter().MsgProgress(0, u"A", false);
    f.Presenter().MsgProgress(1, u"B", true);
    f.Presenter().MsgProgress(2, u"C\r\nD", true);
    f.Presenter().MsgProgress(0, u"E", false);
    EXPECT_EQ(w.mProgress->toPlainText(), "A   B\n      C\nD\nE");
    f.Presenter().MsgInfo(u"Trying to load file...");
    EXPECT_EQ(w.psInfo->text(), "Trying to load file...");
}

TEST_F(DialogTest, ModalRunIsBracketedAlsoWhenItRaises) {
    auto& f = Open(false);
    QTimer::singleShot(0, &f, [&] { w.dbtUpdateCancel->click(); });
    f.ShowModal();
    EXPECT_EQ(host->ModalBegins(), 1);
    EXPECT_EQ(host->ModalDepth(), 0);

    host->Faults().failing["IApplicationIcons.GetLargeIcon"] = {E_FAIL, u"no icon"};
    auto& g = Open(false);
    EXPECT_THROW(g.ShowModal(), EOleException);
    EXPECT_EQ(host->ModalBegins(), 2);
    EXPECT_EQ(host->ModalDepth(), 0);

    host->Faults().failing["IApplicationWindows.BeginModal"] = {E_FAIL, u"busy"};
    auto& h = Open(false);
    EXPECT_THROW(h.ShowModal(), EOleException);
    EXPECT_EQ(host->CallCount("IApplicationWindows.EndModal"), 2) << "no EndModal without BeginModal";
}

TEST_F(DialogTest, HostIconsAreAppliedAndReplacedOnesDestroyed) {
    const uint32_t before = LiveIconCount();
    {
        auto& f = Open();
        f.hide();
        f.show();
        EXPECT_EQ(LiveIconCount(), before + 2) << "only the icons attached now stay alive";
        EXPECT_FALSE(f.windowIcon().isNull());
        form.reset();
    }
    EXPECT_EQ(LiveIconCount(), before);
}

TEST_F(DialogTest, AFailingHandlerShowsItsMessageInsteadOfCrossingTheEventLoop) {
    WriteFile(dir / "host.ini", "");
    fs::permissions(dir / "host.ini", fs::perms::none);
    if (::geteuid() == 0) {
        // root reads anything: make the settings path a folder instead
        fs::remove(dir / "host.ini");
        fs::create_directories(dir / "host.ini");
    }
    Open();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().first, u"Error");
}

TEST_F(DialogTest, LocalSourceIsWrittenAsLocal) {
    const fs::path archive = dir / "download" / "lists.rar";
    WriteFile(archive, "Rar!");
    Open();
    Select(1);
    w.edSource->setText(QString::fromStdString(archive.string()));
    form->Presenter().SetUpdateDoneForTesting(); // as after a run that returned true
    form->close();
    EXPECT_EQ(ReadFile(dir / "host.ini"),
              "[Bureau-UR]\r\nResource=" + archive.string() + "\r\nLocation=Local\r\n");
}

TEST_F(DialogTest, ClickingTheSelectedLocationChangesNothing) {
    Open();
    ASSERT_TRUE(w.Location(0)->isChecked());
    w.edSource->setText("http://typed.example/lists.rar");
    Select(0);
    EXPECT_EQ(w.edSource->text().toStdString(), "http://typed.example/lists.rar") << "the typed source stays";
    EXPECT_TRUE(w.Location(0)->isChecked());

    Select(1);
    EXPECT_EQ(w.edSource->text().toStdString(), (dir / "download" / "members_upd2604.rar").string())
        << "another item does change it";
    WriteFile(dir / "chosen.rar", "Rar!");
    Browse(QString::fromStdString((dir / "chosen.rar").string()));
    Select(1);
    EXPECT_EQ(w.edSource->text().toStdString(), (dir / "chosen.rar").string());
}

TEST_F(DialogTest, MsgProgressBringsTheLastLineWithTextToTheTopOfTheView) {
    auto& f = Open();
    auto topLine = [&] { return w.mProgress->cursorForPosition(QPoint(1, 1)).block().text().toStdString(); };
    for (int i = 1; i <= 40; ++i)
        f.Presenter().MsgProgress(0, u"line " + Utf8ToString(std::to_string(i)), true);
    EXPECT_EQ(topLine(), "line 40");
    f.Presenter().MsgProgress(1, u"continued", false);
    EXPECT_EQ(topLine(), "   continued") << "a line without its end yet is the last line with text";
    f.Presenter().MsgProgress(0, u" and ended", true);
    EXPECT_EQ(topLine(), "   continued and ended");
    EXPECT_EQ(w.mProgress->horizontalScrollBar()->value(), 0) << "never scrolled sideways";
}

// Throws from the modal loop itself: while the dialog is being shown, its handlers pump messages under
// their own guard, so the throw waits until a loop runs.
class ThrowFromTheEventLoop {
public:
    ThrowFromTheEventLoop() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QThread::currentThread()->loopLevel() == 0)
                return;
            timer_.stop();
            throw EAbort(u"escaped from the event loop");
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

TEST_F(DialogTest, AnExceptionThatEscapesTheEventLoopStillEndsTheHostsModalState) {
    auto& f = Open(false);
    {
        ThrowFromTheEventLoop thrower;
        EXPECT_THROW(f.ShowModal(), EAbort);
    }
    EXPECT_EQ(host->ModalBegins(), 1);
    EXPECT_EQ(host->ModalDepth(), 0) << "EndModal was called";
    EXPECT_FALSE(f.isVisible()) << "no modal window is left over the host";

    // When EndModal fails too, its failure is the one raised.
    host->Faults().failing["IApplicationWindows.EndModal"] = {E_FAIL, u"the host is gone"};
    auto& g = Open(false);
    ThrowFromTheEventLoop thrower;
    try {
        g.ShowModal();
        ADD_FAILURE() << "no exception";
    } catch (const EOleException& e) {
        EXPECT_EQ(e.Message(), u"the host is gone");
    }
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
