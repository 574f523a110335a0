// The stand-in search service the host starts for --index. The host that ships links the plain
// service (stand_in.cpp); a test host links one with switches of its own in its place.
#pragma once

#include <memory>

#include "search_service.h"

namespace tarvel::host {

std::unique_ptr<service::SearchService> makeStandIn(WString root,
                                                    service::SearchService::Unreadable unreadable);

}  // namespace tarvel::host
