#include "Platform/Application.h"

#include <atomic>

namespace {
std::atomic<HWND> applicationHandle{0};
}

void SetApplicationHandle(HWND handle) {
    applicationHandle = handle;
}
HWND ApplicationHandle() {
    return applicationHandle;
}
