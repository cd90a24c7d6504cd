// What the settings keep of the last good update: the archive's fingerprint and the day of the run. The
// dialog reads and writes it; the run is told it and says what this run's is.
#pragma once

#include "Includes/FileFingerprint.h"
#include "PluginAPI/SysUtils.h"

#include <optional>

struct TLastUpdate {
    TFileFingerprint Archive;
    UnicodeString Date; // "2026-12-11"

    // The settings' two values; nothing when either is missing or not as written here.
    static std::optional<TLastUpdate> FromSettings(const UnicodeString& archive, const UnicodeString& date);
    UnicodeString ArchiveText() const;
};
