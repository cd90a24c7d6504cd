// The update run's window as a recorder: every call the run makes on it, in order, as a line of UTF-8
// text; the breaths it takes are only counted, since when to take them is the run's own choice.
#pragma once

#include "Plugins/Zarbex/uZarbexProgress.h"

#include <sstream>
#include <string>
#include <vector>

struct RecordingProgress final : IUpdateProgress {
    std::vector<std::string> calls;
    int breaths = 0;

    void MsgInfo(const UnicodeString& text) override { calls.push_back("info " + StringToUtf8(text)); }
    void MsgProgress(std::int32_t level, const UnicodeString& text, bool lineEnd) override {
        calls.push_back("memo " + std::to_string(level) + " " + StringToUtf8(text) + (lineEnd ? " /" : ""));
    }
    void ShowProgress(long double fraction) override {
        std::ostringstream text;
        text << "progress " << static_cast<double>(fraction);
        calls.push_back(text.str());
    }
    void ClearMemo() override { calls.push_back("clear memo"); }
    void ClearEntryMarks() override { calls.push_back("clear marks"); }
    void AddEntryMark() override { calls.push_back(">"); }
    void SetBusyCursor(bool busy) override { calls.push_back(busy ? "busy" : "not busy"); }
    void LockControls(bool locked) override { calls.push_back(locked ? "lock" : "unlock"); }
    void ProcessMessages() override { ++breaths; }
    bool CancelRequested() override { return false; }
};
