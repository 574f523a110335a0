#include "stand_in.h"

namespace tarvel::host {

std::unique_ptr<service::SearchService> makeStandIn(WString root,
                                                    service::SearchService::Unreadable unreadable) {
    return std::make_unique<service::SearchService>(std::move(root), std::move(unreadable));
}

}  // namespace tarvel::host
