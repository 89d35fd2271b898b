#ifndef VELLINSTALLSTEPS_P_H
#define VELLINSTALLSTEPS_P_H

/**
 * Named points between two changes on disk during an installation, its
 * rollback and its end. A crash test sets a hook that stops the process at
 * one of them; without a hook they cost a branch. Not installed.
 */
namespace VellInstallSteps {

using Hook = void (*)(const char *step);

void setHook(Hook hook);
/// Called after each change on disk that a crash could interrupt.
void reached(const char *step);

} // namespace VellInstallSteps

#endif // VELLINSTALLSTEPS_P_H
