// Small platform services for hosts and tests; the module does not use them.
#pragma once

#include "registration.h"

namespace tarvel::platform {

// Makes every SysFreeString reach the task allocator at once (oleaut32 otherwise keeps freed
// strings in a cache), so that a malloc spy sees each BSTR go.
void disableBstrCache();

}  // namespace tarvel::platform
