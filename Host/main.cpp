// loghost: the reference logbook host. It loads every plug-in of its plug-ins folder by the binary
// boundary alone and shows the callbook, the log and the plug-ins' menu; with --list or --headless
// it runs without a display and prints what happens.
#include "Host/Headless.h"
#include "Host/HeadlessOutput.h"
#include "Host/LogHost.h"
#include "Host/LogHostOptions.h"
#include "Host/LogHostWindowHandle.h"
#include "Host/MainWindow.h"

#include <QApplication>
#include <QPointer>

#include <iostream>

namespace {

int RunHeadless(const LogHostOptions& options) {
    // Plug-ins own their dialogs through the application window, so there is one, never shown.
    QWidget window;
    window.setWindowTitle("LogHost");
    LogHost* hostForWarning = nullptr;
    HeadlessTally tally;
    LogHost host(options, HeadlessFrontend(
                              std::cout, std::cerr,
                              [&window, &hostForWarning]() -> HWND {
                                  if (const auto handle = WindowHandle(window))
                                      return *handle;
                                  if (hostForWarning)
                                      hostForWarning->Log("The application window's id does not fit 32 bits");
                                  return 0;
                              },
                              &tally));
    hostForWarning = &host;
    host.LoadPlugins();
    int status = 0;
    if (options.list)
        status = RunList(host, std::cout);
    else if (!options.invoke.isEmpty())
        status = RunInvoke(host, tally, std::cout, std::cerr);
    host.UnloadPlugins();
    return status;
}

int RunWindow(const LogHostOptions& options) {
    MainWindow window;
    QPointer<MainWindow> shown(&window);
    LogHost::Frontend frontend;
    frontend.log = [shown](const LogEntry& entry) {
        if (shown)
            shown->AppendLog(entry);
    };
    frontend.showMessage = [shown](const QString& text, const QString& caption) {
        if (shown)
            shown->ShowMessage(text, caption);
    };
    frontend.refresh = [shown] {
        if (shown)
            shown->Refresh();
    };
    frontend.mainWindow = [shown]() -> HWND { return shown ? shown->Handle() : 0; };
    frontend.menuChanged = [shown] {
        if (shown)
            shown->ScheduleMenuRebuild();
    };

    LogHost host(options, std::move(frontend));
    window.SetHost(&host);
    host.LoadPlugins();
    window.show();
    const int status = QApplication::exec();
    host.UnloadPlugins();
    window.SetHost(nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    ParsedOptions parsed = ParseOptions(arguments);
    if (!parsed.error.isEmpty()) {
        std::cerr << "loghost: " << Printable(parsed.error) << "\n\n" << parsed.helpText.toStdString();
        return StatusCannotRun;
    }
    if (parsed.help) {
        std::cout << parsed.helpText.toStdString();
        return 0;
    }

    // Scripts and tests run without a display.
    if (WantsHeadless(argc, argv) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("LogHost");
    LogHostOptions options = parsed.options;
    ResolveDefaults(options);
    return options.headless ? RunHeadless(options) : RunWindow(options);
}
