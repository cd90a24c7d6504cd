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
    explicit ComPtr(T* borrowed) : p_(borrowed) {
        if (p_ != nullptr)
            p_->AddRef();
    }
    // Adopts a pointer that already carries a reference for us.
    static ComPtr Attach(T* owned) {
        ComPtr result;
        result.p_ = owned;
        return result;
    }

    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Releases what is held and gives the address for an out argument that yields a reference.
    T** put() {
        reset();
        return &p_;
    }
    // The variable itself, for a callee that may clear it (and then owns what it cleared).
    T** ref() { return &p_; }

    void reset() {
        if (T* old = std::exchange(p_, nullptr))
            old->Release();
    }
    T* detach() { return std::exchange(p_, nullptr); }
    void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    // Asks for another interface of the same object; only S_OK counts as present.
    template <class U> ComPtr<U> query() const {
        ComPtr<U> result;
        if (p_ == nullptr)
            return result;
        void* raw = nullptr;
        if (p_->QueryInterface(IidOf<U>(), &raw) == S_OK)
            result = ComPtr<U>::Attach(static_cast<U*>(raw));
        else if (raw != nullptr) {
            // A host that answers a success code other than S_OK may still hand out a reference.
            static_cast<U*>(raw)->Release();
        }
        return result;
    }

private:
    T* p_ = nullptr;
};
