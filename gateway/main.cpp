#include <memory>
#include <string>
#include <vector>

#include "gateway/gateway_service.h"
#include "gateway/system_event_log.h"

int main(int argc, char** argv) {
    using namespace qvx::gateway;
    HostEnvironment environment = HostEnvironment::fromProcess();
    const std::unique_ptr<EventLog> eventLog = makeEventLog(environment.eventLogFile, kServiceName);
    CGatewayService service(std::move(environment), *eventLog);
    return service.HandleCommandLine(std::vector<std::string>(argv, argv + argc));
}
