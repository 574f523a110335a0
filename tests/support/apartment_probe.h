// Counts the calls the process makes to CoInitializeEx and CoUninitialize, so that a test can
// see how the module entered and left its apartment.
#pragma once

namespace tarvel::testing {

struct ApartmentCalls {
    long initialize = 0;
    long uninitialize = 0;
};

// Starts counting (once per process) and returns the counts so far.
ApartmentCalls apartmentCalls();

}  // namespace tarvel::testing
