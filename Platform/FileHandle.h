// The descriptor owner's former name, kept only for Includes/posix/TextFile.cpp until it names
// TOwnedHandle itself; new code includes Platform/posix/OwnedHandle.h.
#pragma once

#include "Platform/posix/OwnedHandle.h"

using TFileHandle = TOwnedHandle;
