// Source acquisition: the archive from a local path, or one GET of the address saved in a new
// temporary file in the host's DOWNLOAD folder.
#include "Plugins/Zarbex/uZarbexRun.h"

#include "Includes/TempFileName.h"
#include "Platform/CodePage.h"
#include "Platform/HttpClient.h"
#include "Platform/TempFile.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/stat.h>

bool FileExists(const UnicodeString& path) {
    struct stat info;
    return !path.empty() && ::stat(StringToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool TUpdateRun::LoadSource(SourceLocation location, const UnicodeString& source, UnicodeString& path) {
    switch (location) {
    case SourceLocation::Internet:
        return LoadFromInternet(source, path);
    case SourceLocation::Local:
        return LoadFromLocal(source, path);
    case SourceLocation::None:
        break;
    }
    return false;
}

bool TUpdateRun::LoadFromLocal(const UnicodeString& source, UnicodeString& path) {
    path = source;
    return FileExists(path);
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wbx"));
    bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    written = file != nullptr && std::fclose(file.release()) == 0 && written;
    if (!written)
        throw EFCreateError(Format(u"Cannot create file \"%s\"", AnsiToUnicode(path)));
}

} // namespace

bool TUpdateRun::LoadFromInternet(const UnicodeString& source, UnicodeString& path) {
    auto client = std::make_unique<THTTPSend>();
    client->SetConnectTimeout(std::chrono::seconds(ConnectTimeoutSeconds));
    client->SetStallTimeout(std::chrono::seconds(StallTimeoutSeconds));
    // The status is cleared however the download ends.
    struct StatusReset {
        IUpdateProgress& progress;
        ~StatusReset() {
            progress.MsgInfo(u"");
            progress.ProcessMessages();
        }
    } statusReset{progress_};
    progress_.MsgInfo(u"Trying to load file...");
    progress_.ProcessMessages();
    if (!client->HTTPMethod("GET", UnicodeToAnsi(source)))
        return false;
    const std::string buffer = client->Document();
    client.reset();
    const UnicodeString folder = HostValue(u"DOWNLOAD");
    path = MakeTempFileName(folder, u"~ar");
    const std::string nativePath = UnicodeToAnsi(path);
    std::remove(nativePath.c_str());
    WriteWholeFile(nativePath, buffer);
    return FileExists(path);
}
