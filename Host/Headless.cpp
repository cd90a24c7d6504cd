#include "Host/Headless.h"

#include "Host/Callbook.h"
#include "Host/HeadlessDialogDriver.h"
#include "Host/HeadlessOutput.h"
#include "Host/PluginLibrary.h"

#include <QFileInfo>

namespace {

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

QString GuidText(const GUID& id) {
    return QString::asprintf("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.Data1, id.Data2,
                             id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4],
                             id.Data4[5], id.Data4[6], id.Data4[7]);
}

void Field(std::ostream& out, const char* indent, const char* name, const QString& value) {
    PrintBlock(out, QString("%1%2: ").arg(indent, name), value);
}

} // namespace

LogHost::Frontend HeadlessFrontend(std::ostream& out, std::ostream& err, std::function<HWND()> window,
                                   HeadlessTally* tally) {
    LogHost::Frontend frontend;
    frontend.log = [&out, &err, tally](const LogEntry& entry) {
        if (entry.fromPlugin) {
            PrintBlock(out, "log: ", entry.text);
            if (tally != nullptr && entry.text.endsWith("failed."))
                ++tally->failedRunLogs;
        } else {
            PrintBlock(err, "loghost: ", entry.text);
        }
    };
    frontend.showMessage = [&out, tally](const QString& text, const QString& caption) {
        PrintBlock(out, "message: " + caption + ": ", text);
        if (tally != nullptr)
            ++tally->messages;
    };
    frontend.refresh = [&out] { out << "refresh" << std::endl; };
    frontend.mainWindow = std::move(window);
    return frontend;
}

int RunList(LogHost& host, std::ostream& out) {
    for (const auto& plugin : host.Plugins()) {
        const PluginInfo info = plugin->Info();
        PrintBlock(out, "plugin: ", QFileInfo(QString::fromStdString(plugin->Path())).fileName());
        Field(out, "  ", "id", GuidText(info.id));
        Field(out, "  ", "name", Q(info.name));
        Field(out, "  ", "version", Q(info.version));
        Field(out, "  ", "category", QString::number(info.category));
        Field(out, "  ", "copyright", Q(info.copyright));
        Field(out, "  ", "home page", Q(info.homePage));
        Field(out, "  ", "e-mail", Q(info.email));
        for (const auto& item : host.ItemsOf(*plugin)) {
            Field(out, "  ", "menu item", Q(item->Caption()));
            Field(out, "    ", "hint", Q(item->Hint()));
            Field(out, "    ", "category", QString::number(item->Category()));
            Field(out, "    ", "enabled", item->Enabled() ? "yes" : "no");
        }
    }
    for (const SkippedPlugin& skipped : host.Skipped())
        PrintBlock(out, "skipped: " + skipped.file + ": ", skipped.reason);
    out.flush();
    return 0;
}

int RunInvoke(LogHost& host, const HeadlessTally& tally, std::ostream& out, std::ostream& err) {
    const LogHostOptions& options = host.Options();
    ComPtr<HostMenuItem> item = host.FindMenuItem(options.invoke);
    if (!item) {
        err << "loghost: no menu item \"" << Printable(options.invoke) << "\"";
        const auto items = host.MenuItems();
        if (!items.empty()) {
            err << "; the menu holds:";
            for (const auto& other : items)
                err << " \"" << Printable(Q(other->Caption())) << "\"";
        }
        err << std::endl;
        return StatusCannotRun;
    }
    if (!item->Enabled()) {
        err << "loghost: the menu item \"" << Printable(options.invoke) << "\" is disabled" << std::endl;
        return StatusCannotRun;
    }

    const HeadlessTally before = tally;
    HeadlessDialogDriver driver({options.location, options.source}, out);
    driver.Start();
    const ClickResult result = host.Click(*item.get());
    driver.Stop();

    if (!result.Succeeded()) {
        PrintBlock(out, "error: ", result.description);
        return StatusCommandFailed;
    }
    const Callbook* callbook = host.OpenCallbook();
    if (callbook == nullptr) {
        // Nothing the command did can have reached a callbook: the job failed.
        out << "error: no callbook is open: " << Printable(host.CallbookError()) << std::endl;
        return StatusCommandFailed;
    }
    out << "bureau flags: " << callbook->BureauCount() << " of " << callbook->Count() << " callsigns"
        << std::endl;
    if (driver.GetDataDisabled())
        return StatusCannotRun;
    if (tally.messages > before.messages)
        return StatusMessageShown;
    if (tally.failedRunLogs > before.failedRunLogs)
        return StatusRunFailed;
    return StatusSuccess;
}
