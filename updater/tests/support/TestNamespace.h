#ifndef TESTNAMESPACE_H
#define TESTNAMESPACE_H

#include <QString>

#include <initializer_list>

/**
 * The private namespaces a test program runs in. They are made by one script,
 * tools/updateserver/run-in-netns.sh, which CTest puts before every test that
 * asks for them (vell_add_test's NAMESPACE mount or network); the script names
 * what is private in VELL_NAMESPACE.
 */
class TestNamespace
{
public:
    enum Kind {
        /// Mounts seen by this test alone (a read-only bind, a small tmpfs).
        Mount,
        /// A network of its own: loopback only, where port 80 is free.
        Network,
    };

    /**
     * Whether the test runs inside a private namespace of @p kind. If not, it
     * says why in @p errorText and how the test is meant to be run.
     */
    static bool isInside(Kind kind, QString *errorText = nullptr);

    /**
     * For programs CTest does not start (benchmarks): runs this program
     * (@p argv) again through the script inside a private network where
     * @p hosts resolve to 127.0.0.1. Returns only when already inside one.
     */
    static void reexecInsideNetwork(
        int argc, char **argv, std::initializer_list<const char *> hosts = {});
};

#endif // TESTNAMESPACE_H
