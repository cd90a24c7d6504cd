// What the dialog knows of "Get data": a run it is handed, started on the source the user chose. The
// plug-in's command hands it the real run (uZarbexRun.h); the dialog's tests hand runs of their own.
#pragma once

#include "PluginAPI/SysUtils.h"
#include "Plugins/Zarbex/uZarbexLastUpdate.h"
#include "Plugins/Zarbex/uZarbexProgress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

enum class SourceLocation : std::uint8_t { None = 0, Internet = 1, Local = 2 };

// Where the bureau lists come from: the location and the address or path exactly as the source field
// holds it, untrimmed.
struct TUpdateSource {
    SourceLocation Location = SourceLocation::None;
    UnicodeString Text;
};

class IUpdateRun {
public:
    virtual ~IUpdateRun() = default;
    // The outside libraries the run needs; when one is missing the user is told which and where to put
    // it, and false is returned with nothing else changed.
    virtual bool CheckComponents(const TUpdateSource& source) = 0;
    // The run itself: true when it updated something. Its errors pass to the caller.
    virtual bool Execute(const TUpdateSource& source) = 0;
    // What the settings keep of the last good update, told before Execute, so that the memo can say when
    // the same archive comes again; a run without a report takes no notice.
    virtual void SetLastUpdate(const std::optional<TLastUpdate>& /*last*/) {}
    // What the settings are to keep of a run that returned true; nothing when it cannot tell.
    virtual std::optional<TLastUpdate> ThisUpdate() const { return std::nullopt; }
};

// Makes the run for one press of "Get data", reporting to progress.
using TUpdateRunFactory = std::function<std::unique_ptr<IUpdateRun>(IUpdateProgress& progress)>;
