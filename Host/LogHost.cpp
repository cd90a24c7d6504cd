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
    : options_(std::move(options)), frontend_(std::move(frontend)) {
    HostServices::Backend backend;
    backend.writeLog = [this](const std::u16string& text) { Append(Q(text), true); };
    backend.showMessage = [this](const std::u16string& text, const std::u16string& caption) {
        if (frontend_.showMessage)
            frontend_.showMessage(Q(text), Q(caption));
    };
    backend.command = [this](const std::u16string& name, const std::u16string& value) {
        Command(Q(name), Q(value));
    };
    backend.mainWindow = [this]() -> HWND { return frontend_.mainWindow ? frontend_.mainWindow() : 0; };
    backend.menuChanged = [this] {
        if (frontend_.menuChanged)
            frontend_.menuChanged();
    };
    services_ = HostServices::Create(std::move(backend));
    services_->SetRecordCalls(false); // an update run makes tens of thousands of calls

    MakeParent(options_.logFile);
    logFile_.setFileName(options_.logFile);
    if (!logFile_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        Log("Cannot open the log file " + options_.logFile + ": " + logFile_.errorString());

    MakeParent(options_.iniFile);
    if (!QDir().mkpath(options_.downloadDir))
        Log("Cannot create the download folder " + options_.downloadDir);
    services_->SetVariable(u"APPINI", U(options_.iniFile));
    services_->SetVariable(u"APPPATH", U(options_.appPath));
    services_->SetVariable(u"APPNAME", u"LogHost");
    services_->SetVariable(u"DOWNLOAD", U(options_.downloadDir));

    MakeParent(options_.callbookFile);
    try {
        callbook_ = std::make_unique<Callbook>(options_.callbookFile.toStdString());
        services_->SetCallbook(callbook_.get());
    } catch (const std::exception& e) {
        callbookError_ =
            "Cannot open the callbook " + options_.callbookFile + ": " + QString::fromUtf8(e.what());
        Log(callbookError_);
    }
}

LogHost::~LogHost() {
    UnloadPlugins();
    services_->SetCallbook(nullptr);
    callbook_.reset();
}

void LogHost::Append(const QString& text, bool fromPlugin) {
    LogEntry entry{QDateTime::currentDateTime(), text, fromPlugin};
    if (logFile_.isOpen()) {
        QTextStream out(&logFile_);
        out << entry.Line() << '\n';
        out.flush();
        logFile_.flush();
    }
    if (frontend_.log)
        frontend_.log(entry);
}

void LogHost::Command(const QString& name, const QString& value) {
    if (name.compare("REFRESH", Qt::CaseInsensitive) == 0) {
        if (frontend_.refresh)
            frontend_.refresh();
        return;
    }
    Log("Unknown command " + name + " (" + value + ") ignored");
}

void LogHost::LoadPlugins() {
    const QDir folder(options_.pluginsDir);
    if (!folder.exists()) {
        Log("No plug-ins folder " + options_.pluginsDir);
        return;
    }
    const QFileInfoList files = folder.entryInfoList({"*.ext"}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const auto before = services_->MenuItems();
        try {
            plugins_.push_back(
                std::make_unique<PluginLibrary>(file.absoluteFilePath().toStdString(), services_.get()));
            std::vector<ComPtr<HostMenuItem>> created;
            for (auto& item : services_->MenuItems())
                if (std::none_of(before.begin(), before.end(),
                                 [&](const auto& old) { return old.get() == item.get(); }))
                    created.push_back(item);
            pluginItems_.push_back(std::move(created));
            Log("Plug-in " + file.fileName() + " loaded");
        } catch (const std::exception& e) {
            // PluginLoadError names the file; anything else the plug-in threw is reported the same way.
            skipped_.push_back({file.fileName(), QString::fromUtf8(e.what())});
            Log("Plug-in " + file.fileName() + " skipped: " + QString::fromUtf8(e.what()));
        }
    }
}

std::vector<ComPtr<HostMenuItem>> LogHost::ItemsOf(const PluginLibrary& plugin) const {
    std::vector<ComPtr<HostMenuItem>> live;
    for (std::size_t i = 0; i < plugins_.size(); ++i)
        if (plugins_[i].get() == &plugin)
            for (const auto& item : pluginItems_[i])
                if (!item->Deleted())
                    live.push_back(item);
    return live;
}

ComPtr<HostMenuItem> LogHost::FindMenuItem(const QString& caption) const {
    for (const auto& item : services_->MenuItems())
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
    if (plugins_.empty())
        return;
    // The latest loaded goes first, as it may rely on what was there before it.
    while (!plugins_.empty()) {
        plugins_.back()->Unload();
        plugins_.pop_back();
        pluginItems_.pop_back();
    }
    if (services_->ModalDepth() != 0)
        Log(QString("Warning: the plug-ins' BeginModal and EndModal did not balance (%1 left open)")
                .arg(services_->ModalDepth()));
}
