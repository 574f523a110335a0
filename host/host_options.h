// The command line of tarvel-host.
#pragma once

#include <string>
#include <vector>

#include "common/utf.h"

namespace tarvel::host {

struct HostOptions {
    bool help = false;
    bool info = false;
    bool check = false;
    bool json = false;  // --check's report as one JSON object
    // The folder --check is about.
    WString folder;
    int32_t maxResults = -1;
    // Search this folder through the stand-in service; empty means the platform's own service.
    WString index;
    WString module;
    WString query;
};

// Reads the arguments after the program name. defaultIndex is used when no --index is given
// (the current directory where no real Windows Search exists). False with a message for
// arguments that make no sense.
bool parseHostOptions(const std::vector<WString>& arguments, const WString& defaultIndex,
                      HostOptions& options, std::string& error);

extern const char kUsage[];

}  // namespace tarvel::host
