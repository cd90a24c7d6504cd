// A host that writes down every call a plug-in makes on it, in order, with the interface it was made
// on: "ICore.GetVersion", "ICore.QueryInterface(IHostKernel)", "IMenuItem.SetCaption(PluginMenuItem)",
// "IHostServer.Release". Each interface is an object of its own, so that a Release names the reference
// it gives back. The host's own bookkeeping is not recorded. It offers ICore, IHostKernel,
// IHostServer, IApplicationWindows, IMenuManager and the items it creates, nothing else; DeleteItem
// leaves the plug-in's variable set, so the plug-in's own Release of the item is seen.
#pragma once

#include "PluginAPI/PluginAPI.h"

#include <memory>
#include <string>
#include <vector>

class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    ICore* Core();
    // The calls so far, and the same without AddRef and Release.
    const std::vector<std::string>& Calls() const { return calls_; }
    std::vector<std::string> CallsWithoutReferenceCounting() const;
    void Clear() { calls_.clear(); }
    // References the plug-in holds, on all the host's objects together.
    long OutstandingReferences() const;

    void Record(std::string call) { calls_.push_back(std::move(call)); }
    HRESULT Query(const char* from, REFIID iid, void** out);

    struct Objects;

private:
    std::vector<std::string> calls_;
    std::unique_ptr<Objects> objects_;
};
