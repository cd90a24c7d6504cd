#include "PluginAPI/Plugins/win32/PluginForm.h"

#include "Platform/Application.h"
#include "Platform/win32/SystemError.h"
#include "Platform/win32/WideChar.h"

#include <algorithm>
#include <utility>
#include <vector>

TForm::TForm(ICore* core, int templateId) : TFormHost(core), FTemplateId(templateId) {}

TForm::~TForm() = default;

HINSTANCE TForm::ResourceModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&TForm::DialogProc)), &module);
    return module;
}

int TForm::ShowModal() {
    HostCall(FApplicationWindows->BeginModal());
    FModalFailure = nullptr;
    // Nothing raises out of the modal run: its failures wait in FModalFailure.
    const INT_PTR result =
        DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(FTemplateId), ApplicationHandle(),
                        &TForm::DialogProc, reinterpret_cast<LPARAM>(this));
    const DWORD error = GetLastError();
    FHandle = nullptr;
    // The host leaves its modal state however the run ended; a failing EndModal is the failure raised.
    HostCall(FApplicationWindows->EndModal());
    if (FModalFailure)
        std::rethrow_exception(std::exchange(FModalFailure, nullptr));
    if (result == -1)
        throw EOSError(u"The plug-in's dialog window could not be created: " + SysErrorMessage(error));
    return static_cast<int>(result);
}

void TForm::ModalResult(int result) {
    if (FHandle != nullptr)
        EndDialog(FHandle, result);
}

UnicodeString TForm::WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return UnicodeString(Utf16Ptr(buffer.data()), static_cast<std::size_t>(std::max(copied, 0)));
}

RECT TForm::ClientRectOf(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void TForm::PlaceInPixels(int clientWidth, int clientHeight) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(FHandle, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(FHandle, GWL_EXSTYLE));
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HWND owner = GetWindow(FHandle, GW_OWNER); owner != nullptr && IsWindowVisible(owner))
        GetWindowRect(owner, &over);
    SetWindowPos(FHandle, nullptr, over.left + (over.right - over.left - width) / 2,
                 over.top + (over.bottom - over.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The application is ending: its own loop must see the request too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (FHandle != nullptr && IsDialogMessageW(FHandle, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool TForm::HandleMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

INT_PTR CALLBACK TForm::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<TForm*>(lParam)->FHandle = window;
    }
    // The messages that come before WM_INITDIALOG (the font, the frame) are the dialog manager's.
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(window, DWLP_USER));
    return form == nullptr ? FALSE : form->Dispatch(message, wParam, lParam);
}

INT_PTR TForm::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_INITDIALOG:
            FormCreate();
            return TRUE; // the dialog manager gives the first control the focus
        case WM_SHOWWINDOW:
            // Shown by ShowWindow itself (lParam 0), not uncovered along with its owner.
            if (wParam != FALSE && lParam == 0) {
                ApplyHostIcons();
                FormShow();
            }
            break;
        case WM_DESTROY:
            DestroyAttachedIcons();
            break;
        default:
            break;
        }
        INT_PTR result = FALSE;
        return HandleMessage(message, wParam, lParam, result) ? result : FALSE;
    } catch (...) {
        // The run ends; ShowModal raises the first failure once the dialog call has returned.
        if (!FModalFailure)
            FModalFailure = std::current_exception();
        EndDialog(FHandle, 0);
        return FALSE;
    }
}

void TForm::ApplyHostIcons() {
    ComPtr<IApplicationIcons> icons = FCore.query<IApplicationIcons>();
    if (!icons)
        return;
    // The window answers with the icon it had, which nobody else holds any more.
    HICON smallIcon = nullptr;
    HostCall(icons->GetSmallIcon(&smallIcon));
    if (auto replaced = reinterpret_cast<HICON>(
            SendMessageW(FHandle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon))))
        DestroyIcon(replaced);
    HICON largeIcon = nullptr;
    HostCall(icons->GetLargeIcon(&largeIcon));
    if (auto replaced = reinterpret_cast<HICON>(
            SendMessageW(FHandle, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon))))
        DestroyIcon(replaced);
}

void TForm::DestroyAttachedIcons() {
    // The system does not destroy the icons a window wears: once the window goes, they are no longer
    // in use.
    for (WPARAM kind : {WPARAM{ICON_SMALL}, WPARAM{ICON_BIG}})
        if (auto icon = reinterpret_cast<HICON>(SendMessageW(FHandle, WM_SETICON, kind, 0)))
            DestroyIcon(icon);
}
