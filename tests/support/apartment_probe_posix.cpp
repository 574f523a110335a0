#include "apartment_probe.h"

#include "runtime_counters.h"

namespace tarvel::testing {

ApartmentCalls apartmentCalls() {
    return ApartmentCalls{TarvelApartmentInitializeCalls(), TarvelApartmentUninitializeCalls()};
}

}  // namespace tarvel::testing
