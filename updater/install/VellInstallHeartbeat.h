#ifndef VELLINSTALLHEARTBEAT_H
#define VELLINSTALLHEARTBEAT_H

#include <functional>

/**
 * Gives the rest of the program a turn while the installer works: the
 * installation runs on the GUI thread, and a single large file can take
 * longer than a window manager waits before it calls a window hung.
 *
 * The installer calls beat() after every chunk it unpacks or copies; whoever
 * runs an installation and has something to keep alive (a window to repaint)
 * installs a Scope for as long as it runs. Without a Scope beat() does
 * nothing. One Scope per thread at a time; Scopes nest, the innermost wins.
 */
class VellInstallHeartbeat
{
public:
    VellInstallHeartbeat() = delete;

    static void beat();

    class Scope
    {
    public:
        explicit Scope(std::function<void()> onBeat);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        friend class VellInstallHeartbeat;
        std::function<void()> onBeat;
        Scope *outer;
    };

private:
    static thread_local Scope *current;
};

#endif // VELLINSTALLHEARTBEAT_H
