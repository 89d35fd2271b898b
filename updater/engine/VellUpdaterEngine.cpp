#include "VellUpdaterEngine.h"

#include "Update.h"
#include "VellMinisignSignature.h"
#include "VellPackageVerifier.h"
#include "VellQueryExchange.h"
#include "VellSystemError.h"
#include "VellText.h"
#include "VellTrustedKeys.h"
#include "VellUpdatePackage.h"
#include "VellUpdateServerAddress.h"
#include "VellUserPrompt.h"
#include "VellWorkDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Small enough to keep memory flat, large enough for few system calls.
constexpr qint64 ChunkSize = 1024 * 1024;
constexpr int HttpPort = 80;

QString fromLatin1(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), int(bytes.size()));
}

QString nameOf(const Update *update)
{
    return fromLatin1(update->getName());
}

QUrl linkOf(const Update *update)
{
    return QUrl(fromLatin1(update->getLink()));
}

/** A package's signature lies beside it on the server and in the work directory. */
const QLatin1String SignatureSuffix(".minisig");

QUrl signatureLinkOf(const QUrl &packageLink)
{
    QUrl link = packageLink;
    link.setPath(packageLink.path(QUrl::FullyEncoded) + SignatureSuffix, QUrl::TolerantMode);
    return link;
}

/**
 * The text from the first "<s>" to the last "</s>", both included, up to a NUL
 * byte. The client prints 8-bit (Latin-1) text; the server reads UTF-8.
 */
QByteArray extractQuery(const QByteArray &output)
{
    static const QByteArray open("<s>");
    static const QByteArray close("</s>");
    const int begin = output.indexOf(open);
    const int end = output.lastIndexOf(close);
    if (begin < 0 || end < begin + open.size()) {
        return QByteArray();
    }
    QByteArray query = output.mid(begin, end + close.size() - begin);
    const int nul = query.indexOf('\0');
    if (nul >= 0) {
        query.truncate(nul);
    }
    return QString::fromLatin1(query).toUtf8();
}

/**
 * A link's path decides where the package is stored below the work
 * directory, so it must stay inside: no ".." segment, plain or encoded, and
 * a file name at its end.
 */
bool isSafePackagePath(const QUrl &link)
{
    const QString stored = link.path();
    if (stored.isEmpty() || stored.endsWith(QLatin1Char('/'))) {
        return false;
    }
    for (const QString &path : {stored, link.path(QUrl::FullyDecoded)}) {
        const QStringList segments = path.split(QLatin1Char('/'));
        if (segments.contains(QLatin1String("..")) || path.contains(QChar(0))) {
            return false;
        }
    }
    return true;
}

QString systemError(int code)
{
    return VellSystemError::text(code);
}

/**
 * Creates the folders between base and the file at relativeFile, with mode
 * 0700. An existing folder that is a symbolic link or not a folder is refused.
 */
bool makePrivateParents(const QString &base, const QString &relativeFile, QString &errorText)
{
    QStringList segments = relativeFile.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    segments.removeLast();
    QString path = base;
    for (const QString &segment : qAsConst(segments)) {
        if (segment == QLatin1String(".")) {
            continue;
        }
        if (!path.endsWith(QLatin1Char('/'))) {
            path += QLatin1Char('/');
        }
        path += segment;
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), S_IRWXU) == 0) {
            continue;
        }
        struct stat info;
        if (errno != EEXIST || ::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            errorText = errno == EEXIST ? systemError(ENOTDIR) : systemError(errno);
            return false;
        }
    }
    return true;
}

QVariant statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
}

bool isSuccessStatus(const QVariant &status)
{
    return status.isValid() && status.toInt() >= 200 && status.toInt() < 300;
}

/**
 * The reason of an HTTP status in the user's language; a rare status keeps
 * the server's own words.
 */
