// The menu command: one update dialog for every click, with the real run, destroyed however the click
// ends.
#include "Plugins/Zarbex/Zarbex.h"

#include "Plugins/Zarbex/uZarbexRun.h"

#if defined(_WIN32)
#include "Plugins/Zarbex/win32/uZarbex.h"
#else
#include "Plugins/Zarbex/uZarbex.h"
#endif

void TPlugin::OnMenuClick(TObject*) {
    TfrmZarbex::Create(FCore.get(), FKernel, UpdateRunFactory(FKernel, FServer, PluginIdentity::Name))
        ->ShowModal();
}
