// The host's database. A query is named by an integer handle that the host gives out.
#pragma once

#include "PluginAPI/PluginTypes.h"

struct IHostServer : IUnknown {
    static constexpr GUID iid{0x3ECC8EDB, 0x00C3, 0x42E6, {0x9F, 0x83, 0xCC, 0x06, 0x6A, 0x5B, 0x19, 0x4C}};
    PLUGINAPI_RESERVED(Reserved3);                                            // 3
    PLUGINAPI_RESERVED(Reserved4);                                            // 4
    PLUGINAPI_RESERVED(Reserved5);                                            // 5
    virtual HRESULT STDMETHODCALLTYPE CreateQuery(int32_t* query) = 0;        // 6
    virtual HRESULT STDMETHODCALLTYPE OpenQuery(int32_t query, BSTR sql) = 0; // 7
    PLUGINAPI_RESERVED(Reserved8);                                            // 8
    PLUGINAPI_RESERVED(Reserved9);                                            // 9
    PLUGINAPI_RESERVED(Reserved10);                                           // 10
    PLUGINAPI_RESERVED(Reserved11);                                           // 11
    PLUGINAPI_RESERVED(Reserved12);                                           // 12
    PLUGINAPI_RESERVED(Reserved13);                                           // 13
    PLUGINAPI_RESERVED(Reserved14);                                           // 14
    // Non-zero when some row of the opened query holds value in the column, whatever was asked before.
    virtual HRESULT STDMETHODCALLTYPE Locate(int32_t query, BSTR fieldName, BSTR value,
                                             int32_t* found) = 0;             // 15
    PLUGINAPI_RESERVED(Reserved16);                                           // 16
    PLUGINAPI_RESERVED(Reserved17);                                           // 17
    PLUGINAPI_RESERVED(Reserved18);                                           // 18
    PLUGINAPI_RESERVED(Reserved19);                                           // 19
    PLUGINAPI_RESERVED(Reserved20);                                           // 20
    PLUGINAPI_RESERVED(Reserved21);                                           // 21
    PLUGINAPI_RESERVED(Reserved22);                                           // 22
    virtual HRESULT STDMETHODCALLTYPE FreeQuery(int32_t query) = 0;           // 23
    virtual HRESULT STDMETHODCALLTYPE ExecSQL(BSTR sql, int32_t* result) = 0; // 24

protected:
    ~IHostServer() = default;
};
