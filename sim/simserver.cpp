#include "sim/simserver.h"

bool SimServer::Start(const SimEndpoints& endpoints, std::string* error) {
    if (site_.Serving()) {
        if (error) *error = "already serving";
        return false;
    }
    site_.SetEndpoints(0, endpoints);
    return site_.Start(error);
}
