#include "Plugins/Zarbex/Zarbex.h"

void TPlugin::OnMenuClick(TObject*) {
    // The command needs the host's general services before it can open its dialog.
    if (!FKernel)
        throw EUnsupportedCore(u"Host does not support required functionality.\r\nUpgrade your application to "
                               u"latest version.");
}
