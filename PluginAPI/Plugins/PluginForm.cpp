#include "PluginAPI/Plugins/PluginForm.h"

#include "Platform/Application.h"
#include "Platform/WinUser.h"

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWindow>

#include <memory>
#include <vector>

namespace {

// The application object this plug-in created, with the arguments it must outlive.
struct OwnApplication {
    int argc = 1;
    char name[8] = "Zarbex";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
};

OwnApplication& Own() {
    static OwnApplication own;
    return own;
}

QPixmap IconPixmap(HICON icon) {
    int32_t width = 0, height = 0;
    if (icon == 0 || !GetIconPixels(icon, &width, &height, nullptr, 0))
        return {};
    std::vector<uint32_t> pixels(std::size_t(width) * height);
    if (!GetIconPixels(icon, &width, &height, pixels.data(), pixels.size()))
        return {};
    QImage image(reinterpret_cast<const uchar*>(pixels.data()), width, height, width * 4,
                 QImage::Format_ARGB32);
    return QPixmap::fromImage(image.copy());
}

} // namespace

void EnsureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        OwnApplication& own = Own();
        own.app = std::make_unique<QApplication>(own.argc, own.argv);
    }
}

void ReleaseApplication() {
    OwnApplication& own = Own();
    if (own.app && QApplication::topLevelWidgets().isEmpty())
        own.app.reset();
}

// The dialog belongs to the host's application window: a widget of this process when the host is a Qt
// application, otherwise a foreign window made its transient parent.
TForm::TForm(ICore* core)
    : TFormHost(core), QDialog(QWidget::find(static_cast<WId>(ApplicationHandle())), Qt::Dialog) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (parentWidget() == nullptr && ApplicationHandle() != 0) {
        if (QWindow* owner = QWindow::fromWinId(static_cast<WId>(ApplicationHandle()))) {
            owner->setParent(nullptr);
            winId();
            if (QWindow* own = windowHandle())
                own->setTransientParent(owner);
        }
    }
}

TForm::~TForm() {
    // Icons still attached are no longer in use once the window goes.
    for (HICON& icon : FIcons)
        if (icon != 0)
            DestroyIcon(std::exchange(icon, 0));
}

int TForm::ShowModal() {
    HostCall(FApplicationWindows->BeginModal());
    FModalFailure = nullptr;
    int result = 0;
    try {
        result = RunModalLoop();
    } catch (...) {
        // An exception that escaped the event loop: the host is told all the same, so that it does not
        // stay disabled. A failing EndModal is the failure that propagates then.
        HostCall(FApplicationWindows->EndModal());
        throw;
    }
    HostCall(FApplicationWindows->EndModal());
    if (FModalFailure)
        std::rethrow_exception(std::exchange(FModalFailure, nullptr));
    return result;
}

// QDialog::exec, except that a dialog closed while it is being shown (its show pumps messages) does not
// leave the loop waiting for a close that already happened.
int TForm::RunModalLoop() {
    setResult(0);
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    const auto finished = connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    try {
        show();
        if (isVisible())
            loop.exec(QEventLoop::DialogExec);
    } catch (...) {
        // The run is over: a modal window left on screen would block the host's windows.
        disconnect(finished);
        hide();
        throw;
    }
    disconnect(finished);
    return result();
}

void TForm::FailModalRun(std::exception_ptr failure) {
    if (!FModalFailure)
        FModalFailure = failure;
    // Ended from the event loop: a show may run before the modal loop has started.
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void TForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    try {
        ApplyHostIcons();
        FormShow();
    } catch (...) {
        FailModalRun(std::current_exception());
    }
}

HICON TForm::SetIcon(std::uint32_t kind, HICON icon) {
    HICON& slot = FIcons[kind == ICON_BIG_KIND ? 1 : 0];
    const HICON previous = std::exchange(slot, icon);
    UpdateWindowIcon();
    return previous;
}

void TForm::UpdateWindowIcon() {
    QIcon icon;
    for (HICON handle : FIcons) {
        QPixmap pixmap = IconPixmap(handle);
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    }
    setWindowIcon(icon);
}

void TForm::ApplyHostIcons() {
    ComPtr<IApplicationIcons> icons = FCore.query<IApplicationIcons>();
    if (!icons)
        return;
    HICON small = 0;
    HostCall(icons->GetSmallIcon(&small));
    DestroyIcon(SetIcon(ICON_SMALL, small));
    HICON big = 0;
    HostCall(icons->GetLargeIcon(&big));
    DestroyIcon(SetIcon(ICON_BIG, big));
}
