#include "com_text.h"

#include <cstdio>

namespace tarvel::service {

std::string hresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(hr));
    return text;
}

}  // namespace tarvel::service
