// Owning holders for what COM hands out. reset() clears the field before it releases the old
// value, so releasing twice, or destroying after a release, does nothing more.
#pragma once

#include "../platform.h"

namespace tarvel {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* adopted) : ptr_(adopted) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(other.detach()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            ptr_ = other.detach();
        }
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    void reset() {
        if (T* old = ptr_) {
            ptr_ = nullptr;
            old->Release();
        }
    }
    T* detach() {
        T* held = ptr_;
        ptr_ = nullptr;
        return held;
    }

    // Out-parameter access: whatever was held is released first.
    T** put() {
        reset();
        return &ptr_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    IUnknown** putUnknown() { return reinterpret_cast<IUnknown**>(put()); }

private:
    T* ptr_ = nullptr;
};

// A block from the COM task allocator, freed with CoTaskMemFree.
template <class T>
class TaskMemPtr {
public:
    TaskMemPtr() = default;
    TaskMemPtr(const TaskMemPtr&) = delete;
    TaskMemPtr& operator=(const TaskMemPtr&) = delete;
    ~TaskMemPtr() { reset(); }

    T* get() const { return ptr_; }
    void reset() {
        if (T* old = ptr_) {
            ptr_ = nullptr;
            CoTaskMemFree(old);
        }
    }
    T** put() {
        reset();
        return &ptr_;
    }

private:
    T* ptr_ = nullptr;
};

}  // namespace tarvel
