// Everything the project's code expects of the platform, for Windows builds: the SDK headers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <msdasc.h>
#include <objbase.h>
#include <oleauto.h>
#include <oledb.h>
#include <oledberr.h>
#include <windows.h>

// ModuleEntry is exported through the module's .def file.
#define TARVEL_MODULE_EXPORT
#define TARVEL_UTF16(text) L"" text
