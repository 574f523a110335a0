// Windows' symbol API reads the module's PDB: dbghelp finds ModuleEntry where GetProcAddress
// does, and names the function around an address inside the search run, with its source file
// and line, as WinDbg and Windows Error Reporting do for a crash in the module.
//
// Usage: tarvel-symbols-test.exe MODULE SYMBOL_FOLDER
// Exit status 0 when all of it holds; 1, saying what did not, when the PDB found in
// SYMBOL_FOLDER is not the module's own (one of another build) or does not tell.
#include <windows.h>
// after windows.h
#include <dbghelp.h>

#include <cstdio>
#include <string>

namespace {

int failed(const char* what) {
    std::fprintf(stderr, "FAIL: %s (error %lu)\n", what, GetLastError());
    return 1;
}

// SYMBOL_INFOW with room for the longest name.
struct Symbol {
    SYMBOL_INFOW info;
    WCHAR room[MAX_SYM_NAME];
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvel-symbols-test.exe MODULE SYMBOL_FOLDER\n");
        return 2;
    }
    HMODULE module = LoadLibraryW(argv[1]);
    if (module == nullptr) {
        return failed("the module does not load");
    }
    // dbghelp also looks in the current folder: only SYMBOL_FOLDER may answer.
    if (!SetCurrentDirectoryW(argv[2])) {
        return failed("the symbol folder is not there");
    }
    const HANDLE process = GetCurrentProcess();
    SymSetOptions(SYMOPT_UNDNAME | SYMOPT_LOAD_LINES | SYMOPT_FAIL_CRITICAL_ERRORS);
    if (!SymInitializeW(process, argv[2], FALSE)) {
        return failed("SymInitializeW");
    }
    const auto base = reinterpret_cast<DWORD64>(module);
    if (SymLoadModuleExW(process, nullptr, argv[1], nullptr, base, 0, nullptr, 0) == 0) {
        return failed("SymLoadModuleExW");
    }
    IMAGEHLP_MODULEW64 loaded{};
    loaded.SizeOfStruct = sizeof loaded;
    if (!SymGetModuleInfoW64(process, base, &loaded) || loaded.SymType != SymPdb) {
        return failed("the module's symbols are not its PDB");
    }
    Symbol entry{};
    entry.info.SizeOfStruct = sizeof(SYMBOL_INFOW);
    entry.info.MaxNameLen = MAX_SYM_NAME;
    const auto exported = reinterpret_cast<DWORD64>(GetProcAddress(module, "ModuleEntry"));
    if (!SymFromNameW(process, L"ModuleEntry", &entry.info) || entry.info.Address != exported) {
        return failed("ModuleEntry is not where GetProcAddress finds it");
    }
    // The search run's function, and an address inside it, as a crash's stack would hold.
    Symbol run{};
    run.info.SizeOfStruct = sizeof(SYMBOL_INFOW);
    run.info.MaxNameLen = MAX_SYM_NAME;
    if (!SymFromNameW(process, L"tarvel::SearchRun::run", &run.info) || run.info.Size < 16) {
        return failed("the PDB does not name tarvel::SearchRun::run");
    }
    const DWORD64 inside = run.info.Address + run.info.Size / 2;
    Symbol around{};
    around.info.SizeOfStruct = sizeof(SYMBOL_INFOW);
    around.info.MaxNameLen = MAX_SYM_NAME;
    DWORD64 offset = 0;
    if (!SymFromAddrW(process, inside, &offset, &around.info) ||
        std::wstring(around.info.Name) != L"tarvel::SearchRun::run" ||
        offset != inside - run.info.Address) {
        return failed("an address inside the search run is not named as its function");
    }
    IMAGEHLP_LINEW64 line{};
    line.SizeOfStruct = sizeof line;
    DWORD column = 0;
    if (!SymGetLineFromAddrW64(process, inside, &column, &line) || line.LineNumber == 0 ||
        !std::wstring(line.FileName).ends_with(L"\\module\\search_run.cpp")) {
        return failed("the address has no line of search_run.cpp");
    }
    std::printf("ModuleEntry at %p; %ls+0x%llx at %ls:%lu\n", reinterpret_cast<void*>(exported),
                around.info.Name, static_cast<unsigned long long>(offset), line.FileName,
                line.LineNumber);
    SymCleanup(process);
    FreeLibrary(module);
    return 0;
}
