#include "tests/plugin/RecordingHost.h"

#include "Platform/CodePage.h"
#include "PluginAPI/BStr.h"

namespace {

std::string Text(BSTR s) {
    return UnicodeToAnsi(BStr::ToString(s));
}

std::string InterfaceName(REFIID iid) {
    const struct {
        GUID iid;
        const char* name;
    } known[] = {
        {IUnknown::iid, "IUnknown"},
        {ICore::iid, "ICore"},
        {IHostKernel::iid, "IHostKernel"},
        {IHostServer::iid, "IHostServer"},
        {IApplicationWindows::iid, "IApplicationWindows"},
        {IApplicationIcons::iid, "IApplicationIcons"},
        {IMenuManager::iid, "IMenuManager"},
        {IMenuItem::iid, "IMenuItem"},
    };
    for (const auto& k : known)
        if (k.iid == iid)
            return k.name;
    return "another interface";
}

// IUnknown of one host object: QueryInterface goes to the host, AddRef and Release are recorded and
// counted. The host owns the object; the count only tells what the plug-in still holds.
template <class I> class RecordingObject : public I {
public:
    RecordingObject(RecordingHost& host, const char* name) : host_(host), name_(name) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return host_.Query(name_, iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        Call("AddRef");
        return static_cast<ULONG>(++references);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Call("Release");
        return static_cast<ULONG>(--references);
    }

    long references = 0;

protected:
    HRESULT Call(const std::string& method) {
        host_.Record(std::string(name_) + "." + method);
        return S_OK;
    }

private:
    RecordingHost& host_;
    const char* name_;
};

#define NOT_USED(name)                                                                                       \
    HRESULT STDMETHODCALLTYPE name() override {                                                              \
        return Call(#name);                                                                                  \
    }

class CoreObject final : public RecordingObject<ICore> {
public:
    using RecordingObject::RecordingObject;
    HRESULT STDMETHODCALLTYPE GetVersion(int32_t* version) override {
        *version = 104019;
        return Call("GetVersion");
    }
};

class KernelObject final : public RecordingObject<IHostKernel> {
public:
    using RecordingObject::RecordingObject;
    HRESULT STDMETHODCALLTYPE WriteLog(BSTR text) override { return Call("WriteLog(" + Text(text) + ")"); }
    HRESULT STDMETHODCALLTYPE ShowMessage(BSTR text, BSTR) override {
        return Call("ShowMessage(" + Text(text) + ")");
    }
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, BSTR) override {
        return Call("SetValue(" + Text(name) + ")");
    }
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, BSTR* value) override {
        *value = nullptr;
        return Call("GetValue(" + Text(name) + ")");
    }
    NOT_USED(Reserved5)
    NOT_USED(Reserved6)
    NOT_USED(Reserved7)
    NOT_USED(Reserved8)
};

class ServerObject final : public RecordingObject<IHostServer> {
public:
    using RecordingObject::RecordingObject;
    HRESULT STDMETHODCALLTYPE CreateQuery(int32_t* query) override {
        *query = 1;
        return Call("CreateQuery");
    }
    HRESULT STDMETHODCALLTYPE OpenQuery(int32_t, BSTR) override { return Call("OpenQuery"); }
    HRESULT STDMETHODCALLTYPE Locate(int32_t, BSTR, BSTR, int32_t* found) override {
        *found = 0;
        return Call("Locate");
    }
    HRESULT STDMETHODCALLTYPE FreeQuery(int32_t) override { return Call("FreeQuery"); }
    HRESULT STDMETHODCALLTYPE ExecSQL(BSTR, int32_t* result) override {
        *result = 0;
        return Call("ExecSQL");
    }
    NOT_USED(Reserved3)
    NOT_USED(Reserved4)
    NOT_USED(Reserved5)
    NOT_USED(Reserved8)
    NOT_USED(Reserved9)
    NOT_USED(Reserved10)
    NOT_USED(Reserved11)
    NOT_USED(Reserved12)
    NOT_USED(Reserved13)
    NOT_USED(Reserved14)
    NOT_USED(Reserved16)
    NOT_USED(Reserved17)
    NOT_USED(Reserved18)
    NOT_USED(Reserved19)
    NOT_USED(Reserved20)
    NOT_USED(Reserved21)
    NOT_USED(Reserved22)
};

class WindowsObject final : public RecordingObject<IApplicationWindows> {
public:
    using RecordingObject::RecordingObject;
    HRESULT STDMETHODCALLTYPE GetHandle(HWND* handle) override {
        *handle = 0;
        return Call("GetHandle");
    }
    HRESULT STDMETHODCALLTYPE BeginModal() override { return Call("BeginModal"); }
    HRESULT STDMETHODCALLTYPE EndModal() override { return Call("EndModal"); }
    NOT_USED(Reserved4)
    NOT_USED(Reserved5)
    NOT_USED(Reserved6)
    NOT_USED(Reserved7)
    NOT_USED(Reserved10)
    NOT_USED(Reserved11)
};

