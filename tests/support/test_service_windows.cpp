// A stand-in for the Windows Search service as the service control manager sees it, for the
// end-to-end checks under Wine: registered as WSearch, it reports itself running until it is
// told to stop. It serves nothing; the search manager is a class of its own.
#include <windows.h>

namespace {

const wchar_t kName[] = L"WSearch";

SERVICE_STATUS_HANDLE statusHandle = nullptr;
HANDLE stopped = nullptr;

void report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    if (code == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING);
        SetEvent(stopped);
    }
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD, LPWSTR*) {
    statusHandle = RegisterServiceCtrlHandlerExW(kName, control, nullptr);
    if (statusHandle == nullptr) {
        return;
    }
    stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_RUNNING);
    WaitForSingleObject(stopped, INFINITE);
    report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    wchar_t name[sizeof kName / sizeof kName[0]];
    lstrcpyW(name, kName);
    SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
