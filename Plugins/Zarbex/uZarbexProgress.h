// What the update run does to the window it runs in: progress messages, the entry marks of the status
// panel, the busy cursor, the lock of the source widgets, a breath for the user interface, and the
// user's request to stop. The dialog's presenter implements it for both toolkits' windows, a recorder in
// the tests.
#pragma once

#include "PluginAPI/SysUtils.h"

#include <cstdint>

class IUpdateProgress {
public:
    // The status text of the left panel.
    virtual void MsgInfo(const UnicodeString& text) = 0;
    // Appends text to the progress memo, indented by three blanks per level, optionally ending the line.
    virtual void MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) = 0;
    // The progress pane at a fraction from 0 to 1.
    virtual void ShowProgress(long double fraction) = 0;
    virtual void ClearMemo() = 0;
    // Empties the left panel and then shows one ">" more for each entry taken up.
    virtual void ClearEntryMarks() = 0;
    virtual void AddEntryMark() = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // The source and its options wait while a run is in progress, so no second run can start inside it.
    virtual void LockControls(bool locked) = 0;
    // Lets the window handle what queued up: the run works on the window's own thread.
    virtual void ProcessMessages() = 0;
    // True once the user asked to stop the run (Close pressed while it works): a download under way
    // ends at the next breath.
    virtual bool CancelRequested() = 0;

protected:
    ~IUpdateProgress() = default;
};
