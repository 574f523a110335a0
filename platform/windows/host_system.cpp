// The system's reasons for its errors.
#include "../host_platform.h"

#include "win32_handles.h"

namespace tarvel::platform {

std::string reasonOf(DWORD error) {
    LocalMemory<wchar_t> message;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(message.put()), 0, nullptr);
    WString text = length != 0 ? WString(message.get(), length) : WString();
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(error) : utf8FromUtf16(text);
}

}  // namespace tarvel::platform
