// Registration of COM classes by name, for hosts and tests that serve their own objects.
// On Windows the ProgID goes to the registry under HKEY_CLASSES_ROOT; elsewhere into the
// runtime's ProgID table.
#pragma once

#include "platform.h"

namespace tarvel::platform {

HRESULT registerProgId(LPCWSTR progId, REFCLSID clsid);
void unregisterProgId(LPCWSTR progId);

}  // namespace tarvel::platform
