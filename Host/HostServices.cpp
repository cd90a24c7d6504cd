#include "Host/HostServices.h"

#include "Host/Callbook.h"
#include "Host/HostMenuItem.h"
#include "Platform/WinUser.h"
#include "PluginAPI/BStr.h"
#include "PluginAPI/SysUtils.h"

#include <algorithm>
#include <exception>

namespace {

bool Contains(const std::vector<GUID>& list, REFIID iid) {
    return std::find(list.begin(), list.end(), iid) != list.end();
}

std::string Utf8(BSTR s) {
    return StringToUtf8(BStr::ToString(s));
}

} // namespace

ComPtr<HostServices> HostServices::Create(Backend backend) {
    return ComPtr<HostServices>::Attach(new HostServices(std::move(backend)));
}

HostServices::HostServices(Backend backend) : FBackend(std::move(backend)) {}

HostServices::~HostServices() {
    for (auto& item : FItems) {
        item->MarkDeleted();
        item->DetachHost();
    }
}

ULONG HostServices::Release() {
    const ULONG left = --FRefs;
    if (left == 0)
        delete this;
    return left;
}

void HostServices::SetVariable(const std::u16string& name, const std::u16string& value) {
    FVariables[name] = value;
}

int HostServices::CallCount(const std::string& method) const {
    auto it = FCallCounts.find(method);
    return it == FCallCounts.end() ? 0 : it->second;
}

std::vector<ComPtr<HostMenuItem>> HostServices::MenuItems() const {
    std::vector<ComPtr<HostMenuItem>> live;
    for (const auto& item : FItems)
        if (!item->Deleted())
            live.push_back(item);
    return live;
}

void HostServices::NotifyMenuChanged() {
    if (FBackend.menuChanged)
        FBackend.menuChanged();
}

HRESULT HostServices::Fail(HRESULT code, const std::u16string& description) {
    ComPtr<ICreateErrorInfo> create;
    if (!description.empty() && CreateErrorInfo(create.put()) == S_OK) {
        create->SetSource(BStr(u"LogHost").get());
        create->SetDescription(BStr(description).get());
        if (ComPtr<IErrorInfo> info = create.query<IErrorInfo>())
            SetErrorInfo(0, info.get());
    }
    return code;
}

HRESULT HostServices::Enter(const char* method) {
    if (FRecordCalls)
        FCalls.emplace_back(method);
    const int count = ++FCallCounts[method];
    auto it = FFaults.failing.find(method);
    if (it != FFaults.failing.end() && count > it->second.afterCalls)
        return Fail(it->second.code, it->second.description);
    return S_OK;
}

HRESULT HostServices::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (Contains(FFaults.withheld, iid))
        return E_NOINTERFACE;
    if (Contains(FFaults.answeredSFalse, iid))
        return S_FALSE;
    if (iid == IidOf<IUnknown>() || iid == ICore::iid)
        *out = static_cast<ICore*>(this);
    else if (iid == IHostKernel::iid)
        *out = static_cast<IHostKernel*>(this);
    else if (iid == IHostServer::iid)
        *out = static_cast<IHostServer*>(this);
    else if (iid == IApplicationWindows::iid)
        *out = static_cast<IApplicationWindows*>(this);
    else if (iid == IApplicationIcons::iid)
        *out = static_cast<IApplicationIcons*>(this);
    else if (iid == IMenuManager::iid)
        *out = static_cast<IMenuManager*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT HostServices::GetVersion(int32_t* version) {
    if (HRESULT hr = Enter("ICore.GetVersion"); hr < 0)
        return hr;
    if (version == nullptr)
        return E_POINTER;
    *version = FVersion;
    return S_OK;
}

HRESULT HostServices::WriteLog(BSTR text) {
    if (HRESULT hr = Enter("IHostKernel.WriteLog"); hr < 0)
        return hr;
    FLog.push_back(BStr::ToString(text));
    if (FBackend.writeLog)
        FBackend.writeLog(FLog.back());
    return S_OK;
}

HRESULT HostServices::ShowMessage(BSTR text, BSTR caption) {
    if (HRESULT hr = Enter("IHostKernel.ShowMessage"); hr < 0)
        return hr;
    if (FBackend.showMessage)
        FBackend.showMessage(BStr::ToString(text), BStr::ToString(caption));
    return S_OK;
}

HRESULT HostServices::SetValue(BSTR name, BSTR value) {
    if (HRESULT hr = Enter("IHostKernel.SetValue"); hr < 0)
        return hr;
    if (FBackend.command)
        FBackend.command(BStr::ToString(name), BStr::ToString(value));
    return S_OK;
}

