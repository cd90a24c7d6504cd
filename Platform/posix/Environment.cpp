#include "Platform/Environment.h"

#include <cstdlib>

std::string GetEnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}
