// What the WinHTTP download client tells beyond THTTPSend's interface.
#pragma once

#include <cstddef>

// How many requests of this process WinHTTP may still call back for (their HANDLE_CLOSING has not come
// yet). Zero once every THTTPSend is gone, unless WinHTTP failed to let go of a request in time.
std::size_t PendingWinHttpCallbacks();
