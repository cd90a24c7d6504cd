// The update dialog on Windows: the controls of the Qt one in a DIALOGEX of the library's resources
// (uZarbex.rc), driven by the system's dialog manager and shown as the rules of TZarbexPresenter say.
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
    void DockControls();
    void PaintPanel();
    void DrawProgressPane(const DRAWITEMSTRUCT& item);
    // The command for a control's notification; false when it is none of the dialog's.
    bool HandleCommand(int id, int code);

    std::unique_ptr<TView> FView;
    std::unique_ptr<TZarbexPresenter> FPresenter;
    TGdiObject<HFONT> FBoldFont;
    TGdiObject<HBITMAP> FLogo;
    int FProgressPercent = 0;
    bool FBusyCursor = false;
};
