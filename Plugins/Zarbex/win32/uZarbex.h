// The update dialog on Windows: a DIALOGEX of the library's resources (uZarbex.rc) with the controls of
// the layout's table (uZarbexLayout.h), driven by the system's dialog manager and shown as the rules of
// TZarbexPresenter say.
#pragma once

#include "Includes/win32/GdiObject.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/win32/PluginForm.h"
#include "Plugins/Zarbex/uZarbexPresenter.h"

#include <memory>

class TfrmZarbex final : public TForm {
public:
    // The command's opening steps up to the show, as for the Qt dialog; the window itself exists only
    // while ShowModal runs, so the presenter's state waits until FormCreate.
    static std::unique_ptr<TfrmZarbex> Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                              TUpdateRunFactory runs);
    ~TfrmZarbex() override;
    // The dialog's rules and state, which the tests drive too.
    TZarbexPresenter& Presenter() { return *FPresenter; }

protected:
    void FormCreate() override;
    void FormShow() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    // The presenter's view: its state shown on the dialog's controls.
    class TView;

    TfrmZarbex(ICore* core, const ComPtr<IHostKernel>& kernel, TUpdateRunFactory runs);
    HWND Item(int id) const;
    // The controls of the layout's table, in its order.
    void CreateControls();
    void DockStatusBar();
    // Gives the source field the browse button's keys.
    void KeepSourceKeys();
    static LRESULT CALLBACK SourceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintPanel();
    void DrawProgressPane(const DRAWITEMSTRUCT& item);
    // The command for a control's notification; false when it is none of the dialog's.
    bool HandleCommand(int id, int code);

    std::unique_ptr<TView> FView;
    std::unique_ptr<TZarbexPresenter> FPresenter;
    TGdiObject<HFONT> FBoldFont;
    TGdiObject<HBITMAP> FLogo;
    // The source field's own window procedure, which SourceProc hands on to.
    WNDPROC FSourceProc = nullptr;
    int FProgressPercent = 0;
    bool FBusyCursor = false;
};
