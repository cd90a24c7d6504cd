// The base of the plug-in's dialogs on Windows: a dialog of the library's own resources, built from the
// host's core, owned by the host's application window, its modal run bracketed by the host's
// BeginModal/EndModal, and wearing the host's icons.
//
// The system calls the dialog procedure; nothing may unwind through it (the 32-bit compiler's DWARF
// unwinding cannot cross the system's frames). An exception that leaves a message handler ends the
// dialog and is raised again by ShowModal, after EndModal.
#pragma once

#include "PluginAPI/Plugins/FormHost.h"

#include <windows.h>

#include <exception>

class TForm : protected TFormHost {
public:
    // templateId names the DIALOGEX resource of the module that holds this code.
    TForm(ICore* core, int templateId);
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    // Runs the dialog modally between the host's BeginModal and EndModal; yields the result the dialog
    // ended with. A failure inside the run is raised here, after EndModal; a failing EndModal raises its
    // own failure.
    int ShowModal();

    // The dialog's window while the modal run lasts, null otherwise.
    HWND Handle() const { return FHandle; }
    // The module whose resources the dialogs come from: the plug-in library itself.
    static HINSTANCE ResourceModule();

    // A window's text; a control's rectangle in its dialog's client coordinates.
    static UnicodeString WindowText(HWND window);
    static RECT ClientRectOf(HWND control);

protected:
    // Ends the modal run with a result (the dialog manager's EndDialog).
    void ModalResult(int result);
    // Gives the client area this size in pixels, centred over the owner (over the screen when there is
    // none), whatever the font the system found for the dialog.
    void PlaceInPixels(int clientWidth, int clientHeight);
    // Handles what queued up for the window: the run of a handler works on the window's own thread.
    void ProcessMessages();
    // Runs once the window exists, before it is shown (WM_INITDIALOG).
    virtual void FormCreate() {}
    // Runs each time the window is about to become visible, after the host's icons were applied.
    virtual void FormShow() {}
    // A message for the dialog: true when it was handled, with the value the dialog procedure yields in
    // result. Exceptions may leave it: the modal run then ends and ShowModal raises them.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyHostIcons();
    void DestroyAttachedIcons();

    int FTemplateId;
    HWND FHandle = nullptr;
    std::exception_ptr FModalFailure;
};
