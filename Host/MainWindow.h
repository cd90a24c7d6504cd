// The host's main window: the callbook with its filters, the log pane, the plug-ins' menu.
#pragma once

#include "Host/HostMenuItem.h"
#include "Platform/WinTypes.h"
#include "PluginAPI/ComPtr.h"

#include <QMainWindow>

class LogHost;
class LogHostCallbookModel;
struct LogEntry;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTableView;

class MainWindow final : public QMainWindow {
public:
    MainWindow();

    // The host whose menu items and callbook the window shows; set once, before it is shown.
    void SetHost(LogHost* host);

    void AppendLog(const LogEntry& entry);
    void ShowMessage(const QString& text, const QString& caption);
    // Reads the callbook again and updates the counts.
    void Refresh();
    // The "Plugins" menu follows the plug-ins' items; rebuilt once the current event is handled, so
    // that an item may change or go while its own command runs.
    void ScheduleMenuRebuild();
    // The native id that plug-ins receive as the application window; 0 if it does not fit 32 bits.
    HWND Handle();

private:
    void RebuildPluginsMenu();
    void ChooseItem(const ComPtr<HostMenuItem>& item);

    LogHost* FHost = nullptr;
    LogHostCallbookModel* FModel = nullptr;
    QTableView* FTable = nullptr;
    QLineEdit* FPrefix = nullptr;
    QComboBox* FBureau = nullptr;
    QPlainTextEdit* FLog = nullptr;
    QLabel* FCounts = nullptr;
    QMenu* FPluginsMenu = nullptr;
    bool FRebuildPending = false;
};