QString statusReason(int status, const QString &serverReason)
{
    switch (status) {
    case 400:
        return VellText::tr("Bad Request", "HTTP status");
    case 401:
        return VellText::tr("Unauthorized", "HTTP status");
    case 403:
        return VellText::tr("Forbidden", "HTTP status");
    case 404:
        return VellText::tr("Not Found", "HTTP status");
    case 408:
        return VellText::tr("Request Timeout", "HTTP status");
    case 410:
        return VellText::tr("Gone", "HTTP status");
    case 429:
        return VellText::tr("Too Many Requests", "HTTP status");
    case 500:
        return VellText::tr("Internal Server Error", "HTTP status");
    case 502:
        return VellText::tr("Bad Gateway", "HTTP status");
    case 503:
        return VellText::tr("Service Unavailable", "HTTP status");
    case 504:
        return VellText::tr("Gateway Timeout", "HTTP status");
    default:
        return serverReason;
    }
}

/**
 * Writes all of @p bytes. A short write is followed by another, which either
 * goes on or fails with the reason (a disk that filled up in the middle of a
 * write reports no error for the part it took).
 */
bool writeAll(QFile &file, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0) {
            return false;
        }
        written += step;
    }
    return true;
}

bool isPlainHttpOnDefaultPort(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") && url.port(HttpPort) == HttpPort;
}

// With nobody to ask, a failed installation is given up rather than retried
// without end.
class NobodyToAsk : public VellUserPrompt
{
public:
    bool askRetry(const QString &, const QString &) override { return false; }
    void tellError(const QString &, const QString &) override { }
    void tellInformation(const QString &, const QString &) override { }
};

NobodyToAsk nobodyToAsk;

} // namespace

VellUpdaterEngine::VellUpdaterEngine()
    : clientProgram(QCoreApplication::applicationDirPath() + QLatin1String("/vell"))
    , trustedKeysFolder(QCoreApplication::applicationDirPath() + QLatin1String("/update-keys"))
    , prompt(&nobodyToAsk)
{
    workDirHolder.reset(
        new VellWorkDirectory(QStandardPaths::writableLocation(QStandardPaths::TempLocation)
            + QLatin1String("/tupdates/")));
    workDir = workDirHolder->path();

    stallTimer.setSingleShot(true);
    connect(&stallTimer, &QTimer::timeout, this, &VellUpdaterEngine::transferStalled);
}

VellUpdaterEngine::~VellUpdaterEngine()
{
    detachReply();
    discardTargetFile();
    clearUpdates();
}

void VellUpdaterEngine::setUserPrompt(VellUserPrompt *prompt)
{
    this->prompt = prompt ? prompt : &nobodyToAsk;
}

QByteArray VellUpdaterEngine::readClientQuery() const
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(clientProgram, {QStringLiteral("-updatequery")}, QIODevice::ReadWrite);
    if (!client.waitForStarted(-1)) {
        return QByteArray();
    }
    // The client has nothing to read from us; let it see the end of its input.
    client.closeWriteChannel();
    client.waitForFinished(-1);
    return extractQuery(client.readAll());
}

bool VellUpdaterEngine::checkUpdates()
{
    clearUpdates();
    VellUpdateServerAddress server;
    if (!VellUpdateServerAddress::fromEnvironment(server)) {
        prompt->tellError(VellText::tr("Check updates", "nc"),
            VellText::tr("The environment variable %1 holds \"%2\", which is not an update "
                         "server address (\"host\" or \"host:port\").",
                "nc")
                .arg(QLatin1String(VellUpdateServerAddress::EnvironmentVariable),
                    qEnvironmentVariable(VellUpdateServerAddress::EnvironmentVariable)));
        return false;
    }
    const QByteArray query = readClientQuery();

    VellQueryExchange exchange(querySocket, limits);
    const VellQueryExchange::Outcome outcome = exchange.run(server, query);
    if (outcome == VellQueryExchange::Outcome::NotConnected) {
        prompt->tellError(VellText::tr("Check updates", "nc"),
            VellText::tr(
                "Couldn't connect to update server. Check your internet connection.", "nc"));
        return false;
    }
    if (outcome == VellQueryExchange::Outcome::CommunicationFailed) {
        prompt->tellError(VellText::tr("Check updates", "nc"),
            VellText::tr("An error occured while comunicating update server. "
                         "Check your internet connection.",
                "nc"));
        return false;
    }

    const std::vector<Update> offered = exchange.takeUpdates();
    for (const Update &update : offered) {
        updates.append(new Update(update));
    }
    return true;
}

