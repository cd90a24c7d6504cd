#include "Host/LogHostOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <cstring>

namespace {

struct Option {
    const char* name;
    const char* valueName; // nullptr: a flag
    const char* description;
};

constexpr Option kOptions[] = {
    {"plugins", "DIR", "Folder of the plug-ins (*.ext); default: plugins/ beside the program."},
    {"log", "FILE", "Log file; default: loghost.log in the configuration folder."},
    {"ini", "FILE", "Settings file handed to plug-ins; default: loghost.ini in the configuration folder."},
    {"app-path", "DIR", "Application folder handed to plug-ins; default: the program's folder."},
    {"download", "DIR", "Download folder; default: the user's download folder."},
    {"callbook", "FILE", "Callbook database; default: callbook.db in the configuration folder."},
    {"list", nullptr, "Print the plug-ins and their menu items, then exit."},
    {"headless", nullptr, "Run without a window (with --invoke)."},
    {"invoke", "CAPTION", "Choose the menu item with this caption and answer its dialog."},
    {"location", "internet|local", "With --invoke: the source location to choose in the dialog."},
    {"source", "TEXT", "With --invoke: the source to enter in the dialog."},
};

constexpr struct {
    LogHostStatus status;
    const char* meaning;
} kStatuses[] = {
    {StatusSuccess, "the command ran to a successful end"},
    {StatusCommandFailed, "the command failed with an error, or no callbook is open"},
    {StatusCannotRun,
     "the command could not run: a wrong command line, no such menu item, the item is "
     "disabled, or \"Get data\" is disabled (for example, a local source that does not exist)"},
    {StatusMessageShown,
     "the plug-in showed a message (a missing library, a source that cannot be read, lists "
     "that could not be read...)"},
    {StatusRunFailed,
     "the run ended with a log line ending in \"failed.\" and no message (nothing was updated)"},
};

QString StatusHelp() {
    QString text = "\nExit status of --headless --invoke (when several apply, the lowest non-zero one):\n";
    for (const auto& status : kStatuses)
        text += QString("  %1  %2\n").arg(static_cast<int>(status.status)).arg(status.meaning);
    return text;
}

QString Absolute(const QString& path) {
    return path.isEmpty() ? path : QDir::cleanPath(QDir().absoluteFilePath(path));
}

} // namespace

ParsedOptions ParseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription("LogHost: the logbook host application and its plug-ins.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{"h", "help"}, "Show this help.");
    parser.addOption(help);
    for (const Option& option : kOptions) {
        if (option.valueName == nullptr)
            parser.addOption(QCommandLineOption(option.name, option.description));
        else
            parser.addOption(QCommandLineOption(option.name, option.description, option.valueName));
    }

    ParsedOptions parsed;
    parsed.helpText = parser.helpText().replace("<executable_name>", "loghost") + StatusHelp();
    // QCommandLineParser takes the first argument as the program's name.
    if (!parser.parse(QStringList{"loghost"} + arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty()) {
        parsed.error = "Unexpected argument: " + parser.positionalArguments().first();
        return parsed;
    }
    parsed.help = parser.isSet(help);

    LogHostOptions& o = parsed.options;
    o.pluginsDir = Absolute(parser.value("plugins"));
    o.logFile = Absolute(parser.value("log"));
    o.iniFile = Absolute(parser.value("ini"));
    o.appPath = Absolute(parser.value("app-path"));
    o.downloadDir = Absolute(parser.value("download"));
    o.callbookFile = Absolute(parser.value("callbook"));
    o.list = parser.isSet("list");
    o.headless = parser.isSet("headless") || o.list;
    o.invoke = parser.value("invoke");
    o.location = parser.value("location").toLower();
    if (parser.isSet("source"))
        o.source = parser.value("source");

    if (!o.location.isEmpty() && o.location != "internet" && o.location != "local")
        parsed.error = "--location must be internet or local, not " + parser.value("location");
    else if (parser.isSet("invoke") && o.invoke.isEmpty())
        parsed.error = "--invoke needs the caption of a menu item";
    else if (!o.invoke.isEmpty() && !parser.isSet("headless"))
        parsed.error = "--invoke is a headless command: add --headless";
    else if (o.list && !o.invoke.isEmpty())
        parsed.error = "--list and --invoke exclude each other";
    else if ((!o.location.isEmpty() || o.source) && o.invoke.isEmpty())
        parsed.error = "--location and --source go with --invoke";
    return parsed;
}

bool WantsHeadless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0 || std::strcmp(argv[i], "--list") == 0)
            return true;
    return false;
}

void ResolveDefaults(LogHostOptions& options) {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    auto orDefault = [](QString& value, const QString& fallback) {
        if (value.isEmpty())
            value = QDir::cleanPath(fallback);
    };
    orDefault(options.pluginsDir, programDir + "/plugins");
    orDefault(options.appPath, programDir);
    orDefault(options.logFile, configDir + "/loghost.log");
    orDefault(options.iniFile, configDir + "/loghost.ini");
    orDefault(options.callbookFile, configDir + "/callbook.db");
    orDefault(options.downloadDir, QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
}
