// tarvel-search-rate: whole searches per second through ModuleEntry under Wine, with the
// stand-in's search manager in the host's process and in a process of its own (the local
// server, every call of the translation marshalled), for the performance report. Each search
// finds 20 rows of the in-process provider. Prints one JSON object: the median rate of 9
// repetitions of half a second for each arrangement.
//
// Usage: tarvel-search-rate.exe
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "search_world.h"
#include "server_registration_windows.h"
#include "shipped_files_windows.h"

namespace {

using namespace tarvel;
using namespace tarvel::testing;
using Clock = std::chrono::steady_clock;

// The median of repetitions of searches per second, each over half a second.
double searchesPerSecond(SearchWorld& world) {
    for (int warm = 0; warm < 5; ++warm) {
        world.search();
    }
    std::vector<double> rates;
    for (int repetition = 0; repetition < 9; ++repetition) {
        long searches = 0;
        const Clock::time_point start = Clock::now();
        Clock::duration spent{};
        while (spent < std::chrono::milliseconds(500)) {
            world.host.lines.clear();
            world.search();
            ++searches;
            spent = Clock::now() - start;
        }
        rates.push_back(searches / std::chrono::duration<double>(spent).count());
    }
    std::sort(rates.begin(), rates.end());
    return world.host.lines.size() == 20 ? rates[rates.size() / 2] : 0;
}

double rate(bool inProcess) {
    SearchWorldOptions options;
    options.searchManager = inProcess;
    SearchWorld world(options);
    world.instrumentation.keepJournal(false);
    std::vector<WString> paths;
    for (int i = 0; i < 20; ++i) {
        paths.push_back(L"C:\\Users\\ann\\Documents\\report " + std::to_wstring(i) + L".txt");
    }
    world.setTable(pathTable(paths));
    return searchesPerSecond(world);
}

}  // namespace

int main() {
    const double inProcess = rate(true);
    double outOfProcess = 0;
    if (underWine()) {
        const ServerRegistration registration(shippedFile(L"tarvel-search-server.exe"));
        outOfProcess = registration.registered() ? rate(false) : 0;
    }
    std::printf("{\"in-process\": %.1f, \"out-of-process\": %.1f}\n", inProcess, outOfProcess);
    return inProcess > 0 && outOfProcess > 0 ? 0 : 1;
}
