// The program's arguments, as the system passes them.
#include "../host_platform.h"

namespace tarvel::platform {

std::vector<WString> commandLineArguments(int argc, char** argv) {
    std::vector<WString> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(utf16FromFileName(argv[i]));
    }
    return arguments;
}

}  // namespace tarvel::platform
