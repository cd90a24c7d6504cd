// The plug-in object: the one object through which the host knows the plug-in.
#pragma once

#include "PluginAPI/ComPtr.h"
#include "PluginAPI/Helpers.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/PluginSupport.h"

#include <memory>

DECLARE_BASE_EXCEPTION(EUnsupportedCore, EBaseException)

namespace PluginIdentity {
inline constexpr GUID ID{0x6A1F3C52, 0xD8E4, 0x4B07, {0x9E, 0x21, 0x73, 0xC5, 0xB8, 0xA0, 0xF4, 0xD9}};
inline constexpr char16_t Name[] = u"Get Bureau users info (Ukraine)";
inline constexpr char16_t Version[] = u"1.04.019 (1706)";
inline constexpr std::int32_t Category = 2;
inline constexpr char16_t Copyright[] = u"2026, Zarbex developers";
inline constexpr char16_t HomePage[] = u"http://zarbex.example.org/";
inline constexpr char16_t Email[] = u"zarbex@example.org";
inline constexpr char16_t MenuHint[] = u"Update information about Bureau users (Ukraine)";
// The digits of the plug-in's own version read as one number.
inline constexpr std::int32_t MinCoreVersion = 104019;
} // namespace PluginIdentity

class TPlugin final : public TImplements<IDestroyNotify, IPlugin> {
public:
    explicit TPlugin(ICore* core);
    ~TPlugin() override;

    HRESULT STDMETHODCALLTYPE NotifyDestroy() override;
    HRESULT STDMETHODCALLTYPE GetID(GUID* id) override;
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE GetCategory(std::int32_t* category) override;
    HRESULT STDMETHODCALLTYPE GetCopyright(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE GetHomePage(BSTR* url) override;
    HRESULT STDMETHODCALLTYPE GetEmail(BSTR* address) override;

    // The menu command: opens the update dialog.
    void OnMenuClick(TObject* sender);

    DECLARE_CLASS_NAME(TPlugin)

private:
    void CreateMenuCommand();
    void ReleaseHost();

    ComPtr<ICore> FCore;
    ComPtr<IApplicationWindows> FApplicationWindows;
    ComPtr<IHostKernel> FKernel;
    ComPtr<IHostServer> FServer;
    std::unique_ptr<TPluginMenuItem> FPluginMenuItem;
};
