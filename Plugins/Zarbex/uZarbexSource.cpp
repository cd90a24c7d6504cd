// Source acquisition: the archive from a local path, or one GET of the address streamed into a new
// temporary file in the host's DOWNLOAD folder.
#include "Plugins/Zarbex/uZarbexSource.h"

#include "Includes/TempFileName.h"
#include "Platform/FileSystem.h"
#include "Platform/HttpClient.h"
#include "Platform/QuantityText.h"
#include "Platform/TempFile.h"
#include "Platform/Unicode.h"
#include "Plugins/Zarbex/HostValue.h"

#include <chrono>
#include <utility>

TSourceAcquisition::TSourceAcquisition(ComPtr<IHostKernel> kernel, IUpdateProgress& progress,
                                       const TRunOptions& options)
    : FKernel(std::move(kernel)), FProgress(progress), FOptions(options) {}

bool TSourceAcquisition::LoadSource(const TUpdateSource& source, UnicodeString& path) {
    switch (source.Location) {
    case SourceLocation::Internet:
        return LoadFromInternet(source.Text, path);
    case SourceLocation::Local:
        return LoadFromLocal(source.Text, path);
    case SourceLocation::None:
        break;
    }
    return false;
}

bool TSourceAcquisition::LoadFromLocal(const UnicodeString& source, UnicodeString& path) {
    path = source;
    return FileExists(path);
}

bool TSourceAcquisition::LoadFromInternet(const UnicodeString& source, UnicodeString& path) {
    THTTPSend client;
    client.SetConnectTimeout(FOptions.ConnectTimeout);
    client.SetStallTimeout(FOptions.StallTimeout);
    client.SetTimeLimit(FOptions.DownloadTime);
    // The status is cleared however the download ends.
    struct StatusReset {
        IUpdateProgress& progress;
        ~StatusReset() {
            progress.MsgInfo(u"");
            progress.ProcessMessages();
        }
    } statusReset{FProgress};
    FProgress.MsgInfo(u"Trying to load file...");
    FProgress.ProcessMessages();
    // While the bytes come in, the window shows how many, breathes, and may stop the download.
    client.SetProgress([this](std::uint64_t received) {
        if (received > 0)
            FProgress.MsgInfo(u"Trying to load file... " + Utf8ToString(ApproximateSizeText(received)));
        FProgress.ProcessMessages();
        return !FProgress.CancelRequested();
    });
    // The body goes into its file as it arrives; a download that does not end in the whole archive
    // removes the file, so path is set only for an archive that is there.
    const UnicodeString folder = HostValue(FKernel, u"DOWNLOAD");
    const UnicodeString file = MakeTempFileName(folder, u"~ar");
    if (client.Download(StringToUtf8(source), StringToUtf8(file)) != TDownloadResult::Done) {
        // The reason names the temporary file only when writing it failed: the folder is what the user
        // knows.
        const UnicodeString reason = StringReplaceAll(Utf8ToString(client.ErrorText()), u"\"" + file + u"\"",
                                                      u"in \"" + folder + u"\"");
        FProgress.MsgProgress(0, u"* Download failed: " + reason, true);
        return false;
    }
    FServerModified = client.LastModified();
    path = file;
    return FileExists(path);
}
