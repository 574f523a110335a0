#include "value_stream.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tarvel::service {

HRESULT ValueStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (auto failure = enter("ISequentialStream::Read", [&] { return std::to_string(cb); })) {
        return *failure;
    }
    if (pv == nullptr) {
        return E_INVALIDARG;
    }
    const size_t count = std::min<size_t>(cb, data_.size() - position_);
    if (count != 0) {
        std::memcpy(pv, data_.data() + position_, count);
    }
    position_ += count;
    if (pcbRead != nullptr) {
        *pcbRead = ULONG(count);
    }
    return count < cb ? S_FALSE : S_OK;
}

}  // namespace tarvel::service
