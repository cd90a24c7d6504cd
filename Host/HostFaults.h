// What a host can be told to do wrong, so that tests can see how a plug-in copes: withhold an
// interface, answer S_FALSE to QueryInterface, fail a method with a chosen HRESULT and error record.
#pragma once

#include "Platform/WinTypes.h"

#include <map>
#include <string>
#include <vector>

struct HostFailure {
    HRESULT code = E_FAIL;
    std::u16string description; // published as the error record's description when not empty
    int afterCalls = 0;         // the first calls succeed: fail from call number afterCalls + 1 on
};

struct HostFaults {
    std::vector<GUID> withheld;                 // QueryInterface answers E_NOINTERFACE
    std::vector<GUID> answeredSFalse;           // QueryInterface answers S_FALSE and no interface
    std::map<std::string, HostFailure> failing; // by method name, e.g. "IMenuItem.SetCaption"
    bool clearItemOnDelete = true;              // DeleteItem clears the caller's variable
};
