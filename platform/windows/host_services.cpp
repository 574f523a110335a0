// The Windows Search service as the service control manager tells it.
#include "../host_platform.h"

#include <winsvc.h>

#include <vector>

#include "win32_handles.h"

namespace tarvel::platform {

bool hasRealSearchService() {
    return true;
}

namespace {

const char* stateName(DWORD state) {
    switch (state) {
        case SERVICE_RUNNING:
            return "running";
        case SERVICE_STOPPED:
            return "stopped";
        case SERVICE_START_PENDING:
            return "starting";
        case SERVICE_STOP_PENDING:
            return "stopping";
        case SERVICE_PAUSED:
            return "paused";
        default:
            return "changing state";
    }
}

std::string startTypeName(SC_HANDLE service, DWORD type) {
    switch (type) {
        case SERVICE_AUTO_START: {
            SERVICE_DELAYED_AUTO_START_INFO delayed{};
            DWORD needed = 0;
            const bool isDelayed =
                QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                                     reinterpret_cast<BYTE*>(&delayed), sizeof delayed, &needed) &&
                delayed.fDelayedAutostart;
            return isDelayed ? "automatic (delayed start)" : "automatic";
        }
        case SERVICE_DEMAND_START:
            return "manual";
        case SERVICE_DISABLED:
            return "disabled";
        default:
            return "boot or system";
    }
}

}  // namespace

ServiceStatus serviceStatus(const WString& name) {
    ServiceStatus status;
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        status.reason = reasonOf(GetLastError());
        return status;
    }
    const ServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (!service) {
        const DWORD error = GetLastError();
        status.queried = error == ERROR_SERVICE_DOES_NOT_EXIST;
        status.reason = reasonOf(error);
        return status;
    }
    status.installed = true;
    SERVICE_STATUS_PROCESS process{};
    DWORD needed = 0;
    if (QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                             reinterpret_cast<BYTE*>(&process), sizeof process, &needed)) {
        status.queried = true;
        status.running = process.dwCurrentState == SERVICE_RUNNING;
        status.state = stateName(process.dwCurrentState);
    } else {
        status.reason = reasonOf(GetLastError());
    }
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> config(needed != 0 ? needed : 1);
    auto* settings = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
    if (needed != 0 && QueryServiceConfigW(service.get(), settings, needed, &needed)) {
        status.disabled = settings->dwStartType == SERVICE_DISABLED;
        status.startType = startTypeName(service.get(), settings->dwStartType);
    }
    return status;
}

}  // namespace tarvel::platform
