// The Qt dialog's smoke test under the offscreen platform, against the host's side of the boundary: its
// widgets by name and size, each event made as a person makes it (a click given to the window at a
// widget's centre, the keyboard) reaching the presenter, the browse button before and after a run and its
// keys, what it shows when told, the modal bracket, the host's icons and the message box for a failure the
// host cannot show. The dialog's rules are the
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
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

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
    // A click as a person makes it: the left button pressed and released at the centre of the widget (or
    // at a point of its own), given to the window, which finds the widget under that point itself. The
    // point must belong to the widget: a click there reaches it.
    void ClickAt(QWidget* target, std::optional<QPoint> at = {}) {
        const QPoint centre = target->mapTo(form.get(), at.value_or(target->rect().center()));
        QWidget* under = form->childAt(centre);
        ASSERT_EQ(under, target) << "the centre of " << target->objectName().toStdString() << " belongs to "
                                 << (under ? under->metaObject()->className() : "no widget");
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, centre);
    }
    // The button the field shows for its browse action.
    QToolButton* BrowseButton() const {
        for (auto* button : w.edSource->findChildren<QToolButton*>())
            if (button->defaultAction() == w.edSourceButton)
                return button;
        return nullptr;
    }
    // Answers the open-file dialog that act makes show: confirms file, or cancels when it is empty. True
    // when one showed.
    bool Answer(const std::function<void()>& act, const QString& file = {}) {
        bool shown = false;
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (files == nullptr)
                return;
            answer.stop();
            shown = true;
            if (file.isEmpty())
                return files->reject();
            files->selectFile(file);
            QMetaObject::invokeMethod(files, "accept");
        });
        answer.start();
        act();
        return shown;
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
        {"typing in the source",
         [&] {
             ClickAt(w.edSource);
             QTest::keyClick(w.edSource, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(w.edSource, "http://typed.example/a.rar");
         },
         [&] { EXPECT_EQ(form->Presenter().Source(), u"http://typed.example/a.rar"); }},
        {"a click on a location item", [&] { ClickAt(w.rgLocationLocal); },
         [&] { EXPECT_EQ(form->Presenter().Location(), SourceLocation::Local); }},
        {"the browse button", [&] { EXPECT_TRUE(Answer([&] { ClickAt(BrowseButton()); }, file)); },
         [&] {
             EXPECT_EQ(form->Presenter().Source(), chosen.u16string());
             EXPECT_EQ(w.edSource->text(), file);
         }},
        {"a click on the box",
         [&] {
             ClickAt(w.rgLocationInternet);
             // A check box takes clicks on its square and its caption only.
             ClickAt(w.cbMarkDates, QPoint(w.cbMarkDates->height() / 2, w.cbMarkDates->height() / 2));
         },
         [&] {
             EXPECT_EQ(w.cbMarkDates->checkState(), Qt::PartiallyChecked) << "turned once, by the presenter";
             EXPECT_EQ(w.cbMarkDates->text(), "mark activity dates (for undefined only)");
         }},
        // No UnRAR library beside the host: the presenter's run says so before it starts.
        {"Get data", [&] { ClickAt(w.dbtUpdateOk); },
         [&] {
             ASSERT_EQ(messages.size(), 1u);
             EXPECT_EQ(messages[0].first, u"UnRAR component needed");
         }},
        {"Close", [&] { ClickAt(w.dbtUpdateCancel); }, [&] { EXPECT_FALSE(form->isVisible()); }},
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

// The browse button is pressed by a real click at its centre when the dialog opens and again after a run.
TEST_F(DialogTest, TheBrowseButtonTakesAClickBeforeAndAfterARun) {
    // A run that gets past its check of the components and fails at the callbook, as the host refuses it.
    WriteFile(dir / "UnRAR.dll", "");
    host->Faults().failing["IHostServer.CreateQuery"] = {E_FAIL, u"The callbook is locked"};
    const fs::path chosen = dir / "chosen.rar";
    WriteFile(chosen, "Rar!");
    Open();
    ClickAt(w.rgLocationLocal);
    ASSERT_NE(BrowseButton(), nullptr);
    EXPECT_TRUE(Answer([&] { ClickAt(BrowseButton()); }, QString::fromStdString(chosen.string())));
    ClickAt(w.dbtUpdateOk);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].second.find(u"The callbook is locked"), std::u16string::npos);
    EXPECT_TRUE(w.edSource->isEnabled()) << "the run gave the dialog back";
    EXPECT_TRUE(Answer([&] { ClickAt(BrowseButton()); })) << "after the run";
}

// F4 and Alt+Down in the source field press the browse button, as in a drop-down field; not while the
// button is hidden (an address is typed).
TEST_F(DialogTest, TheBrowseKeysInTheSourceField) {
    struct Case {
        const char* keys;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int location;
        bool opens;
    } cases[] = {
        {"F4, Local", Qt::Key_F4, Qt::NoModifier, 1, true},
        {"Alt+Down, Local", Qt::Key_Down, Qt::AltModifier, 1, true},
        {"F4, Internet", Qt::Key_F4, Qt::NoModifier, 0, false},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        // The open-file dialog of a case before took the activation.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ClickAt(w.Location(c.location));
        ClickAt(w.edSource);
        ASSERT_TRUE(w.edSource->hasFocus());
        EXPECT_EQ(Answer([&] { QTest::keyClick(form->windowHandle(), c.key, c.modifiers); }), c.opens);
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