bool VellUpdaterEngine::updatesAvailable() const
{
    return !updates.isEmpty();
}

QVector<Update *> VellUpdaterEngine::getUpdates() const
{
    return updates;
}

QString VellUpdaterEngine::getLog() const
{
    return log;
}

void VellUpdaterEngine::clearUpdates()
{
    qDeleteAll(updates);
    updates.clear();
}

// Downloads ---------------------------------------------------------------

void VellUpdaterEngine::beginDownload()
{
    if (state == Sizing || state == Downloading) {
        return;
    }
    totalDone = 0;
    totalSize = 0;
    // Servers without signatures keep working for installations without keys.
    signaturesWanted = VellTrustedKeys::fromFolder(trustedKeysFolder).signaturesRequired();
    fetchingSignature = false;
    ++downloadRun;
    state = Sizing;
    getUpdatesSize();
}

void VellUpdaterEngine::abortDownload()
{
    state = Aborted;
    detachReply();
    discardTargetFile();
}

void VellUpdaterEngine::getUpdatesSize()
{
    sizedIndex = 0;
    sizeNextUpdate();
}

// The packages are measured one after the other, like the downloads, so the
// server sees one request at a time.
void VellUpdaterEngine::sizeNextUpdate()
{
    if (sizedIndex >= updates.size()) {
        downloadUpdates();
        return;
    }
    const QUrl link = linkOf(updates.at(sizedIndex));
    if (refuseUnsafeLink(link)) {
        return;
    }
    sendRequest("HEAD", link);
}

void VellUpdaterEngine::downloadUpdates()
{
    currentIndex = 0;
    state = Downloading;
    if (updates.isEmpty()) {
        state = Idle;
        emit downloadFinished();
        return;
    }
    getCurUpdate();
}

void VellUpdaterEngine::getCurUpdate()
{
    const Update *update = updates.at(currentIndex);
    const QUrl link = linkOf(update);
    emit downloadFile(nameOf(update));
    requestDone = 0;
    if (!openTargetFile(link)) {
        return;
    }
    sendRequest("GET", link);
}

// Right after its package: a signature is small, and the installation checks
// that it is there.
void VellUpdaterEngine::getCurSignature()
{
    targetFile.close();
    fetchingSignature = true;
    requestDone = 0;
    const QUrl link = signatureLinkOf(linkOf(updates.at(currentIndex)));
    if (!openTargetFile(link)) {
        return;
    }
    sendRequest("GET", link);
}

bool VellUpdaterEngine::refuseUnsafeLink(const QUrl &link)
{
    if (isSafePackagePath(link) && !link.host().isEmpty()) {
        return false;
    }
    failDownload(VellText::tr("The package link %1 does not name a file on a server.", "nc")
                     .arg(link.toString()));
    return true;
}

bool VellUpdaterEngine::openTargetFile(const QUrl &link)
{
    if (refuseUnsafeLink(link)) {
        return false;
    }
    if (workDir.isEmpty()) {
        failDownload(VellText::tr("There is no folder to store the packages in.", "nc"));
        return false;
    }
    // The package installer looks for the archive at exactly this path.
    const QString path = QStringLiteral("%1/%2").arg(workDir, link.path());
    QString errorText;
    if (makePrivateParents(workDir, link.path(), errorText)) {
        // O_NOFOLLOW: a symbolic link planted at the target is never written through.
        const int fd = ::open(QFile::encodeName(path).constData(),
            O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            targetPath = path;
            // Unbuffered: a failed write (a full disk) is told at once, with its reason.
            if (targetFile.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
                return true;
            }
            errorText = VellSystemError::fromText(targetFile.errorString());
            ::close(fd);
        } else {
            errorText = systemError(errno);
        }
    }
    failDownload(VellText::tr("Could not save the package to %1: %2", "nc")
                     .arg(QDir::cleanPath(path), errorText));
    return false;
}

