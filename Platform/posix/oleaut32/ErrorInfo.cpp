// Per-thread error records, with the semantics of oleaut32's CreateErrorInfo/SetErrorInfo/GetErrorInfo.
#include "Platform/OleAuto.h"

#include <atomic>
#include <new>

namespace {

class ErrorRecord final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IUnknown::iid || riid == IErrorInfo::iid)
            *ppv = static_cast<IErrorInfo*>(this);
        else if (riid == ICreateErrorInfo::iid)
            *ppv = static_cast<ICreateErrorInfo*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FRefs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) override {
        if (pGUID == nullptr)
            return E_INVALIDARG;
        *pGUID = FGuid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* out) override { return Copy(FSource, out); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR* out) override { return Copy(FDescription, out); }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* out) override { return Copy(FHelpFile, out); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* out) override {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = FHelpContext;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
        FGuid = rguid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR s) override { return Assign(FSource, s); }
    HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR s) override { return Assign(FDescription, s); }
    HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR s) override { return Assign(FHelpFile, s); }
    HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD context) override {
        FHelpContext = context;
        return S_OK;
    }

private:
    ~ErrorRecord() {
        SysFreeString(FSource);
        SysFreeString(FDescription);
        SysFreeString(FHelpFile);
    }

    static HRESULT Copy(BSTR value, BSTR* out) {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = value == nullptr ? nullptr : SysAllocStringLen(value, SysStringLen(value));
        return value != nullptr && *out == nullptr ? E_OUTOFMEMORY : S_OK;
    }
    static HRESULT Assign(BSTR& field, LPOLESTR value) {
        BSTR copy = value == nullptr ? nullptr : SysAllocString(value);
        if (value != nullptr && copy == nullptr)
            return E_OUTOFMEMORY;
        SysFreeString(field);
        field = copy;
        return S_OK;
    }

    std::atomic<ULONG> FRefs{1};
    GUID FGuid = GUID_NULL;
    BSTR FSource = nullptr;
    BSTR FDescription = nullptr;
    BSTR FHelpFile = nullptr;
    DWORD FHelpContext = 0;
};

// The thread's current record; released when the thread ends.
struct CurrentRecord {
    IErrorInfo* info = nullptr;
    ~CurrentRecord() {
        if (info != nullptr)
            info->Release();
    }
};
thread_local CurrentRecord current;

} // namespace

OLEAUT32_API HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
    if (pperrinfo == nullptr)
        return E_INVALIDARG;
    auto* record = new (std::nothrow) ErrorRecord;
    *pperrinfo = record;
    return record == nullptr ? E_OUTOFMEMORY : S_OK;
}

// The reserved argument must be 0, as in the real runtime: anything else is refused and changes nothing.
OLEAUT32_API HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved != 0)
        return E_INVALIDARG;
    if (perrinfo != nullptr)
        perrinfo->AddRef();
    IErrorInfo* old = current.info;
    current.info = perrinfo;
    if (old != nullptr)
        old->Release();
    return S_OK;
}

OLEAUT32_API HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (dwReserved != 0 || pperrinfo == nullptr)
        return E_INVALIDARG;
    *pperrinfo = current.info; // ownership passes to the caller; the thread's record is cleared
    current.info = nullptr;
    return *pperrinfo == nullptr ? S_FALSE : S_OK;
}
