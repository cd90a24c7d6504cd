// The menu command: one update dialog for every click, destroyed however the click ends.
#include "Plugins/Zarbex/Zarbex.h"

#include "PluginAPI/BStr.h"
#include "Plugins/Zarbex/uZarbex.h"

#include <QCheckBox>

void TPlugin::OnMenuClick(TObject*) {
    auto dialog = std::make_unique<TfrmZarbex>(FCore.get());
    dialog->setWindowTitle(QString::fromStdU16String(PluginIdentity::Name));
    dialog->FKernel = FKernel;
    dialog->FServer = FServer;
    if (!dialog->FKernel)
        throw EInvalidOperation(u"The host offers no kernel services (IHostKernel)");
    BStr value;
    HostCall(dialog->FKernel->GetValue(BStr(u"APPINI").get(), value.put()));
    dialog->FIniPath = value.str();
    dialog->FSection = u"Bureau-UR";
    dialog->FInternetSource = DefaultInternetSource;
    HostCall(dialog->FKernel->GetValue(BStr(u"DOWNLOAD").get(), value.put()));
    dialog->FLocalSource = value.str() + u"/" + DefaultArchiveName;
    dialog->dlgSource.Filter = "RAR archive files|*.rar";
    dialog->dlgSource.FilterIndex = 1;
    dialog->FLocation = SourceLocation::Internet;
    dialog->cbMarkDates->hide();
    dialog->ShowModal();
}
