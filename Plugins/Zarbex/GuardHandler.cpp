#include "Plugins/Zarbex/GuardHandler.h"

#include "PluginAPI/BStr.h"
#include "PluginAPI/Helpers.h"

#include <exception>

namespace {

// The text for the exception that left a handler.
UnicodeString HandlerFailureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return Utf8ToString(e.what());
    } catch (...) {
        return u"The command failed for a reason it could not name.";
    }
}

bool ShowThroughHost(const ComPtr<IHostKernel>& kernel, const UnicodeString& text) {
    try {
        if (!kernel)
            return false;
        HostCall(kernel->ShowMessage(BStr(text).get(), BStr(u"Error").get()));
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

void GuardHandler(const ComPtr<IHostKernel>& kernel, const std::function<void()>& handler,
                  const std::function<void(const UnicodeString& text)>& unshown) noexcept {
    std::exception_ptr failure;
    try {
        handler();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure)
        return;
    try {
        const UnicodeString text = HandlerFailureText(failure);
        if (!ShowThroughHost(kernel, text) && unshown)
            unshown(text);
    } catch (...) {
        // Not even the message could be made or shown: the handler has stopped, which is all that is left.
    }
}
