// Shared between the files of the runtime; not seen by its users.
#pragma once

#include "../com.h"

#define TARVEL_RUNTIME_API __attribute__((visibility("default")))

namespace tarvel::runtime {

bool apartmentEntered();

// The data-initialization service built into the runtime, as oledb32 provides it on Windows.
HRESULT createDataInitialize(REFIID riid, void** ppv);

}  // namespace tarvel::runtime
