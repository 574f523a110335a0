// A stand-in object watched by an Instrumentation: its IUnknown calls are journaled by facet
// ("IRowset::Release"), may fail on demand, and are refused once its last reference is gone;
// a method the stand-in does not serve is an unexpected call. Classes derived from this journal
// their own methods through enter() before the stand-in serves them. The object is kept, not
// deleted, when its last reference goes: the instrumentation deletes it as it resets.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "instrumentation.h"

namespace tarvel::service {

template <class Base>
class Watched : public Base, public Watchable {
public:
    template <class... Args>
    explicit Watched(Instrumentation* watch, std::string name, Args&&... args)
        : Base(std::forward<Args>(args)...), watch_(watch), name_(std::move(name)) {
        watch_->adopt(this);
    }

    const std::string& watchedName() const override { return name_; }
    long watchedReferences() const override { return this->references(); }
    Instrumentation* watch() const { return watch_; }

    HRESULT queryThrough(REFIID via, REFIID riid, void** ppv) override {
        auto name = [&] { return interfaceName(riid); };
        if (auto failure = watch_->calling(*this, queryMethodName(via), CallDetail(name))) {
            if (ppv != nullptr) {
                *ppv = nullptr;
            }
            return *failure;
        }
        return Base::queryThrough(via, riid, ppv);
    }
    ULONG addRefThrough(REFIID via) override {
        return watch_->addingReference(*this, knownInterfaceName(via)) ? Base::addRefThrough(via)
                                                                       : 0;
    }
    ULONG releaseThrough(REFIID via) override {
        watch_->releasing(*this, knownInterfaceName(via));
        return Base::releaseThrough(via);
    }

protected:
    std::optional<HRESULT> enter(std::string_view method) {
        return watch_->calling(*this, method, CallDetail());
    }
    // The detail is made only when the journal wants it.
    template <class Detail>
    std::optional<HRESULT> enter(std::string_view method, const Detail& detail) {
        return watch_->calling(*this, method, CallDetail(detail));
    }
    void fault(std::string message) { watch_->fault(std::move(message)); }
    // The block at address, which the call just made, is handed over as what.
    void handedOver(const void* address, std::string what) {
        if (address != nullptr) {
            watch_->handedOver(address, std::move(what));
        }
    }
    HRESULT notServed() override { return watch_->unexpected(name_ + "::(a method not served)"); }
    void destroy() override {}

private:
    Instrumentation* watch_;
    std::string name_;
};

}  // namespace tarvel::service
