// The callbook's side of the update run: whether the run's query holds a word, and the bureau flag set
// for it. The query's rows do not change while the run works, so within one run each distinct word is
// looked up once and each callsign found is updated once; what the run counts stays per occurrence.
#pragma once

#include "PluginAPI/BStr.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

class TCallbookLookup {
public:
    // Words the query does not hold are remembered up to this many; past it they are asked again, so
    // that a text full of different words cannot make the run's memory grow without end. The callsigns
    // the query holds are always remembered: there are no more of them than the callbook's rows.
    static constexpr std::size_t AbsentWordsKept = 200'000;

    TCallbookLookup(ComPtr<IHostServer> server, std::int32_t query);

    // True when the query holds word; the first time, its bureau flag is set in the host's callbook.
    bool Mark(const UnicodeString& word);

private:
    ComPtr<IHostServer> FServer;
    std::int32_t FQuery;
    BStr FField;
    std::unordered_map<UnicodeString, bool> FKnown;
    std::size_t FAbsent = 0;
};
