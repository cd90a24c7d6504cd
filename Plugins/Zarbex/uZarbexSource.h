// Source acquisition: turns the source the user chose into the path of the archive on disk, the local
// path itself or one GET of the address streamed into a new temporary file in the host's DOWNLOAD
// folder. The update run calls it once per run and deletes a downloaded file when it ends.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "Plugins/Zarbex/IUpdateRun.h"
#include "Plugins/Zarbex/uZarbexProgress.h"
#include "Plugins/Zarbex/uZarbexRunOptions.h"

#include <cstdint>
#include <optional>

class TSourceAcquisition {
public:
    // The download reports to progress and keeps to the options' limits; the kernel names the DOWNLOAD
    // folder.
    TSourceAcquisition(ComPtr<IHostKernel> kernel, IUpdateProgress& progress, const TRunOptions& options);

    // True and path set to the file to read when there is one. A failed download tells the memo why; a
    // location of None gives false at once.
    bool LoadSource(const TUpdateSource& source, UnicodeString& path);
    // The server's Last-Modified of the archive downloaded, in seconds since 1970 UTC; nothing for a
    // local source or a server that sent none.
    std::optional<std::int64_t> ServerModified() const { return FServerModified; }

private:
    bool LoadFromInternet(const UnicodeString& source, UnicodeString& path);
    static bool LoadFromLocal(const UnicodeString& source, UnicodeString& path);

    ComPtr<IHostKernel> FKernel;
    IUpdateProgress& FProgress;
    TRunOptions FOptions;
    std::optional<std::int64_t> FServerModified;
};
