#ifndef PRIVATENETWORK_H
#define PRIVATENETWORK_H

#include <QString>

/**
 * Moves the calling process into a private user and network namespace with
 * its loopback up, where it may bind port 80 on 127.0.0.1 and nothing it does
 * is seen from outside. Must run before any thread exists (first thing in
 * main). Returns false, with the reason, when the system does not allow it.
 */
class PrivateNetwork
{
public:
    static bool enter(QString *reason);
};

#endif // PRIVATENETWORK_H
