// The system's services: none that is Windows Search.
#include "../host_platform.h"

namespace tarvel::platform {

bool hasRealSearchService() {
    return false;
}

ServiceStatus serviceStatus(const WString&) {
    ServiceStatus status;
    status.reason = "this system has no Windows service control manager";
    return status;
}

}  // namespace tarvel::platform
