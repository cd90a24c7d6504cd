#include "Plugins/Zarbex/uZarbexRunOptions.h"

#include "Includes/PdfToText.h"
#include "Platform/Environment.h"
#include "Platform/HttpClient.h"
#include "Platform/SystemInfo.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

std::size_t ConvertersFromEnvironment() {
    const std::string value = GetEnvironmentText(TRunOptions::ConvertersVariable);
    if (const long count = std::strtol(value.c_str(), nullptr, 10); count > 0)
        return static_cast<std::size_t>(std::min(count, 64L));
    return std::clamp<std::size_t>(ProcessorCount(), 1, 8);
}

} // namespace

TRunOptions TRunOptions::FromEnvironment() {
    return {DownloadConnectTimeout, DownloadStallTimeout, DownloadTimeLimit,
            PdfToTextTimeLimit,     PdfToTextOutputLimit, ConvertersFromEnvironment()};
}
