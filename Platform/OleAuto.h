// COM strings and per-thread error records: the oleaut32 stand-in shared by every host and plug-in.
#pragma once

#include "Platform/WinTypes.h"

#if !defined(_WIN32)

#if defined(OLEAUT32_BUILD)
#define OLEAUT32_API extern "C" __attribute__((visibility("default")))
#else
#define OLEAUT32_API extern "C"
#endif

struct IErrorInfo : IUnknown {
    static constexpr GUID iid{0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
    virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) = 0;

protected:
    ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
    static constexpr GUID iid{0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
    virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) = 0;

protected:
    ~ICreateErrorInfo() = default;
};

OLEAUT32_API BSTR WINAPI SysAllocString(const OLECHAR* psz);
OLEAUT32_API BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, uint32_t ui);
OLEAUT32_API void WINAPI SysFreeString(BSTR bstrString);
OLEAUT32_API uint32_t WINAPI SysStringLen(BSTR pbstr);
OLEAUT32_API uint32_t WINAPI SysStringByteLen(BSTR bstr);

OLEAUT32_API HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo);
OLEAUT32_API HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
OLEAUT32_API HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

#endif
