#include "tests/windows/host/TestHost.h"

#include "PluginAPI/BStr.h"
#include "tests/windows/TestFolder.h"

#include <stdexcept>

TPluginModule::TPluginModule()
    : module_(ProgramFolder() + u"\\app\\Zarbex.ext"),
      entry_(module_.Function<PluginEntryProc>(PLUGIN_ENTRY_NAME)),
      done_(module_.Function<PluginDoneProc>(PLUGIN_DONE_NAME)) {
    if (entry_ == nullptr || done_ == nullptr)
        throw std::runtime_error("Zarbex.ext lacks its entry or its _done export");
}

const TPluginModule& PluginModule() {
    static const TPluginModule module;
    return module;
}

HWND MainWindow() {
    static const HWND window = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ZarbexTestHost";
        RegisterClassExW(&windowClass);
        const HWND created =
            CreateWindowExW(0, L"ZarbexTestHost", L"Zarbex test host", WS_OVERLAPPEDWINDOW, 100, 100, 800,
                            600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (created == nullptr)
            throw std::runtime_error("the test host's main window could not be created");
        return created;
    }();
    return window;
}

TTestHost::TTestHost(const std::u16string& callbookFile) {
    if (!callbookFile.empty())
        callbook_ = std::make_unique<Callbook>(std::filesystem::path(callbookFile));
    HostServices::Backend backend;
    backend.showMessage = [this](const std::u16string& text, const std::u16string& caption) {
        Messages.emplace_back(text, caption);
        ++messagesShown_;
    };
    backend.command = [this](const std::u16string& name, const std::u16string& value) {
        Commands.emplace_back(name, value);
    };
    backend.mainWindow = [] { return MainWindow(); };
    host_ = HostServices::Create(std::move(backend));
    host_->SetCallbook(callbook_.get());
    host_->SetVariable(u"APPNAME", u"Zarbex test host");
    host_->SetVariable(u"APPPATH", ProgramFolder() + u"\\app");
}

TTestHost::~TTestHost() {
    host_->SetCallbook(nullptr);
}

TLoadedPlugin::TLoadedPlugin(const TPluginModule& module, ICore* core) : module_(module) {
    const HRESULT hr = module_.Entry()(core, plugin_.put());
    if (hr != S_OK || !plugin_)
        throw std::runtime_error("the plug-in's entry failed");
}

TLoadedPlugin::~TLoadedPlugin() {
    if (auto notify = ComPtr<IPlugin>(plugin_.get()).query<IDestroyNotify>())
        notify->NotifyDestroy();
    plugin_.reset();
    module_.Done()();
}

bool TakeErrorRecord(std::u16string* description) {
    IErrorInfo* raw = nullptr;
    if (GetErrorInfo(0, &raw) != S_OK || raw == nullptr)
        return false;
    const auto info = ComPtr<IErrorInfo>::Attach(raw);
    if (description != nullptr) {
        BStr text;
        info->GetDescription(text.put());
        *description = text.str();
    }
    return true;
}
