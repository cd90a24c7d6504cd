// The Qt dialog's smoke test under the offscreen platform, against the host's side of the boundary: its
// widgets by name and size, each event reaching the presenter, what it shows when told, the modal bracket,
// the host's icons and the message box for a failure the host cannot show. The dialog's rules are the
// presenter's, tested in PresenterTest.
#include "Host/HostServices.h"
#include "Platform/WinUser.h"
#include "Plugins/Zarbex/Zarbex.h"
#include "Plugins/Zarbex/uZarbex.h"
#include "Plugins/Zarbex/uZarbexRun.h"
#include "tests/support/DialogWidgets.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

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
        form = TfrmZarbex::Create(host.get(), ComPtr<IHostKernel>(host.get()),
                                  UpdateRunFactory(ComPtr<IHostKernel>(host.get()),
                                                   ComPtr<IHostServer>(host.get()), PluginIdentity::Name));
        w = DialogWidgets(*form);
        if (show)
            form->show();
        return *form;
    }
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
};

} // namespace

TEST_F(DialogTest, TheWidgetsByNameAndSize) {
    auto& f = Open();
    EXPECT_EQ(f.windowTitle(), "Get Bureau users info (Ukraine)");
    EXPECT_EQ(f.size(), QSize(394, 266));
    for (const char* name : {"edSource", "rgLocation", "cbMarkDates", "mProgress", "psInfo", "psProgress",
                             "dbtUpdate", "imgLogo"})
        EXPECT_NE(f.findChild<QWidget*>(name), nullptr) << name;
    struct Case {
        QWidget* widget;
        QSize size;
    } cases[] = {
        {w.edSource, {276, 21}},   {w.dbtUpdateOk, {75, 25}}, {w.dbtUpdateCancel, {75, 25}},
        {w.psProgress, {150, 19}}, {w.psInfo, {155, 19}},     {w.imgLogo, {54, 106}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.widget->size(), c.size) << c.widget->objectName().toStdString();
    EXPECT_EQ(w.dbtUpdateOk->text(), "Get data");
    EXPECT_EQ(w.dbtUpdateCancel->text(), "Close");
    EXPECT_EQ(w.cbMarkDates->text(), "Mark activity dates");
    EXPECT_FALSE(w.cbMarkDates->isVisible()) << "the command hides the box";
    EXPECT_EQ(w.imgLogo->pixmap().size(), QSize(54, 106));
    EXPECT_TRUE(w.imgLogo->pixmap().hasAlphaChannel());
    EXPECT_FALSE(w.psProgress->isTextVisible());
    // The opening values, as the presenter set them on the show.
    EXPECT_EQ(w.edSource->text().toStdU16String(), DefaultInternetSource);
    EXPECT_TRUE(w.Location(0)->isChecked());
    EXPECT_TRUE(w.dbtUpdateOk->isEnabled());
    QDir().mkpath(ARTIFACTS_DIR);
    f.Presenter().MsgProgress(0, u"* Use: " + std::u16string(DefaultInternetSource), true);
    f.Presenter().MsgProgress(1, u"Parsing members.pdf (123456 bytes)", true);
    f.Presenter().MsgProgress(2, u"Found 812, updated 640 callsigns", true);
    f.Presenter().ShowProgress(0.45);
    EXPECT_TRUE(f.grab().save(ARTIFACTS_DIR "/update-dialog.png"));
}

TEST_F(DialogTest, EachEventReachesThePresenter) {
    const fs::path chosen = dir / "chosen.rar";
    WriteFile(chosen, "Rar!");
    const QString file = QString::fromStdString(chosen.string());
    struct Case {
        const char* event;
        std::function<void()> act;
        std::function<void()> check;
    } cases[] = {
        {"typing in the source", [&] { w.edSource->setText("http://typed.example/a.rar"); },
         [&] { EXPECT_EQ(form->Presenter().Source(), u"http://typed.example/a.rar"); }},
        {"a click on a location item", [&] { w.rgLocationLocal->click(); },
         [&] { EXPECT_EQ(form->Presenter().Location(), SourceLocation::Local); }},
        {"the browse button", [&] { Browse(file); },
         [&] {
             EXPECT_EQ(form->Presenter().Source(), chosen.u16string());
             EXPECT_EQ(w.edSource->text(), file);
         }},
        {"a click on the box",
         [&] {
             w.rgLocationInternet->click();
             w.cbMarkDates->click();
         },
         [&] {
             EXPECT_EQ(w.cbMarkDates->checkState(), Qt::PartiallyChecked) << "turned once, by the presenter";
             EXPECT_EQ(w.cbMarkDates->text(), "mark activity dates (for undefined only)");
         }},
        // No UnRAR library beside the host: the presenter's run says so before it starts.
        {"Get data", [&] { w.dbtUpdateOk->click(); },
         [&] {
             ASSERT_EQ(messages.size(), 1u);
             EXPECT_EQ(messages[0].first, u"UnRAR component needed");
         }},
        {"Close", [&] { w.dbtUpdateCancel->click(); }, [&] { EXPECT_FALSE(form->isVisible()); }},
    };
    Open(false);
    w.cbMarkDates->show();
    form->show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        c.act();
        c.check();
    }
}

