// The host's side of the plug-in boundary: every host interface a plug-in may ask for. The reference
// application and the tests share it; the application supplies what the services show and store
// through HostServices::Backend.
#pragma once

#include "Host/HostFaults.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Callbook;
class HostMenuItem;

class HostServices final : public ICore,
                           public IHostKernel,
                           public IHostServer,
                           public IApplicationWindows,
                           public IApplicationIcons,
                           public IMenuManager {
public:
    // What the application behind the services does; every member has a sensible default.
    struct Backend {
        std::function<void(const std::u16string& text)> writeLog;
        std::function<void(const std::u16string& text, const std::u16string& caption)> showMessage;
        std::function<void(const std::u16string& name, const std::u16string& value)> command; // SetValue
        std::function<HWND()> mainWindow;
        std::function<void()> menuChanged;
    };

    static ComPtr<HostServices> Create(Backend backend = {});

    // Host variables answered by GetValue ("APPINI", "APPPATH", "APPNAME", "DOWNLOAD", ...).
    void SetVariable(const std::u16string& name, const std::u16string& value);
    void SetCallbook(Callbook* callbook) { FCallbook = callbook; }
    void SetCoreVersion(int32_t version) { FVersion = version; }
    HostFaults& Faults() { return FFaults; }
    // Whether Calls() keeps every call by name; a long-running host turns it off (counts stay).
    void SetRecordCalls(bool record) { FRecordCalls = record; }

    // Observations for tests and the application.
    ULONG RefCount() const { return FRefs.load(); }
    const std::vector<std::string>& Calls() const { return FCalls; }
    int CallCount(const std::string& method) const;
    int ModalDepth() const { return FModalDepth; }
    int ModalBegins() const { return FModalBegins; }
    const std::vector<std::u16string>& LogLines() const { return FLog; }
    std::vector<ComPtr<HostMenuItem>> MenuItems() const; // the items not deleted, in creation order
    int OpenQueries() const { return static_cast<int>(FQueries.size()); }
    // Every icon GetSmallIcon and GetLargeIcon handed out, in order; the plug-in owns them.
    const std::vector<HICON>& IconsGiven() const { return FIconsGiven; }

    // ICore / IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetVersion(int32_t* version) override;
    // IHostKernel
    HRESULT STDMETHODCALLTYPE WriteLog(BSTR text) override;
    HRESULT STDMETHODCALLTYPE ShowMessage(BSTR text, BSTR caption) override;
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, BSTR value) override;
    HRESULT STDMETHODCALLTYPE GetValue(BSTR name, BSTR* value) override;
    // IHostServer
    HRESULT STDMETHODCALLTYPE CreateQuery(int32_t* query) override;
    HRESULT STDMETHODCALLTYPE OpenQuery(int32_t query, BSTR sql) override;
    HRESULT STDMETHODCALLTYPE Locate(int32_t query, BSTR fieldName, BSTR value, int32_t* found) override;
    HRESULT STDMETHODCALLTYPE FreeQuery(int32_t query) override;
    HRESULT STDMETHODCALLTYPE ExecSQL(BSTR sql, int32_t* result) override;
    // IApplicationWindows
    HRESULT STDMETHODCALLTYPE GetHandle(HWND* handle) override;
    HRESULT STDMETHODCALLTYPE BeginModal() override;
    HRESULT STDMETHODCALLTYPE EndModal() override;
    // IApplicationIcons
    HRESULT STDMETHODCALLTYPE GetSmallIcon(HICON* icon) override;
    HRESULT STDMETHODCALLTYPE GetLargeIcon(HICON* icon) override;
    // IMenuManager
    HRESULT STDMETHODCALLTYPE CreateItem(IMenuItem** item) override;
    HRESULT STDMETHODCALLTYPE DeleteItem(IMenuItem** item) override;

    // The positions no plug-in of this host calls.
#define HOST_NOT_IMPLEMENTED(name)                                                                           \
    HRESULT STDMETHODCALLTYPE name() override {                                                              \
        return E_NOTIMPL;                                                                                    \
    }
    HOST_NOT_IMPLEMENTED(Reserved3)
    HOST_NOT_IMPLEMENTED(Reserved4)
    HOST_NOT_IMPLEMENTED(Reserved5)
    HOST_NOT_IMPLEMENTED(Reserved6)
    HOST_NOT_IMPLEMENTED(Reserved7)
    HOST_NOT_IMPLEMENTED(Reserved8)
    HOST_NOT_IMPLEMENTED(Reserved9)
    HOST_NOT_IMPLEMENTED(Reserved10)
    HOST_NOT_IMPLEMENTED(Reserved11)
    HOST_NOT_IMPLEMENTED(Reserved12)
    HOST_NOT_IMPLEMENTED(Reserved13)
    HOST_NOT_IMPLEMENTED(Reserved14)
    HOST_NOT_IMPLEMENTED(Reserved16)
    HOST_NOT_IMPLEMENTED(Reserved17)
    HOST_NOT_IMPLEMENTED(Reserved18)
    HOST_NOT_IMPLEMENTED(Reserved19)
    HOST_NOT_IMPLEMENTED(Reserved20)
    HOST_NOT_IMPLEMENTED(Reserved21)
    HOST_NOT_IMPLEMENTED(Reserved22)
#undef HOST_NOT_IMPLEMENTED

    // Records a call of a host method and answers the failure a test asked for, if any (the error
    // record is then published). Used by the menu items too.
    HRESULT Enter(const char* method);
    void NotifyMenuChanged();

private:
    explicit HostServices(Backend backend);
    ~HostServices();
    HRESULT Fail(HRESULT code, const std::u16string& description);
    HICON MakeIcon(int size);

    std::atomic<ULONG> FRefs{1};
    Backend FBackend;
    HostFaults FFaults;
    int32_t FVersion = 104019;
    std::map<std::u16string, std::u16string> FVariables;
    Callbook* FCallbook = nullptr;
    std::vector<std::string> FCalls;
    bool FRecordCalls = true;
    std::map<std::string, int> FCallCounts;
    std::vector<std::u16string> FLog;
    int FModalDepth = 0;
    int FModalBegins = 0;
    std::vector<ComPtr<HostMenuItem>> FItems;
    std::map<int32_t, bool> FQueries; // handle -> opened
    std::vector<HICON> FIconsGiven;
};
