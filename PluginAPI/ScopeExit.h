// Clean-up that runs when a scope is left, in place of a catch block that cleans up and rethrows.
//
//     TScopeExit undo([this] { RemoveFromHost(); });
//     ... steps that may raise ...
//     undo.Dismiss(); // done: keep what the steps made
//
// Left by an exception, the scope's own error is the one to report: an exception of the clean-up is
// dropped. Left normally, an exception of the clean-up reaches the caller like any other.
#pragma once

#include <exception>
#include <utility>

template <class Action> class TScopeExit {
public:
    explicit TScopeExit(Action action) : FAction(std::move(action)), FUncaught(std::uncaught_exceptions()) {}
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

    ~TScopeExit() noexcept(false) {
        if (FDismissed)
            return;
        if (std::uncaught_exceptions() == FUncaught) {
            FAction();
            return;
        }
        try {
            FAction();
        } catch (...) {
            // The exception that is leaving the scope is the one to report.
        }
    }

    // The clean-up is not needed any more; it will not run.
    void Dismiss() noexcept { FDismissed = true; }

private:
    Action FAction;
    int FUncaught;
    bool FDismissed = false;
};
