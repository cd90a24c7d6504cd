// The callbook's Ukrainian entries that are marked already, in a second query opened before the run's
// first update. The host offers only Locate on a query's rows, so the report learns the set by asking
// it for each callsign the run marked. A host that refuses the query, or a question on it, costs only
// the report's line, which then says the callbook could not tell.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "Plugins/Zarbex/uZarbexReport.h"

#include <cstdint>
#include <optional>

class TMarkedQuery {
public:
    explicit TMarkedQuery(ComPtr<IHostServer> server);
    TMarkedQuery(const TMarkedQuery&) = delete;
    TMarkedQuery& operator=(const TMarkedQuery&) = delete;
    // Frees the query; a host that refuses that too is not asked again.
    ~TMarkedQuery();

    // Tells report which of its updated callsigns were marked before the run, or that the callbook
    // cannot tell.
    void TellReport(TRunReport& report);

private:
    void Free() noexcept;

    ComPtr<IHostServer> FServer;
    std::optional<std::int32_t> FQuery; // nothing when the host refused it
};
