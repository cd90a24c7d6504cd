// The update dialog on Windows: the controls of the Qt one in a DIALOGEX of the library's resources
// (uZarbex.rc), driven by the system's dialog manager and shown as the rules of TZarbexPresenter say.
#pragma once

#include "Includes/win32/GdiObject.h"
#include "PluginAPI/ComPtr.h"
#include "PluginAPI/PluginAPI.h"
#include "PluginAPI/Plugins/win32/PluginForm.h"
#include "Plugins/Zarbex/uZarbexPresenter.h"

#include <functional>
#include <memory>

class TfrmZarbex final : public TForm, public IZarbexView {
public:
    // The command's opening steps up to the show: a new dialog with the host's services and its
    // starting values. The caller shows it.
    static std::unique_ptr<TfrmZarbex> Create(ICore* core, const ComPtr<IHostKernel>& kernel,
                                              const ComPtr<IHostServer>& server);
    ~TfrmZarbex() override;

    TZarbexPresenter& Presenter() { return *FPresenter; }

protected:
    void FormCreate() override;
    void FormShow() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    explicit TfrmZarbex(ICore* core);

    void SetSourceText(const UnicodeString& text) override;
    void SetSourceReadOnly(bool readOnly) override;
    void SetBrowseVisible(bool visible) override;
    void SetLocationItem(int index) override;
    void SetMarkDatesState(TMarkDatesState state) override;
    void SetMarkDatesCaption(const UnicodeString& caption) override;
    void SetMarkDatesReadOnly(bool readOnly) override;
    void SetGetDataEnabled(bool enabled) override;
    void SetSourceControlsEnabled(bool enabled) override;
    void ClearMemo() override;
    void AppendMemo(const UnicodeString& text, std::size_t topLine) override;
    void SetStatusText(const UnicodeString& text) override;
    void SetProgressPercent(int percent) override;
    void SetBusyCursor(bool busy) override;
    void ProcessMessages() override;
    // Closes the dialog, or, while a run is in progress, asks the run to stop and closes when it ends.
    void CloseWindow() override;
    bool AskForFile(TOpenDialog& dialog) override;

    HWND Item(int id) const;
    UnicodeString SourceText() const;
    void DockControls();
    void PaintPanel();
    void DrawProgressPane(const DRAWITEMSTRUCT& item);
    // Runs a handler so that nothing it raises crosses the dialog procedure: the message goes to the
    // user.
    void Guard(const std::function<void()>& handler);

    std::unique_ptr<TZarbexPresenter> FPresenter;
    ComPtr<IHostKernel> FKernel;
    // What the command sets before the window exists.
    bool FMarkDatesVisible = true;
    TGdiObject<HFONT> FBoldFont;
    TGdiObject<HBITMAP> FLogo;
    int FProgressPercent = 0;
    bool FBusyCursor = false;
};