HRESULT HostServices::GetValue(BSTR name, BSTR* value) {
    if (HRESULT hr = Enter("IHostKernel.GetValue"); hr < 0)
        return hr;
    if (value == nullptr)
        return E_POINTER;
    auto it = FVariables.find(BStr::ToString(name));
    if (it == FVariables.end())
        return Fail(E_INVALIDARG, u"Unknown host variable \"" + BStr::ToString(name) + u"\"");
    *value = SysAllocStringLen(WidePtr(it->second.data()), static_cast<uint32_t>(it->second.size()));
    return *value == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT HostServices::CreateQuery(int32_t* query) {
    if (HRESULT hr = Enter("IHostServer.CreateQuery"); hr < 0)
        return hr;
    if (query == nullptr)
        return E_POINTER;
    if (FCallbook == nullptr)
        return Fail(E_FAIL, u"The host has no callbook open");
    try {
        *query = FCallbook->CreateQuery();
        FQueries[*query] = false;
        return S_OK;
    } catch (const std::exception& e) {
        return Fail(E_FAIL, Utf8ToString(e.what()));
    }
}

HRESULT HostServices::OpenQuery(int32_t query, BSTR sql) {
    if (HRESULT hr = Enter("IHostServer.OpenQuery"); hr < 0)
        return hr;
    if (FCallbook == nullptr || !FQueries.count(query))
        return Fail(E_INVALIDARG, u"Unknown query handle");
    try {
        FCallbook->OpenQuery(query, Utf8(sql));
        FQueries[query] = true;
        return S_OK;
    } catch (const std::exception& e) {
        return Fail(E_FAIL, Utf8ToString(e.what()));
    }
}

HRESULT HostServices::Locate(int32_t query, BSTR fieldName, BSTR value, int32_t* found) {
    if (HRESULT hr = Enter("IHostServer.Locate"); hr < 0)
        return hr;
    if (found == nullptr)
        return E_POINTER;
    if (FCallbook == nullptr || !FQueries.count(query))
        return Fail(E_INVALIDARG, u"Unknown query handle");
    try {
        *found = FCallbook->Locate(query, Utf8(fieldName), Utf8(value)) ? BOOL32_TRUE : BOOL32_FALSE;
        return S_OK;
    } catch (const std::exception& e) {
        return Fail(E_FAIL, Utf8ToString(e.what()));
    }
}

HRESULT HostServices::FreeQuery(int32_t query) {
    if (HRESULT hr = Enter("IHostServer.FreeQuery"); hr < 0)
        return hr;
    if (FQueries.erase(query) != 0 && FCallbook != nullptr)
        FCallbook->FreeQuery(query);
    return S_OK;
}

HRESULT HostServices::ExecSQL(BSTR sql, int32_t* result) {
    if (HRESULT hr = Enter("IHostServer.ExecSQL"); hr < 0)
        return hr;
    if (result == nullptr)
        return E_POINTER;
    if (FCallbook == nullptr)
        return Fail(E_FAIL, u"The host has no callbook open");
    try {
        *result = FCallbook->ExecSQL(Utf8(sql));
        return S_OK;
    } catch (const std::exception& e) {
        return Fail(E_FAIL, Utf8ToString(e.what()));
    }
}

HRESULT HostServices::GetHandle(HWND* handle) {
    if (HRESULT hr = Enter("IApplicationWindows.GetHandle"); hr < 0)
        return hr;
    if (handle == nullptr)
        return E_POINTER;
    *handle = FBackend.mainWindow ? FBackend.mainWindow() : 0;
    return S_OK;
}

HRESULT HostServices::BeginModal() {
    if (HRESULT hr = Enter("IApplicationWindows.BeginModal"); hr < 0)
        return hr;
    ++FModalDepth;
    ++FModalBegins;
    return S_OK;
}

HRESULT HostServices::EndModal() {
    if (HRESULT hr = Enter("IApplicationWindows.EndModal"); hr < 0)
        return hr;
    --FModalDepth;
    return S_OK;
}

HICON HostServices::MakeIcon(int size) {
    // The host's emblem: a blue square with a white band, drawn fresh for every caller.
    std::vector<uint32_t> pixels(std::size_t(size) * size, 0xFF1F4E99u);
    for (int y = size / 3; y < 2 * size / 3; ++y)
        for (int x = 0; x < size; ++x)
            pixels[std::size_t(y) * size + x] = 0xFFFFFFFFu;
    const HICON icon = CreateIconFromPixels(size, size, pixels.data());
    FIconsGiven.push_back(icon);
    return icon;
}

HRESULT HostServices::GetSmallIcon(HICON* icon) {
    if (HRESULT hr = Enter("IApplicationIcons.GetSmallIcon"); hr < 0)
        return hr;
    if (icon == nullptr)
        return E_POINTER;
    *icon = MakeIcon(16);
    return S_OK;
}

HRESULT HostServices::GetLargeIcon(HICON* icon) {
    if (HRESULT hr = Enter("IApplicationIcons.GetLargeIcon"); hr < 0)
        return hr;
    if (icon == nullptr)
        return E_POINTER;
    *icon = MakeIcon(32);
    return S_OK;
}

HRESULT HostServices::CreateItem(IMenuItem** item) {
    if (HRESULT hr = Enter("IMenuManager.CreateItem"); hr < 0)
        return hr;
    if (item == nullptr)
        return E_POINTER;
    auto created = ComPtr<HostMenuItem>::Attach(new HostMenuItem(this));
    FItems.push_back(created);
    *item = ComPtr<IMenuItem>(created.get()).detach();
    NotifyMenuChanged();
    return S_OK;
}

HRESULT HostServices::DeleteItem(IMenuItem** item) {
    if (HRESULT hr = Enter("IMenuManager.DeleteItem"); hr < 0)
        return hr;
    if (item == nullptr)
        return E_POINTER;
    if (*item != nullptr) {
        for (auto it = FItems.begin(); it != FItems.end(); ++it) {
            if (static_cast<IMenuItem*>(it->get()) == *item) {
                (*it)->MarkDeleted();
                FItems.erase(it);
                break;
            }
        }
        if (FFaults.clearItemOnDelete) {
            (*item)->Release(); // the caller's reference, which clearing the variable takes over
            *item = nullptr;
        }
    }
    NotifyMenuChanged();
    return S_OK;
}
