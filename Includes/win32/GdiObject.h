// A GDI object (font, bitmap, pen, brush) owned by its holder and deleted with it, and the selection of
// one into a device context for the length of a scope.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

struct TGdiObjectDelete {
    void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};

template <class Handle> using TGdiObject = std::unique_ptr<std::remove_pointer_t<Handle>, TGdiObjectDelete>;

class TSelectObject {
public:
    TSelectObject(HDC dc, HGDIOBJ object) : FDc(dc), FPrevious(SelectObject(dc, object)) {}
    ~TSelectObject() { SelectObject(FDc, FPrevious); }
    TSelectObject(const TSelectObject&) = delete;
    TSelectObject& operator=(const TSelectObject&) = delete;

private:
    HDC FDc;
    HGDIOBJ FPrevious;
};