void VellUpdaterEngine::sendRequest(const QByteArray &verb, const QUrl &link)
{
    // Packages always come by plain HTTP from port 80 of the link's host; the
    // link's scheme, port and query are not used.
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(link.host());
    url.setPort(HttpPort);
    url.setPath(link.path(QUrl::FullyEncoded), QUrl::TolerantMode);

    QNetworkRequest request(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    // The bytes on the wire are the bytes stored and counted.
    request.setRawHeader("Accept-Encoding", "identity");

    replyLink = link;
    reply = verb == "HEAD" ? http.head(request) : http.get(request);
    reply->setReadBufferSize(ChunkSize);
    connect(reply, &QNetworkReply::finished, this, &VellUpdaterEngine::requestFinished);
    connect(reply, &QNetworkReply::readyRead, this, &VellUpdaterEngine::dataReadProgress);
    connect(
        reply, &QNetworkReply::metaDataChanged, this, &VellUpdaterEngine::responseHeaderReceived);
    connect(reply, &QNetworkReply::redirected, this, &VellUpdaterEngine::redirectReceived);
    stallTimer.start(limits.downloadStallMs);
}

// An HTTP error status is judged once the reply has finished: aborting a reply
// that Qt has already marked as failed makes it report a second error.
void VellUpdaterEngine::responseHeaderReceived()
{
    if (sender() == reply) {
        stallTimer.start(limits.downloadStallMs);
    }
}

void VellUpdaterEngine::redirectReceived(const QUrl &target)
{
    if (sender() != reply) {
        return;
    }
    if (!isPlainHttpOnDefaultPort(target)) {
        failDownload(VellText::tr("Downloading %1 failed: the server redirected it to %2, "
                                  "which is not plain HTTP on port 80.",
            "nc")
                         .arg(replyLink.toString(), target.toString()));
        return;
    }
    emit reply->redirectAllowed();
}

void VellUpdaterEngine::dataReadProgress()
{
    if (sender() == reply && state == Downloading) {
        storeReceivedBytes();
    }
}

void VellUpdaterEngine::storeReceivedBytes()
{
    stallTimer.start(limits.downloadStallMs);
    // An error page is read away, never stored: the reply must keep flowing
    // to its end, where the status is reported.
    if (!isSuccessStatus(statusOf(reply))) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    while (reply && reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(ChunkSize);
        if (fetchingSignature && requestDone + chunk.size() > VellMinisignSignature::MaxFileBytes) {
            failDownload(
                VellText::tr("Downloading %1 failed: a signature is never larger than %2 bytes.",
                    "signature download")
                    .arg(replyLink.toString())
                    .arg(VellMinisignSignature::MaxFileBytes));
            return;
        }
        if (!writeAll(targetFile, chunk)) {
            failDownload(VellText::tr("Could not save the package to %1: %2", "nc")
                             .arg(QDir::cleanPath(targetPath),
                                 VellSystemError::fromText(targetFile.errorString())));
            return;
        }
        requestDone += chunk.size();
        if (!fetchingSignature) {
            // The HEAD requests sized the packages alone.
            totalDone += chunk.size();
            emitProgress();
        }
    }
}

void VellUpdaterEngine::emitProgress()
{
    int percent;
    if (totalSize > 0) {
        percent = int(qMin<qint64>(100, totalDone * 100 / totalSize));
    } else {
        // No server announced a size: count the packages completed instead.
        percent = updates.isEmpty() ? 100 : int(qint64(currentIndex) * 100 / updates.size());
    }
    emit downloadProgress(percent);
}

void VellUpdaterEngine::requestFinished()
{
    auto *finished = qobject_cast<QNetworkReply *>(sender());
    if (!finished) {
        return;
    }
    finished->deleteLater();
    if (finished != reply || state == Aborted) {
        return;
    }

    if (state == Downloading && finished->error() == QNetworkReply::NoError) {
        storeReceivedBytes(); // the last bytes may come with the end
        if (finished != reply) {
            return; // storing them failed
        }
    }
    // The reply has ended: there is nothing left to abort.
    stallTimer.stop();
    reply = nullptr;

    const QVariant status = statusOf(finished);
    if (fetchingSignature && status.isValid() && !isSuccessStatus(status)) {
        // No signature on the server: nothing is stored, and the check
        // before the installation refuses the package as unsigned.
        discardTargetFile();
        getNextUpdate();
        return;
    }
    if (status.isValid() && !isSuccessStatus(status)) {
        failDownload(
            VellText::tr("Downloading %1 failed: the server answered %2 %3.", "nc")
                .arg(replyLink.toString())
                .arg(status.toInt())
                .arg(statusReason(status.toInt(),
                    finished->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())));
        return;
    }
    if (finished->error() != QNetworkReply::NoError || !status.isValid()) {
        failDownload(VellText::tr("Downloading %1 failed: %2", "nc")
                         .arg(replyLink.toString(), finished->errorString()));
        return;
    }

    if (state == Sizing) {
        const QVariant length = finished->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            totalSize += length.toLongLong();
        }
        ++sizedIndex;
        sizeNextUpdate();
    } else if (state == Downloading && signaturesWanted && !fetchingSignature) {
        getCurSignature();
    } else if (state == Downloading) {
        getNextUpdate();
    }
}

