// Types shared by every interface of the host boundary.
#pragma once

#include "Platform/OleAuto.h"

// 32-bit boolean of the boundary: zero is false, anything else true; true is written as -1.
using BOOL32 = std::int32_t;
inline constexpr BOOL32 BOOL32_TRUE = -1;
inline constexpr BOOL32 BOOL32_FALSE = 0;

// A position of an interface that this plug-in neither calls nor implements; declared so that
// no later position can shift.
#define PLUGINAPI_RESERVED(name) virtual HRESULT STDMETHODCALLTYPE name() = 0
