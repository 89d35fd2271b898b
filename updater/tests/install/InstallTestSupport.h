#ifndef INSTALLTESTSUPPORT_H
#define INSTALLTESTSUPPORT_H

#include <QByteArray>
#include <QMap>
#include <QString>

// What the installer's tests need beyond the shared file helpers (TestFiles.h).

/// Every entry below a folder by relative name: its kind, full mode (set-user-ID
/// included) and contents or link target.
using Tree = QMap<QString, QByteArray>;

Tree snapshot(const QString &root);
/// The names whose state differs, one "name: actual <> expected" per line, for failure messages.
QByteArray treeDifference(const Tree &actual, const Tree &expected);

/**
 * Mounts seen by this test process alone, in the private mount namespace the
 * test runs in (TestNamespace::Mount); every mount is detached again with its
 * object.
 */
class TestMount
{
public:
    /// A tmpfs of @p bytes at @p path.
    static TestMount tmpfs(const QString &path, qint64 bytes);
    /// @p path bound onto itself, read-only.
    static TestMount readOnly(const QString &path);

    TestMount(TestMount &&other) noexcept;
    ~TestMount();
    TestMount(const TestMount &) = delete;
    TestMount &operator=(const TestMount &) = delete;
    TestMount &operator=(TestMount &&) = delete;

    bool isMounted() const { return !where.isEmpty(); }

private:
    explicit TestMount(const QByteArray &where)
        : where(where)
    { }

    QByteArray where;
};

#endif // INSTALLTESTSUPPORT_H
