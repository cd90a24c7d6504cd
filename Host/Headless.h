// The headless mode: the host without a window, for scripts, demonstrations and end-to-end tests.
// Everything the plug-ins show is printed on standard output: "log: TEXT" for each log entry,
// "message: CAPTION: TEXT" for each message (dismissed at once), "refresh" for each refresh.
#pragma once

#include "Host/LogHost.h"

#include <ostream>

// What the host shows, printed; the host's own log lines go to err as "loghost: TEXT".
// window yields the application window's native id.
LogHost::Frontend HeadlessFrontend(std::ostream& out, std::ostream& err, std::function<HWND()> window);

// Prints each plug-in with its identity and menu items, and each file that was skipped. Exit status.
int RunList(LogHost& host, std::ostream& out);

// Chooses the menu item with the options' caption and answers its dialog. Exit status: 0 when the
// command succeeded, 1 when it failed, 2 when there is no such item.
int RunInvoke(LogHost& host, std::ostream& out, std::ostream& err);
