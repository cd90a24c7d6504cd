#include "Host/LogHost.h"

#include "Host/Callbook.h"
#include "Host/PluginLibrary.h"
#include "PluginAPI/BStr.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <exception>

namespace {

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}
std::u16string U(const QString& text) {
    return text.toStdU16String();
}

// Files the host writes must find their folder.
void MakeParent(const QString& file) {
    QDir().mkpath(QFileInfo(file).absolutePath());
}

// The description of the error record the last failing call left on this thread, if any.
QString TakeErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return {};
    BStr description;
    if (info->GetDescription(description.put()) < 0)
        return {};
    return Q(description.str());
}

QString Hex(HRESULT code) {
    return QString::asprintf("0x%08X", static_cast<unsigned>(code));
}

} // namespace

QString LogEntry::Line() const {
    return time.toString("yyyy-MM-dd HH:mm:ss") + "  " + text;
}

LogHost::LogHost(LogHostOptions options, Frontend frontend)
    : FOptions(std::move(options)), FFrontend(std::move(frontend)) {
    HostServices::Backend backend;
    backend.writeLog = [this](const std::u16string& text) { Append(Q(text), true); };
    backend.showMessage = [this](const std::u16string& text, const std::u16string& caption) {
        if (FFrontend.showMessage)
            FFrontend.showMessage(Q(text), Q(caption));
    };
    backend.command = [this](const std::u16string& name, const std::u16string& value) {
        Command(Q(name), Q(value));
    };
    backend.mainWindow = [this]() -> HWND { return FFrontend.mainWindow ? FFrontend.mainWindow() : 0; };
    backend.menuChanged = [this] {
        if (FFrontend.menuChanged)
            FFrontend.menuChanged();
    };
    FServices = HostServices::Create(std::move(backend));
    FServices->SetRecordCalls(false); // an update run makes tens of thousands of calls

    MakeParent(FOptions.logFile);
    FLogFile.setFileName(FOptions.logFile);
    if (!FLogFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        Log("Cannot open the log file " + FOptions.logFile + ": " + FLogFile.errorString());

    MakeParent(FOptions.iniFile);
    if (!QDir().mkpath(FOptions.downloadDir))
        Log("Cannot create the download folder " + FOptions.downloadDir);
    FServices->SetVariable(u"APPINI", U(FOptions.iniFile));
    FServices->SetVariable(u"APPPATH", U(FOptions.appPath));
    FServices->SetVariable(u"APPNAME", u"LogHost");
    FServices->SetVariable(u"DOWNLOAD", U(FOptions.downloadDir));

    MakeParent(FOptions.callbookFile);
    try {
        FCallbook = std::make_unique<Callbook>(FOptions.callbookFile.toStdString());
        FServices->SetCallbook(FCallbook.get());
    } catch (const std::exception& e) {
        FCallbookError =
            "Cannot open the callbook " + FOptions.callbookFile + ": " + QString::fromUtf8(e.what());
        Log(FCallbookError);
    }
}

LogHost::~LogHost() {
    UnloadPlugins();
    FServices->SetCallbook(nullptr);
    FCallbook.reset();
}

void LogHost::Append(const QString& text, bool fromPlugin) {
    LogEntry entry{QDateTime::currentDateTime(), text, fromPlugin};
    if (FLogFile.isOpen()) {
        QTextStream out(&FLogFile);
        out << entry.Line() << '\n';
        out.flush();
        FLogFile.flush();
    }
    if (FFrontend.log)
        FFrontend.log(entry);
}

void LogHost::Command(const QString& name, const QString& value) {
    if (name.compare("REFRESH", Qt::CaseInsensitive) == 0) {
        if (FFrontend.refresh)
            FFrontend.refresh();
        return;
    }
    Log("Unknown command " + name + " (" + value + ") ignored");
}

void LogHost::LoadPlugins() {
    const QDir folder(FOptions.pluginsDir);
    if (!folder.exists()) {
        Log("No plug-ins folder " + FOptions.pluginsDir);
        return;
    }
    const QFileInfoList files = folder.entryInfoList({"*.ext"}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const auto before = FServices->MenuItems();
        try {
            FPlugins.push_back(
                std::make_unique<PluginLibrary>(file.absoluteFilePath().toStdString(), FServices.get()));
            std::vector<ComPtr<HostMenuItem>> created;
            for (auto& item : FServices->MenuItems())
                if (std::none_of(before.begin(), before.end(),
                                 [&](const auto& old) { return old.get() == item.get(); }))
                    created.push_back(item);
            FPluginItems.push_back(std::move(created));
            Log("Plug-in " + file.fileName() + " loaded");
        } catch (const std::exception& e) {
            // PluginLoadError names the file; anything else the plug-in threw is reported the same way.
            FSkipped.push_back({file.fileName(), QString::fromUtf8(e.what())});
            Log("Plug-in " + file.fileName() + " skipped: " + QString::fromUtf8(e.what()));
        }
    }
}

std::vector<ComPtr<HostMenuItem>> LogHost::ItemsOf(const PluginLibrary& plugin) const {
    std::vector<ComPtr<HostMenuItem>> live;
    for (std::size_t i = 0; i < FPlugins.size(); ++i)
        if (FPlugins[i].get() == &plugin)
            for (const auto& item : FPluginItems[i])
                if (!item->Deleted())
                    live.push_back(item);
    return live;
}

ComPtr<HostMenuItem> LogHost::FindMenuItem(const QString& caption) const {
    for (const auto& item : FServices->MenuItems())
        if (Q(item->Caption()) == caption)
            return item;
    return {};
}

ClickResult LogHost::Click(HostMenuItem& item) {
    // An older record must not pass for this command's.
    {
        ComPtr<IErrorInfo> stale;
        GetErrorInfo(0, stale.put());
    }
    ClickResult result;
    result.code = item.Click();
    if (!result.Succeeded()) {
        result.description = TakeErrorDescription();
        if (result.description.isEmpty())
            result.description = "The command failed (" + Hex(result.code) + ")";
        Log("\"" + Q(item.Caption()) + "\" failed: " + result.description);
    }
    return result;
}

void LogHost::UnloadPlugins() {
    if (FPlugins.empty())
        return;
    // The latest loaded goes first, as it may rely on what was there before it.
    while (!FPlugins.empty()) {
        FPlugins.back()->Unload();
        FPlugins.pop_back();
        FPluginItems.pop_back();
    }
    if (FServices->ModalDepth() != 0)
        Log(QString("Warning: the plug-ins' BeginModal and EndModal did not balance (%1 left open)")
                .arg(FServices->ModalDepth()));
}
