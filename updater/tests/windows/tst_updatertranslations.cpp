// The Polish catalogue against the updater's sources: lupdate collects every
// text of the code and the forms into a scratch catalogue, and each of them
// must have a finished Polish translation in ours.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
struct Message
{
    QString context;
    QString source;
    QString comment;
    QString translation;
    bool finished = false;

    QString describe() const
    {
        QString text = QStringLiteral("[%1] \"%2\"").arg(context, source);
        if (!comment.isEmpty()) {
            text += QStringLiteral(" (comment \"%1\")").arg(comment);
        }
        return text;
    }
};

/** The messages of a Qt Linguist catalogue (.ts), in file order. */
bool readCatalogue(const QString &path, QVector<Message> &messages, QString &errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorText = path + QLatin1String(": ") + file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
                messages << message;
            }
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            message = Message();
            message.context = context;
        } else if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("comment")) {
            message.comment = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            message.translation = xml.readElementText();
            message.finished = type.isEmpty() && !message.translation.isEmpty();
        }
    }
    if (xml.hasError()) {
        errorText = QStringLiteral("%1: line %2: %3")
                        .arg(path)
                        .arg(xml.lineNumber())
                        .arg(xml.errorString());
        return false;
    }
    return true;
}

/** The finished translation a lookup of message would find, or nullptr. */
const Message *translationOf(const Message &wanted, const QVector<Message> &catalogue)
{
    const Message *withoutComment = nullptr;
    for (const Message &entry : catalogue) {
        if (!entry.finished || entry.context != wanted.context || entry.source != wanted.source) {
            continue;
        }
        if (entry.comment == wanted.comment) {
            return &entry;
        }
        // An entry without a comment serves every comment.
        if (entry.comment.isEmpty()) {
            withoutComment = &entry;
        }
    }
    return withoutComment;
}

QStringList placeholders(const QString &text)
{
    QStringList found;
    QRegularExpressionMatchIterator match
        = QRegularExpression(QStringLiteral("%L?\\d+")).globalMatch(text);
    while (match.hasNext()) {
        found << match.next().captured();
    }
    found.sort();
    return found;
}
} // namespace

class tst_UpdaterTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyTextHasAFinishedPolishTranslation();
    void translationsKeepThePlaceholders();

private:
    QVector<Message> scanned;
    QVector<Message> polish;
};

void tst_UpdaterTranslations::initTestCase()
{
    const QDir updater(QStringLiteral(VELL_UPDATER_SOURCE_DIR));
    QVERIFY2(updater.exists(), VELL_UPDATER_SOURCE_DIR);
    // Everything the program is built from: every folder but the tests and
    // the catalogue itself, so that a new folder cannot slip past.
    QStringList inputs;
    for (const QString &folder : updater.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (folder != QLatin1String("tests") && folder != QLatin1String("languages")) {
            inputs << updater.filePath(folder);
        }
    }
    for (const QString &file : updater.entryList({QStringLiteral("*.cpp")}, QDir::Files)) {
        inputs << updater.filePath(file);
    }

    QTemporaryDir scratch;
    QVERIFY2(scratch.isValid(), qPrintable(scratch.errorString()));
    const QString scannedPath = scratch.filePath(QStringLiteral("scanned.ts"));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral(LUPDATE_PROGRAM),
        QStringList {QStringLiteral("-silent"), QStringLiteral("-locations"),
            QStringLiteral("none"), QStringLiteral("-extensions"), QStringLiteral("cpp,h,ui")}
            + inputs + QStringList {QStringLiteral("-ts"), scannedPath});
    QVERIFY2(lupdate.waitForFinished(60000), qPrintable(lupdate.errorString()));
    const QByteArray output = lupdate.readAll();
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
        output.constData());

    QString errorText;
    QVERIFY2(readCatalogue(scannedPath, scanned, errorText), qPrintable(errorText));
    QVERIFY2(readCatalogue(
                 updater.filePath(QStringLiteral("languages/vell_pl_PL.ts")), polish, errorText),
        qPrintable(errorText));
    // The forms and the code both hold texts; an empty scan means lupdate saw nothing.
    QVERIFY2(scanned.size() > 20, qPrintable(QString::number(scanned.size())));
}

void tst_UpdaterTranslations::everyTextHasAFinishedPolishTranslation()
{
    QStringList missing;
    for (const Message &message : qAsConst(scanned)) {
        if (!translationOf(message, polish)) {
            missing << QLatin1String("  ") + message.describe();
        }
    }
    QVERIFY2(missing.isEmpty(),
        qPrintable(QStringLiteral("%1 text(s) of the updater lack a finished Polish translation in "
                                  "updater/languages/vell_pl_PL.ts:\n%2")
                       .arg(missing.size())
                       .arg(missing.join(QLatin1Char('\n')))));
}

void tst_UpdaterTranslations::translationsKeepThePlaceholders()
{
    QStringList broken;
    for (const Message &message : qAsConst(scanned)) {
        const Message *translation = translationOf(message, polish);
        if (translation && placeholders(translation->translation) != placeholders(message.source)) {
            broken << QLatin1String("  ") + message.describe() + QLatin1String(" -> \"")
                    + translation->translation + QLatin1Char('"');
        }
    }
    QVERIFY2(broken.isEmpty(),
        qPrintable(QStringLiteral("Polish translations whose %N placeholders differ from the "
                                  "English text:\n%1")
                       .arg(broken.join(QLatin1Char('\n')))));
}

QTEST_GUILESS_MAIN(tst_UpdaterTranslations)

#include "tst_updatertranslations.moc"