void VellUpdaterEngine::getNextUpdate()
{
    targetFile.close();
    fetchingSignature = false;
    ++currentIndex;
    if (totalSize == 0) {
        emitProgress();
    }
    if (currentIndex < updates.size()) {
        getCurUpdate();
    } else {
        state = Idle;
        emit downloadFinished();
    }
}

void VellUpdaterEngine::transferStalled()
{
    if (!reply) {
        return;
    }
    failDownload(
        VellText::tr("Downloading %1 failed: the server sent nothing for %2 seconds.", "nc")
            .arg(replyLink.toString())
            .arg(limits.downloadStallMs / 1000.0));
}

void VellUpdaterEngine::failDownload(const QString &reason)
{
    if (state == Aborted) {
        return;
    }
    // Inside one of the reply's own signals the network code is still on the
    // stack; the windows answer an error with a modal box, whose event loop
    // would delete the reply under it. The error waits until that code has
    // returned.
    const bool insideReplySignal = qobject_cast<QNetworkReply *>(sender()) != nullptr;
    detachReply();
    discardTargetFile();
    state = Idle;
    if (!insideReplySignal) {
        emit error(reason);
        return;
    }
    // Not after an abort, nor in a download begun again meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, reason, run = downloadRun] {
            if (state != Aborted && run == downloadRun) {
                emit error(reason);
            }
        },
        Qt::QueuedConnection);
}

// Stops the request in progress without letting its last signals reach us.
void VellUpdaterEngine::detachReply()
{
    stallTimer.stop();
    QNetworkReply *current = reply;
    reply = nullptr;
    if (current) {
        current->disconnect(this);
        // Aborting inside one of the reply's own signals confuses it: let it
        // return from that signal first.
        QTimer::singleShot(0, current, [current] {
            if (!current->isFinished()) {
                current->abort();
            }
            current->deleteLater();
        });
    }
}

// A partial package must not be taken for a complete one.
void VellUpdaterEngine::discardTargetFile()
{
    if (targetFile.isOpen()) {
        targetFile.close();
        QFile::remove(targetPath);
    }
}

// Installation -------------------------------------------------------------

