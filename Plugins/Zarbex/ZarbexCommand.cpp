// The menu command: one update dialog for every click, destroyed however the click ends.
#include "Plugins/Zarbex/Zarbex.h"

#if defined(_WIN32)
#include "Plugins/Zarbex/win32/uZarbex.h"
#else
#include "Plugins/Zarbex/uZarbex.h"
#endif

void TPlugin::OnMenuClick(TObject*) {
    TfrmZarbex::Create(FCore.get(), FKernel, FServer)->ShowModal();
}
