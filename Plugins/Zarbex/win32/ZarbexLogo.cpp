#include "Plugins/Zarbex/win32/ZarbexLogo.h"

#include "PluginAPI/SysUtils.h"

namespace {

constexpr int Width = 54;
constexpr int Height = 106;

// The device context of the screen, given back when the drawing is done.
class TScreenDC {
public:
    TScreenDC() : FDC(GetDC(nullptr)) {}
    ~TScreenDC() { ReleaseDC(nullptr, FDC); }
    TScreenDC(const TScreenDC&) = delete;
    TScreenDC& operator=(const TScreenDC&) = delete;
    HDC get() const { return FDC; }

private:
    HDC FDC;
};

struct TMemoryDCDelete {
    void operator()(HDC dc) const { DeleteDC(dc); }
};

// A mast with its guy wires, and waves leaving its top to either side.
void DrawMastAndWaves(HDC dc) {
    {
        const TGdiObject<HPEN> mast(CreatePen(PS_SOLID, 2, RGB(0x2B, 0x4C, 0x7E)));
        const TSelectObject pen(dc, mast.get());
        MoveToEx(dc, 27, 8, nullptr);
        LineTo(dc, 27, 70);
    }
    {
        const TGdiObject<HPEN> wires(CreatePen(PS_SOLID, 1, RGB(0x7A, 0x8F, 0xAF)));
        const TSelectObject pen(dc, wires.get());
        MoveToEx(dc, 27, 20, nullptr);
        LineTo(dc, 8, 70);
        MoveToEx(dc, 27, 20, nullptr);
        LineTo(dc, 46, 70);
    }
    // Waves leaving the top of the mast, to either side.
    {
        const TGdiObject<HPEN> waves(CreatePen(PS_SOLID, 2, RGB(0xE0, 0x8A, 0x1E)));
        const TSelectObject pen(dc, waves.get());
        for (int r = 6; r <= 18; r += 6) {
            Arc(dc, 27 - r, 8 - r, 27 + r, 8 + r, 27 + r, 8 - r / 3, 27 + r / 3, 8 - r);
            Arc(dc, 27 - r, 8 - r, 27 + r, 8 + r, 27 - r / 3, 8 - r, 27 - r, 8 - r / 3);
        }
    }
}

// A card in the colours of the bureau lists' country, under the mast.
void DrawCard(HDC dc) {
    {
        const TSelectObject noPen(dc, GetStockObject(NULL_PEN));
        const TGdiObject<HBRUSH> blue(CreateSolidBrush(RGB(0x00, 0x57, 0xB7)));
        const TGdiObject<HBRUSH> yellow(CreateSolidBrush(RGB(0xFF, 0xD7, 0x00)));
        {
            const TSelectObject brush(dc, blue.get());
            RoundRect(dc, 4, 76, 51, 90, 4, 4);
        }
        {
            const TSelectObject brush(dc, yellow.get());
            RoundRect(dc, 4, 89, 51, 103, 4, 4);
        }
    }
}

} // namespace

TGdiObject<HBITMAP> ZarbexLogo(COLORREF background) {
    const TScreenDC screen;
    const std::unique_ptr<std::remove_pointer_t<HDC>, TMemoryDCDelete> dc(CreateCompatibleDC(screen.get()));
    TGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), Width, Height));
    if (!dc || !bitmap)
        throw EOutOfResources(
            u"The dialog's logo could not be drawn: the system has no drawing resources left");
    {
        const TSelectObject canvas(dc.get(), bitmap.get());
        const TGdiObject<HBRUSH> back(CreateSolidBrush(background));
        const RECT all{0, 0, Width, Height};
        FillRect(dc.get(), &all, back.get());

        DrawMastAndWaves(dc.get());
        DrawCard(dc.get());
        const TGdiObject<HFONT> font(CreateFontW(-9, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                 DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
        const TSelectObject text(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), RGB(0xFF, 0xFF, 0xFF));
        RECT card{4, 76, 50, 89};
        DrawTextW(dc.get(), L"QSL", 3, &card, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    return bitmap;
}
