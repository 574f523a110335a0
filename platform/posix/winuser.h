// The one user-interface library call the module makes, for non-Windows builds.
#pragma once

#include "com.h"

// Formats as the Windows function does: %s takes a UTF-16 string; the output holds at most
// 1023 units and a terminator, whatever the buffer's real size.
extern "C" int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
