#include "VellInstallSteps_p.h"

namespace VellInstallSteps {

namespace {
Hook currentHook = nullptr;
}

void setHook(Hook hook)
{
    currentHook = hook;
}

void reached(const char *step)
{
    if (currentHook) {
        currentHook(step);
    }
}

} // namespace VellInstallSteps
