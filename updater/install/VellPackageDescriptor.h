#ifndef VELLPACKAGEDESCRIPTOR_H
#define VELLPACKAGEDESCRIPTOR_H

#include <QString>
#include <QVector>

class Component;
class QByteArray;
class QIODevice;

/**
 * What a package's descriptor asks for, read with a streaming XML reader.
 *
 * Only start elements count, wherever they stand, in document order: every
 * `file` element gives one instruction (name, path and the action in lower
 * case; a missing attribute is empty), and the attributes `project`, `name`
 * and `type` of a `package` element must equal the component's. Reading stops
 * at the first such mismatch or at the first fault of the document, a
 * document type declaration included; the instructions read before it are
 * kept.
 */
class VellPackageDescriptor
{
public:
    struct File
    {
        QString name;
        QString path;
        QString action; ///< lower case
    };

    enum class End {
        Complete, ///< the whole document was read
        ForeignPackage, ///< a `package` attribute names another component
        Malformed, ///< the document is not well-formed XML
    };

    /** Reads the descriptor from @p device, which must be open for reading. */
    static VellPackageDescriptor read(QIODevice &device, const Component &component);
    /** Reads a descriptor held in memory. */
    static VellPackageDescriptor parse(const QByteArray &bytes, const Component &component);

    const QVector<File> &files() const { return instructions; }
    End end() const { return ending; }
    /** For Malformed: where the fault lies and what it is. */
    qint64 errorLine() const { return faultLine; }
    const QString &errorString() const { return fault; }

private:
    QVector<File> instructions;
    End ending = End::Complete;
    qint64 faultLine = 0;
    QString fault;
};

#endif // VELLPACKAGEDESCRIPTOR_H
