#include "Plugins/Zarbex/uZarbexLastUpdate.h"

std::optional<TLastUpdate> TLastUpdate::FromSettings(const UnicodeString& archive,
                                                     const UnicodeString& date) {
    const std::optional<TFileFingerprint> fingerprint = TFileFingerprint::Parse(StringToUtf8(archive));
    if (!fingerprint || date.empty())
        return std::nullopt;
    return TLastUpdate{*fingerprint, date};
}

UnicodeString TLastUpdate::ArchiveText() const {
    return Utf8ToString(Archive.Text());
}
