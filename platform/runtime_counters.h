// Counters that the non-Windows runtime keeps for tests: the calls made to enter and leave
// apartments.
#pragma once

extern "C" long TarvelApartmentInitializeCalls();
extern "C" long TarvelApartmentUninitializeCalls();
