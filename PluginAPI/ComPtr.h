// A small owning reference to a COM-style interface: one AddRef when it takes a pointer it borrows,
// one Release when it lets go.
#pragma once

#include "Platform/WinTypes.h"

#include <cstddef>
#include <utility>

template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference of its own to a borrowed pointer.
    explicit ComPtr(T* borrowed) : FPointer(borrowed) {
        if (FPointer != nullptr)
            FPointer->AddRef();
    }
    // Adopts a pointer that already carries a reference for us.
    static ComPtr Attach(T* owned) {
        ComPtr result;
        result.FPointer = owned;
        return result;
    }

    ComPtr(const ComPtr& other) : ComPtr(other.FPointer) {}
    ComPtr(ComPtr&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return FPointer; }
    T* operator->() const { return FPointer; }
    explicit operator bool() const { return FPointer != nullptr; }

    // Releases what is held and gives the address for an out argument that yields a reference.
    T** put() {
        reset();
        return &FPointer;
    }
    // The variable itself, for a callee that may clear it (and then owns what it cleared).
    T** ref() { return &FPointer; }

    void reset() {
        if (T* old = std::exchange(FPointer, nullptr))
            old->Release();
    }
    T* detach() { return std::exchange(FPointer, nullptr); }
    void swap(ComPtr& other) noexcept { std::swap(FPointer, other.FPointer); }

    // Asks for another interface of the same object; only S_OK counts as present.
    template <class U> ComPtr<U> query() const {
        ComPtr<U> result;
        if (FPointer == nullptr)
            return result;
        void* raw = nullptr;
        if (FPointer->QueryInterface(IidOf<U>(), &raw) == S_OK)
            result = ComPtr<U>::Attach(static_cast<U*>(raw));
        else if (raw != nullptr) {
            // A host that answers a success code other than S_OK may still hand out a reference.
            static_cast<U*>(raw)->Release();
        }
        return result;
    }

private:
    T* FPointer = nullptr;
};
