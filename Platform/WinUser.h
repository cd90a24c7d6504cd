// Icon handles. On Linux a process-wide table in the shared runtime, so that an icon made by the host can
// be attached and later destroyed by the plug-in; on Windows the system's own, made from pixels here.
#pragma once

#include "Platform/OleAuto.h"

#if !defined(_WIN32)

#include <cstddef>

inline constexpr uint32_t ICON_SMALL = 0;
inline constexpr uint32_t ICON_BIG = 1;

// A square ARGB32 picture, rows top to bottom, 0xAARRGGBB per pixel.
OLEAUT32_API HICON WINAPI CreateIconFromPixels(int32_t width, int32_t height, const uint32_t* argb);
// Copies the icon's size and, when pixels is not null, its pixels; false for an unknown handle.
OLEAUT32_API BOOL WINAPI GetIconPixels(HICON icon, int32_t* width, int32_t* height, uint32_t* argb,
                                       size_t capacity);
OLEAUT32_API BOOL WINAPI DestroyIcon(HICON icon);
// How many icons are alive now: lets a host see what a plug-in leaks or destroys too early.
OLEAUT32_API uint32_t WINAPI LiveIconCount();

#else

#include <cstdint>

// An icon of a square ARGB32 picture (rows top to bottom, 0xAARRGGBB per pixel), made with the system's
// CreateIconIndirect; null when the system cannot make it. Its owner destroys it with DestroyIcon.
HICON CreateIconFromPixels(std::int32_t width, std::int32_t height, const std::uint32_t* argb);

#endif
