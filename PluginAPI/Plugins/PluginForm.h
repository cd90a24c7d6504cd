// The base of the plug-in's dialogs: built from the host's core, owned by the host's window, its
// modal run bracketed by the host's BeginModal/EndModal, and wearing the host's icons.
#pragma once

#include "PluginAPI/Plugins/FormHost.h"

#include <QDialog>

#include <exception>

// Makes sure the process has a Qt application; the plug-in creates one only when there is none, and
// never deletes one it did not create.
void EnsureApplication();

// Deletes the application the plug-in created, once no window of it is left: the plug-in object calls
// it as it goes, so that the toolkit is not torn down after its own libraries at the process's exit.
void ReleaseApplication();

// The Qt application a form needs, made (when the process has none) after the host's side was checked
// and before the toolkit form is built.
struct TFormApplication {
    TFormApplication() { EnsureApplication(); }
};

class TForm : protected TFormHost, private TFormApplication, public QDialog {
public:
    explicit TForm(ICore* core);
    ~TForm() override;

    // Runs the dialog modally between the host's BeginModal and EndModal. A failure inside the run
    // (which cannot cross Qt's event loop) ends the run and is raised here, after EndModal.
    int ShowModal();

    // The window's icon of a kind (ICON_SMALL, ICON_BIG): the WM_SETICON stand-in, which yields the
    // icon it replaced.
    HICON SetIcon(std::uint32_t kind, HICON icon);
    HICON Icon(std::uint32_t kind) const { return FIcons[kind == ICON_BIG_KIND ? 1 : 0]; }

protected:
    // Ends the modal run with a failure to be raised by ShowModal.
    void FailModalRun(std::exception_ptr failure);
    void showEvent(QShowEvent* event) override;
    // Runs each time the window is shown, after the host's icons were applied.
    virtual void FormShow() {}

private:
    static constexpr std::uint32_t ICON_BIG_KIND = 1;
    int RunModalLoop();
    void ApplyHostIcons();
    void UpdateWindowIcon();

    HICON FIcons[2] = {0, 0};
    std::exception_ptr FModalFailure;
};
