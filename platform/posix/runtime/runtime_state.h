// Shared between the files of the runtime; not seen by its users.
#pragma once

#include "../com.h"

#define TARVEL_RUNTIME_API __attribute__((visibility("default")))

namespace tarvel::runtime {

bool apartmentEntered();
// The identity of the calling thread's apartment; 0 outside any.
unsigned long long currentApartmentId();
// Releases the class objects registered in an apartment that has ended.
void revokeClassObjectsOf(unsigned long long apartment);

// The data-initialization service built into the runtime, as oledb32 provides it on Windows.
HRESULT createDataInitialize(REFIID riid, void** ppv);

}  // namespace tarvel::runtime
