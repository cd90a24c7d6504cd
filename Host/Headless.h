// The headless mode: the host without a window, for scripts, demonstrations and end-to-end tests.
// Everything the plug-ins show is printed on standard output: "log: TEXT" for each log entry,
// "message: CAPTION: TEXT" for each message (dismissed at once), "refresh" for each refresh.
#pragma once

#include "Host/LogHost.h"

#include <ostream>

// What the plug-ins showed, counted for the exit status.
struct HeadlessTally {
    int messages = 0;      // ShowMessage calls
    int failedRunLogs = 0; // plug-in log lines ending in "failed."
};

// What the host shows, printed; the host's own log lines go to err as "loghost: TEXT".
// window yields the application window's native id; tally, when given, counts what was shown.
LogHost::Frontend HeadlessFrontend(std::ostream& out, std::ostream& err, std::function<HWND()> window,
                                   HeadlessTally* tally = nullptr);

// Prints each plug-in with its identity and menu items, and each file that was skipped. Exit status.
int RunList(LogHost& host, std::ostream& out);

// Chooses the menu item with the options' caption and answers its dialog. Returns the exit status
// (LogHostStatus) from the command's result and from what tally counted while it ran.
int RunInvoke(LogHost& host, const HeadlessTally& tally, std::ostream& out, std::ostream& err);
