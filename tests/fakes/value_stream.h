// A stream over a value, as a provider hands out for a long column bound as a storage object.
#pragma once

#include <vector>

#include "watched.h"

namespace tarvel::service {

class ValueStream final : public Watched<ComObject<ValueStream, ISequentialStream>> {
public:
    ValueStream(Instrumentation* watch, std::vector<BYTE> data)
        : Watched(watch, "ISequentialStream"), data_(std::move(data)) {}

    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    TARVEL_NOT_SERVED(Write, const void*, ULONG, ULONG*)

private:
    std::vector<BYTE> data_;
    size_t position_ = 0;
};

}  // namespace tarvel::service
