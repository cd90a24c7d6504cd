// The command line of loghost, and where its files lie when the command line does not say.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How loghost ends, so that a script or a scheduled job can tell what happened. When several apply, the
// lowest non-zero status wins. --help lists them.
enum LogHostStatus : int {
    StatusSuccess = 0,       // the command ran to a successful end
    StatusCommandFailed = 1, // the command failed with an error (printed as "error: "), or no callbook
    StatusCannotRun = 2,     // the command could not run: a wrong command line, no such menu item, the
                             // item disabled, or the dialog's "Get data" disabled
    StatusMessageShown = 3,  // the plug-in showed a message: it stopped for a reason it names
    StatusRunFailed = 4,     // the run ended and logged a line ending in "failed." without a message
};

struct LogHostOptions {
    QString pluginsDir;            // --plugins: every *.ext in it is loaded
    QString logFile;               // --log
    QString iniFile;               // --ini: the host's settings file ("APPINI")
    QString appPath;               // --app-path: the application folder ("APPPATH")
    QString downloadDir;           // --download ("DOWNLOAD")
    QString callbookFile;          // --callbook
    bool list = false;             // --list: print the plug-ins and their menu items, then leave
    bool headless = false;         // --headless: no window; the run is printed
    QString invoke;                // --invoke: the caption of the menu item to choose
    QString location;              // --location: "internet" or "local"
    std::optional<QString> source; // --source
};

struct ParsedOptions {
    LogHostOptions options;
    QString error;     // not empty: the command line is wrong
    bool help = false; // --help was asked for
    QString helpText;
};

// Reads the arguments (without the program's name). Needs no application object.
ParsedOptions ParseOptions(const QStringList& arguments);

// Whether the arguments ask for a run without a display (--headless or --list).
bool WantsHeadless(int argc, char** argv);

// Fills in what the command line left open: the plug-ins folder beside the executable, the files in
// the user's configuration folder, the user's download folder. Needs the application object.
void ResolveDefaults(LogHostOptions& options);