TEST_F(DialogTest, ShowsWhatThePresenterSays) {
    auto& f = Open();
    TZarbexPresenter& p = f.Presenter();
    EXPECT_FALSE(w.edSource->isReadOnly());
    EXPECT_FALSE(w.edSourceButton->isVisible());
    p.rgLocationClick(1);
    EXPECT_TRUE(w.rgLocationLocal->isChecked());
    EXPECT_TRUE(w.edSource->isReadOnly()) << "a local path comes from the browse button";
    EXPECT_TRUE(w.edSourceButton->isVisible());
    EXPECT_TRUE(w.cbMarkDates->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(w.cbMarkDates->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(w.dbtUpdateOk->isEnabled()) << "the default local file does not exist";

    p.LockControls(true);
    for (QWidget* control : {static_cast<QWidget*>(w.edSource), static_cast<QWidget*>(w.rgLocationInternet),
                             static_cast<QWidget*>(w.rgLocationLocal), static_cast<QWidget*>(w.cbMarkDates)})
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_FALSE(w.edSourceButton->isEnabled());
    p.LockControls(false);
    EXPECT_TRUE(w.edSource->isEnabled());
    EXPECT_TRUE(w.edSourceButton->isEnabled());

    p.ShowProgress(0.5);
    EXPECT_EQ(w.psProgress->value(), 50);
    p.MsgInfo(u"Trying to load file...");
    EXPECT_EQ(w.psInfo->text(), "Trying to load file...");
    // The memo grows by what it is given, and the last line with text goes to the top of the view.
    p.MsgProgress(1, u"B", true);
    p.MsgProgress(2, u"C\r\nD", true);
    EXPECT_EQ(w.mProgress->toPlainText(), "   B\n      C\nD\n");
    for (int i = 1; i <= 40; ++i)
        p.MsgProgress(0, u"line " + Utf8ToString(std::to_string(i)), true);
    const auto topLine = [&] {
        return w.mProgress->cursorForPosition(QPoint(1, 1)).block().text().toStdString();
    };
    EXPECT_EQ(topLine(), "line 40");
    EXPECT_EQ(w.mProgress->horizontalScrollBar()->value(), 0) << "never scrolled sideways";
    p.ClearMemo();
    EXPECT_EQ(w.mProgress->toPlainText(), "");
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

    // When the host cannot show it, the dialog's own message box does.
    messages.clear();
    host->Faults().failing["IHostKernel.ShowMessage"] = {E_FAIL, u"the host has no window"};
    QString title, text;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        watch.stop();
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    watch.start();
    Open();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(title, "Error");
    EXPECT_TRUE(text.contains("host.ini")) << text.toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the box is closed";
}

// Throws from the modal loop itself: while the dialog is being shown, its handlers pump messages under
// their own guard, so the throw waits until a loop runs.
class ThrowFromTheEventLoop {
public:
    ThrowFromTheEventLoop() {
        FTimer.setInterval(0);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (QThread::currentThread()->loopLevel() == 0)
                return;
            FTimer.stop();
            throw EAbort(u"escaped from the event loop");
        });
        FTimer.start();
    }

private:
    QTimer FTimer;
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
