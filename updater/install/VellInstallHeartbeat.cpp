#include "VellInstallHeartbeat.h"

#include <utility>

thread_local VellInstallHeartbeat::Scope *VellInstallHeartbeat::current = nullptr;

VellInstallHeartbeat::Scope::Scope(std::function<void()> onBeat)
    : onBeat(std::move(onBeat))
    , outer(current)
{
    current = this;
}

VellInstallHeartbeat::Scope::~Scope()
{
    current = outer;
}

void VellInstallHeartbeat::beat()
{
    if (current && current->onBeat) {
        current->onBeat();
    }
}
