// One owner for a handle that the system hands out and closes with a function of its own: a
// service manager's handle, a registry key, a find handle, a folder listing. Traits name the
// handle's type, its empty value and how it is closed. reset() clears the field first and closes
// the old handle second, so that closing twice does nothing; put() refuses to hand out the
// field's address while it still owns a handle.
#pragma once

#include <cstdlib>
#include <utility>

namespace tarvel::platform {

template <class Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle adopted) : handle_(adopted) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueResource() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::empty(); }

    void reset(Handle adopted = Traits::empty()) {
        const Handle old = handle_;
        handle_ = adopted;
        if (old != Traits::empty()) {
            Traits::close(old);
        }
    }
    Handle release() { return std::exchange(handle_, Traits::empty()); }
    // The field's address, for a call that fills it; only while nothing is held.
    Handle* put() {
        if (handle_ != Traits::empty()) {
            std::abort();
        }
        return &handle_;
    }

private:
    Handle handle_ = Traits::empty();
};

}  // namespace tarvel::platform
