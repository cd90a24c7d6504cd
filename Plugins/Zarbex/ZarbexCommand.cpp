// The menu command: one update dialog for every click, destroyed however the click ends.
#include "Plugins/Zarbex/Zarbex.h"

#include "Plugins/Zarbex/uZarbex.h"

void TPlugin::OnMenuClick(TObject*) {
    TfrmZarbex::Create(FCore.get(), FKernel, FServer)->ShowModal();
}
