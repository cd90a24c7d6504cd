// The application's core, shared by the window and the headless mode: the host services with their
// variables, the callbook, the log file and the loaded plug-ins. What is shown goes to a Frontend.
#pragma once

#include "Host/HostMenuItem.h"
#include "Host/HostServices.h"
#include "Host/LogHostOptions.h"
#include "PluginAPI/ComPtr.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class Callbook;
class PluginLibrary;

struct LogEntry {
    QDateTime time;
    QString text;
    bool fromPlugin = false; // written by a plug-in through WriteLog, not by the host itself
    // The line as the log file and the log pane show it.
    QString Line() const;
};

// A file of the plug-ins folder that did not load.
struct SkippedPlugin {
    QString file;
    QString reason;
};

// The outcome of choosing a menu item.
struct ClickResult {
    HRESULT code = S_OK;
    QString description; // the error record's description when the command failed
    bool Succeeded() const { return code >= 0; }
};

class LogHost {
public:
    struct Frontend {
        std::function<void(const LogEntry& entry)> log;
        std::function<void(const QString& text, const QString& caption)> showMessage;
        std::function<void()> refresh;
        std::function<HWND()> mainWindow;
        std::function<void()> menuChanged;
    };

    // The options must be resolved (ResolveDefaults). Opens the log file and the callbook and sets
    // the host variables; plug-ins are loaded by LoadPlugins.
    LogHost(LogHostOptions options, Frontend frontend);
    // Unloads what is still loaded, then closes the callbook.
    ~LogHost();
    LogHost(const LogHost&) = delete;
    LogHost& operator=(const LogHost&) = delete;

    const LogHostOptions& Options() const { return FOptions; }
    HostServices& Services() { return *FServices.get(); }
    Callbook* OpenCallbook() const { return FCallbook.get(); }
    // Why there is no callbook open: the file and the reason; empty when one is open.
    const QString& CallbookError() const { return FCallbookError; }

    // Loads every *.ext of the plug-ins folder, in the order of their names; a file that fails is
    // logged and skipped.
    void LoadPlugins();
    const std::vector<std::unique_ptr<PluginLibrary>>& Plugins() const { return FPlugins; }
    // The items a plug-in created while it loaded and that are still in the menus.
    std::vector<ComPtr<HostMenuItem>> ItemsOf(const PluginLibrary& plugin) const;
    const std::vector<SkippedPlugin>& Skipped() const { return FSkipped; }
    // The menu items of the loaded plug-ins, in creation order.
    std::vector<ComPtr<HostMenuItem>> MenuItems() const { return FServices->MenuItems(); }
    ComPtr<HostMenuItem> FindMenuItem(const QString& caption) const;

    // Chooses the item; a failure is logged with the error record's description.
    ClickResult Click(HostMenuItem& item);

    // Tears every plug-in down (NotifyDestroy, the last release, _done) and unloads its library.
    // Warns when the plug-ins' BeginModal and EndModal did not balance.
    void UnloadPlugins();

    // The host's own log line.
    void Log(const QString& text) { Append(text, false); }

private:
    void Append(const QString& text, bool fromPlugin);
    void Command(const QString& name, const QString& value);

    LogHostOptions FOptions;
    Frontend FFrontend;
    QFile FLogFile;
    ComPtr<HostServices> FServices;
    std::unique_ptr<Callbook> FCallbook;
    QString FCallbookError;
    std::vector<std::unique_ptr<PluginLibrary>> FPlugins;
    // Per plug-in, in the order of FPlugins: the items it created while loading (kept alive so that
    // no later item can take the address of one that went).
    std::vector<std::vector<ComPtr<HostMenuItem>>> FPluginItems;
    std::vector<SkippedPlugin> FSkipped;
};
