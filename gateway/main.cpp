#include <string>
#include <vector>

#include "gateway/gateway_service.h"

int main(int argc, char** argv) {
    qvx::gateway::CGatewayService service;
    return service.HandleCommandLine(std::vector<std::string>(argv, argv + argc));
}