void VellUpdaterEngine::installUpdates()
{
    const int count = updates.size();
    log.clear();
    installSucceeded = false;
    const QStringList refusals = refusedPackages();
    if (!refusals.isEmpty()) {
        refuseRun(refusals);
        return;
    }
    // Every package object lives until the run ends: a rollback needs its records.
    std::vector<std::unique_ptr<VellUpdatePackage>> packages;
    for (int i = 0; i < count; ++i) {
        Update *update = updates.at(i);
        packages.emplace_back(new VellUpdatePackage(update));
        const QString name = nameOf(update);
        emit installFile(name);
        log += VellText::tr(
                   "Installing package ", "status information about currently installed package")
            + name + QLatin1String(":\n");
        if (!installPackage(*packages.back(), name)) {
            rollback(packages);
            return;
        }
        emit installProgress(100 * (i + 1) / count);
    }
    // Until finished, a crash would leave the run to be rolled back at the
    // next start. A run that cannot be made durable is not offered again
    // (the disk has failed it once) but rolled back now.
    for (int i = 0; i < count; ++i) {
        QString errorText;
        if (!packages[size_t(i)]->finish(errorText)) {
            prompt->tellError(VellText::tr("Update", "nc"),
                VellText::tr("Failed installing package ", "nc") + nameOf(updates.at(i))
                    + QLatin1Char('\n') + errorText);
            rollback(packages);
            return;
        }
    }
    installSucceeded = true;
    emit installFinished();
    removeDir(workDir);
}

bool VellUpdaterEngine::installPackage(VellUpdatePackage &package, const QString &name)
{
    forever {
        QString errorText;
        QStringList installedFiles;
        if (package.install(workDir, errorText, installedFiles)) {
            installedFiles.sort();
            log += installedFiles.join(QLatin1Char('\n')) + QLatin1String("\n\n");
            return true;
        }
        QString message = VellText::tr("Failed installing package ", "nc") + name;
        if (!errorText.isEmpty()) {
            message += QLatin1Char('\n') + errorText;
        }
        if (!prompt->askRetry(VellText::tr("Update", "nc"), message)) {
            return false;
        }
    }
}

void VellUpdaterEngine::rollback(const std::vector<std::unique_ptr<VellUpdatePackage>> &packages)
{
    const int count = updates.size();
    emit installFile(
        VellText::tr("Rollback update", "restoring application to state before installing update"));
    emit installProgress(0);
    // Packages whose installation never started have nothing to restore.
    for (int j = 0; j < count; ++j) {
        if (j < int(packages.size()) && !packages[j]->unwind(workDir)) {
            prompt->tellError(VellText::tr("Update", "nc"),
                VellText::tr("An error occured while rolling back update "
                             "progress. Software may not work properly. Try "
                             "reinstalling whole application",
                    "nc"));
            QCoreApplication::quit();
        }
        emit installProgress(100 * (j + 1) / count);
    }
    // Untranslated, as the client has always written it.
    log = QStringLiteral("An error occured while installing updates");
    installSucceeded = false;
    emit installFinished();
    removeDir(workDir);
}

// Every package is checked before the first one is installed, so a refused
// package leaves the installation as it was.
QStringList VellUpdaterEngine::refusedPackages() const
{
    const VellPackageVerifier verifier(VellTrustedKeys::fromFolder(trustedKeysFolder));
    QStringList refusals;
    for (const Update *update : updates) {
        const QString package = QStringLiteral("%1/%2").arg(workDir, linkOf(update).path());
        const VellPackageVerifier::Verdict verdict
            = verifier.verify(package, package + SignatureSuffix, *update);
        if (verdict != VellPackageVerifier::Verdict::Accepted) {
            refusals << VellPackageVerifier::refusalText(
                verdict, nameOf(update) + QLatin1Char(' ') + fromLatin1(update->getVersion()));
        }
    }
    return refusals;
}

void VellUpdaterEngine::refuseRun(const QStringList &refusals)
{
    const QString message = refusals.join(QLatin1Char('\n')) + QLatin1String("\n\n")
        + VellText::tr(
            "No update was installed: the installation is as it was.", "signature check");
    prompt->tellError(VellText::tr("Update", "nc"), message);
    log = message;
    emit installFinished();
    removeDir(workDir);
}

void removeDir(const QString &path)
{
    if (path.isEmpty()) {
        return; // QDir would take it for the current directory
    }
    const QDir dir(path);
    const QFileInfoList entries
        = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        // A link is removed as a link, never followed into what it points at.
        if (entry.isDir() && !entry.isSymLink()) {
            removeDir(entry.filePath());
        } else {
            QFile::remove(entry.filePath());
        }
    }
}
