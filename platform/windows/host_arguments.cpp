// The program's arguments, from the command line the system keeps.
#include "../host_platform.h"

#include <shellapi.h>

#include "win32_handles.h"

namespace tarvel::platform {

std::vector<WString> commandLineArguments(int, char**) {
    std::vector<WString> arguments;
    int count = 0;
    const LocalMemory<LPWSTR> words(CommandLineToArgvW(GetCommandLineW(), &count));
    for (int i = 1; words && i < count; ++i) {
        arguments.push_back(words.get()[i]);
    }
    return arguments;
}

}  // namespace tarvel::platform