class ItemObject final : public RecordingObject<IMenuItem> {
public:
    using RecordingObject::RecordingObject;
    HRESULT STDMETHODCALLTYPE GetEnabled(BOOL32* enabled) override {
        *enabled = BOOL32_TRUE;
        return Call("GetEnabled");
    }
    HRESULT STDMETHODCALLTYPE SetCaption(BSTR caption) override {
        return Call("SetCaption(" + Text(caption) + ")");
    }
    HRESULT STDMETHODCALLTYPE SetState(int32_t value) override {
        return Call("SetState(" + std::to_string(value) + ")");
    }
    HRESULT STDMETHODCALLTYPE SetEnabled(BOOL32 value) override {
        return Call("SetEnabled(" + std::to_string(value) + ")");
    }
    HRESULT STDMETHODCALLTYPE SetHint(BSTR hint) override { return Call("SetHint(" + Text(hint) + ")"); }
    HRESULT STDMETHODCALLTYPE SetCategory(int32_t category) override {
        return Call("SetCategory(" + std::to_string(category) + ")");
    }
    HRESULT STDMETHODCALLTYPE SetOnClick(INotifyEvent*) override { return Call("SetOnClick"); }
    NOT_USED(Reserved3)
    NOT_USED(Reserved4)
    NOT_USED(Reserved6)
    NOT_USED(Reserved7)
};

class ManagerObject final : public RecordingObject<IMenuManager> {
public:
    ManagerObject(RecordingHost& host, const char* name) : RecordingObject(host, name), host_(host) {}
    HRESULT STDMETHODCALLTYPE CreateItem(IMenuItem** item) override {
        items.push_back(std::make_unique<ItemObject>(host_, "IMenuItem"));
        items.back()->references = 1;
        *item = items.back().get();
        return Call("CreateItem");
    }
    // The item leaves the menus; the variable stays set, for the plug-in to release.
    HRESULT STDMETHODCALLTYPE DeleteItem(IMenuItem**) override { return Call("DeleteItem"); }

    std::vector<std::unique_ptr<ItemObject>> items;

private:
    RecordingHost& host_;
};

#undef NOT_USED

} // namespace

struct RecordingHost::Objects {
    explicit Objects(RecordingHost& host)
        : core(host, "ICore"), kernel(host, "IHostKernel"), server(host, "IHostServer"),
          windows(host, "IApplicationWindows"), manager(host, "IMenuManager") {}
    CoreObject core;
    KernelObject kernel;
    ServerObject server;
    WindowsObject windows;
    ManagerObject manager;
};

RecordingHost::RecordingHost() : objects_(std::make_unique<Objects>(*this)) {}
RecordingHost::~RecordingHost() = default;

ICore* RecordingHost::Core() {
    return &objects_->core;
}

std::vector<std::string> RecordingHost::CallsWithoutReferenceCounting() const {
    std::vector<std::string> calls;
    for (const std::string& call : calls_)
        if (!call.ends_with(".AddRef") && !call.ends_with(".Release"))
            calls.push_back(call);
    return calls;
}

long RecordingHost::OutstandingReferences() const {
    long references = objects_->core.references + objects_->kernel.references + objects_->server.references +
                      objects_->windows.references + objects_->manager.references;
    for (const auto& item : objects_->manager.items)
        references += item->references;
    return references;
}

HRESULT RecordingHost::Query(const char* from, REFIID iid, void** out) {
    Record(std::string(from) + ".QueryInterface(" + InterfaceName(iid) + ")");
    *out = nullptr;
    Objects& o = *objects_;
    long* references = nullptr;
    if (iid == IUnknown::iid || iid == ICore::iid) {
        *out = static_cast<ICore*>(&o.core);
        references = &o.core.references;
    } else if (iid == IHostKernel::iid) {
        *out = static_cast<IHostKernel*>(&o.kernel);
        references = &o.kernel.references;
    } else if (iid == IHostServer::iid) {
        *out = static_cast<IHostServer*>(&o.server);
        references = &o.server.references;
    } else if (iid == IApplicationWindows::iid) {
        *out = static_cast<IApplicationWindows*>(&o.windows);
        references = &o.windows.references;
    } else if (iid == IMenuManager::iid) {
        *out = static_cast<IMenuManager*>(&o.manager);
        references = &o.manager.references;
    } else {
        return E_NOINTERFACE;
    }
    ++*references;
    return S_OK;
}
