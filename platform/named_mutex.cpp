#include "platform/named_mutex.h"

#include <map>
#include <memory>

namespace qvx::platform {

namespace {

TimedMutex& lookUp(const std::string& name) {
    // Never destroyed: a static object's destructor could run while a detached caller
    // at exit still holds one of the locks.
    static auto* registryLock = new std::mutex;
    static auto* registry = new std::map<std::string, std::unique_ptr<TimedMutex>>;
    const std::lock_guard guard(*registryLock);
    auto& slot = (*registry)[name];
    if (!slot) {
        slot = std::make_unique<TimedMutex>();
    }
    return *slot;
}

}  // namespace

NamedTimedMutex::NamedTimedMutex(const std::string& name) : m_mutex(&lookUp(name)) {}

}  // namespace qvx::platform
