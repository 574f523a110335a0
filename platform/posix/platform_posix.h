// Everything the project's code expects of the platform, for non-Windows builds.
#pragma once

#include "com.h"
#include "msdasc.h"
#include "oleauto.h"
#include "oledb.h"
#include "winuser.h"

#define TARVEL_MODULE_EXPORT __attribute__((visibility("default")))
#define TARVEL_UTF16(text) u"" text
