// The one header through which the project's code reaches the platform. The code above it
// names platform things exactly as the platform publishes them and never asks which platform
// is underneath.
#pragma once

#ifdef _WIN32
#include "windows/platform_windows.h"
#else
#include "posix/platform_posix.h"
#endif

#include "common/search_api.h"
