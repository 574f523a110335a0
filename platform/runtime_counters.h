// Counters that the non-Windows runtime keeps for tests: blocks of the task allocator and
// BSTRs that are currently allocated, and the calls made to enter and leave apartments.
#pragma once

extern "C" long TarvelLiveTaskBlocks();
extern "C" long TarvelLiveBstrs();
extern "C" long TarvelApartmentInitializeCalls();
extern "C" long TarvelApartmentUninitializeCalls();
