// The COM apartment of one search: entered when the scope begins, and left when it ends, on
// every way out, if and only if entering succeeded (S_FALSE, a nested entry, included).
#pragma once

#include "platform.h"

namespace tarvel {

class ApartmentScope {
public:
    explicit ApartmentScope(DWORD flags) : entered_(SUCCEEDED(CoInitializeEx(nullptr, flags))) {}
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;
    ~ApartmentScope() {
        if (entered_) {
            entered_ = false;
            CoUninitialize();
        }
    }

    bool entered() const { return entered_; }

private:
    bool entered_;
};

}  // namespace tarvel
