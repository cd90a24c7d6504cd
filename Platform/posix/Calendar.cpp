#include "Platform/Calendar.h"

#include <cstdio>
#include <ctime>

std::int64_t UnixTimeNow() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::string LocalIsoDate(std::int64_t unixTime) {
    const std::time_t moment = static_cast<std::time_t>(unixTime);
    std::tm local{};
    if (::localtime_r(&moment, &local) == nullptr)
        return {};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return text;
}
