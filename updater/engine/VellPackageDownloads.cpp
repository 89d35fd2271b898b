#include "VellPackageDownloads.h"

#include "Update.h"
#include "VellMinisignSignature.h"
#include "VellSystemError.h"
#include "VellText.h"
#include "VellUpdateFields_p.h"

#include <QDir>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace VellUpdateFields;

namespace {

// Small enough to keep memory flat, large enough for few system calls.
constexpr qint64 ChunkSize = 1024 * 1024;
constexpr int HttpPort = 80;
constexpr int HttpsPort = 443;

bool asksForTls(const QUrl &link)
{
    return link.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

/**
 * Where a link is fetched from. A link that asks for TLS gets it, on its own
 * port; any other link is fetched by plain HTTP from port 80 of its host,
 * whatever its scheme and port say. The query is never used.
 */
QUrl requestUrlOf(const QUrl &link)
{
    const bool tls = asksForTls(link);
    QUrl url;
    url.setScheme(tls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(link.host());
    url.setPort(tls ? link.port(HttpsPort) : HttpPort);
    url.setPath(link.path(QUrl::FullyEncoded), QUrl::TolerantMode);
    return url;
}

QUrl signatureLinkOf(const QUrl &packageLink)
{
    QUrl link = packageLink;
    link.setPath(
        packageLink.path(QUrl::FullyEncoded) + QLatin1String(VellMinisignSignature::FileSuffix),
        QUrl::TolerantMode);
    return link;
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
bool writeAll(QFile &file, const char *bytes, qint64 size)
{
    qint64 written = 0;
    while (written < size) {
        const qint64 step = file.write(bytes + written, size - written);
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

/** The connection was lost or went silent: the server may still have the rest. */
bool isBrokenConnection(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

/**
 * What an If-Range may carry: a strong ETag, else the Last-Modified date; a
 * weak ETag names a version only roughly and must not guard a part.
 */
QByteArray validatorOf(const QNetworkReply *reply)
{
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    if (!etag.isEmpty() && !etag.startsWith("W/")) {
        return etag;
    }
    return reply->rawHeader("Last-Modified").trimmed();
}

/**
 * Whether a Content-Range ("bytes FIRST-LAST/LENGTH") holds exactly the rest
 * of the file from byte @p first; @p length, when not negative, is the whole
 * file's length as the earlier answer gave it.
 */
bool isRestOfFile(const QByteArray &contentRange, qint64 first, qint64 length)
{
    const QByteArray unit("bytes ");
    if (!contentRange.startsWith(unit)) {
        return false;
    }
    const QByteArray range = contentRange.mid(unit.size()).trimmed();
    const int dash = range.indexOf('-');
    const int slash = range.indexOf('/');
    if (dash <= 0 || slash <= dash + 1) {
        return false;
    }
    bool firstOk = false;
    bool lastOk = false;
    bool lengthOk = false;
    const qint64 sentFirst = range.left(dash).toLongLong(&firstOk);
    const qint64 sentLast = range.mid(dash + 1, slash - dash - 1).toLongLong(&lastOk);
    const qint64 sentLength = range.mid(slash + 1).toLongLong(&lengthOk);
    return firstOk && lastOk && lengthOk && sentFirst == first && sentLast == sentLength - 1
        && sentLast >= sentFirst && (length < 0 || sentLength == length);
}

// A redirect never gives up the protection the link asked for.
bool isAcceptableRedirect(const QUrl &link, const QUrl &target)
{
    return asksForTls(link) ? target.scheme() == QLatin1String("https")
                            : isPlainHttpOnDefaultPort(target);
}

} // namespace

VellPackageDownloads::VellPackageDownloads()
    // One buffer for every read: a fresh megabyte per readyRead costs the
    // allocator a mapping and its page faults each time.
    : readBuffer(int(ChunkSize), Qt::Uninitialized)
{
    stallTimer.setSingleShot(true);
    connect(&stallTimer, &QTimer::timeout, this, &VellPackageDownloads::onStalled);
    signatureDeadline.setSingleShot(true);
    connect(&signatureDeadline, &QTimer::timeout, this, &VellPackageDownloads::onSignatureDeadline);
}

VellPackageDownloads::~VellPackageDownloads()
{
    detachReply();
    discardTargetFile();
}

void VellPackageDownloads::start(
    const QVector<Update *> &updates, const QString &workDir, bool signaturesWanted)
{
    if (isBusy()) {
        return;
    }
    this->updates = updates;
    this->workDir = workDir;
    // Servers without signatures keep working for installations without keys.
    this->signaturesWanted = signaturesWanted;
    totalDone = 0;
    totalSize = 0;
    resumesLeft = MaxResumes;
    ++run;
    current = State::Sizing;
    sizedIndex = 0;
    sizeNext();
}

void VellPackageDownloads::abort()
{
    current = State::Aborted;
    detachReply();
    discardTargetFile();
}

// The packages are measured one after the other, like the downloads, so the
// server sees one request at a time.
void VellPackageDownloads::sizeNext()
{
    if (sizedIndex >= updates.size()) {
        startPackages();
        return;
    }
    const QUrl link = linkOf(updates.at(sizedIndex));
    if (refuseUnsafeLink(link)) {
        return;
    }
    sendRequest("HEAD", link);
}

void VellPackageDownloads::startPackages()
{
    currentIndex = 0;
    if (updates.isEmpty()) {
        current = State::Idle;
        emit finished();
        return;
    }
    startPackage();
}

void VellPackageDownloads::startPackage()
{
    current = State::Package;
    const Update *update = updates.at(currentIndex);
    const QUrl link = linkOf(update);
    emit packageStarted(nameOf(update));
    requestDone = 0;
    packageCounted = 0;
    validator.clear();
    packageLength = -1;
    if (!openTargetFile(link)) {
        return;
    }
    sendRequest("GET", link);
}

// Right after its package: a signature is small, and the installation checks
// that it is there.
void VellPackageDownloads::startSignature()
{
    targetFile.close();
    current = State::Signature;
    requestDone = 0;
    const QUrl link = signatureLinkOf(linkOf(updates.at(currentIndex)));
    if (!openTargetFile(link)) {
        return;
    }
    sendRequest("GET", link);
    // The stall timer restarts with every byte; this one does not.
    signatureDeadline.start(signatureDeadlineMs);
}

// The broken GET is dropped, and the next asks for the bytes not yet stored,
// or for the whole file when nothing guards against another version.
bool VellPackageDownloads::resumePackage()
{
    if (current != State::Package || requestDone == 0 || resumesLeft == 0) {
        return false;
    }
    --resumesLeft;
    detachReply();
    // The rest comes over a new connection, never one kept from the broken one.
    http.clearConnectionCache();
    if (validator.isEmpty() && !emptyTargetFile()) {
        return true;
    }
    // Sent from the event loop: Qt is still tidying up the broken connection,
    // and a request handed to it meanwhile may be sent twice.
    QTimer::singleShot(0, this, [this, resumedRun = run] {
        if (current == State::Package && run == resumedRun && !reply) {
            sendRequest(
                "GET", linkOf(updates.at(currentIndex)), validator.isEmpty() ? 0 : requestDone);
        }
    });
    return true;
}

// The answer announced more bytes than arrived.
bool VellPackageDownloads::isCutShort(const QNetworkReply *finished) const
{
    const QVariant length = finished->header(QNetworkRequest::ContentLengthHeader);
    return length.isValid() && requestDone - resumedFrom < length.toLongLong();
}

// A package's answer is judged once, before its first byte is stored.
bool VellPackageDownloads::takeAnswerHead()
{
    answerHeadTaken = true;
    if (statusOf(reply).toInt() == 206) {
        const QByteArray contentRange = reply->rawHeader("Content-Range");
        if (isRestOfFile(contentRange, resumedFrom, packageLength)) {
            return true;
        }
        fail(VellText::tr("Downloading %1 failed: the server sent the part \"%2\" where the "
                          "rest from byte %3 was asked for.",
            "nc")
                 .arg(replyLink.toString(), QString::fromLatin1(contentRange))
                 .arg(resumedFrom));
        return false;
    }
    // The whole file: what was stored may belong to another version.
    resumedFrom = 0;
    if (requestDone > 0 && !emptyTargetFile()) {
        return false;
    }
    validator = validatorOf(reply);
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    packageLength = length.isValid() ? length.toLongLong() : -1;
    return true;
}

bool VellPackageDownloads::emptyTargetFile()
{
    requestDone = 0;
    if (targetFile.resize(0) && targetFile.seek(0)) {
        return true;
    }
    failWritingTarget();
    return false;
}

void VellPackageDownloads::failWritingTarget()
{
    fail(
        VellText::tr("Could not save the package to %1: %2", "nc")
            .arg(QDir::cleanPath(targetPath), VellSystemError::fromText(targetFile.errorString())));
}

void VellPackageDownloads::nextPackage()
{
    targetFile.close();
    ++currentIndex;
    if (totalSize == 0) {
        emitProgress();
    }
    if (currentIndex < updates.size()) {
        startPackage();
    } else {
        current = State::Idle;
        emit finished();
    }
}

bool VellPackageDownloads::refuseUnsafeLink(const QUrl &link)
{
    if (isSafePackagePath(link) && !link.host().isEmpty()) {
        return false;
    }
    fail(VellText::tr("The package link %1 does not name a file on a server.", "nc")
             .arg(link.toString()));
    return true;
}

bool VellPackageDownloads::openTargetFile(const QUrl &link)
{
    if (refuseUnsafeLink(link)) {
        return false;
    }
    if (workDir.isEmpty()) {
        fail(VellText::tr("There is no folder to store the packages in.", "nc"));
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
    fail(VellText::tr("Could not save the package to %1: %2", "nc")
             .arg(QDir::cleanPath(path), errorText));
    return false;
}

void VellPackageDownloads::sendRequest(const QByteArray &verb, const QUrl &link, qint64 resumeFrom)
{
    // TLS checks the server's certificate against the system's certificate
    // authorities (Qt's default configuration).
    QNetworkRequest request(requestUrlOf(link));
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    // The bytes on the wire are the bytes stored and counted.
    request.setRawHeader("Accept-Encoding", "identity");
    if (resumeFrom > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(resumeFrom) + '-');
        request.setRawHeader("If-Range", validator);
    }
    resumedFrom = resumeFrom;
    answerHeadTaken = false;

    replyLink = link;
    reply = verb == "HEAD" ? http.head(request) : http.get(request);
    reply->setReadBufferSize(ChunkSize);
    connect(reply, &QNetworkReply::finished, this, &VellPackageDownloads::onFinished);
    connect(reply, &QNetworkReply::readyRead, this, &VellPackageDownloads::onReadyRead);
    connect(reply, &QNetworkReply::metaDataChanged, this, &VellPackageDownloads::onMetaDataChanged);
    connect(reply, &QNetworkReply::redirected, this, &VellPackageDownloads::onRedirected);
    connect(reply, &QNetworkReply::sslErrors, this, &VellPackageDownloads::onSslErrors);
    stallTimer.start(stallMs);
}

// An HTTP error status is judged once the reply has finished: aborting a reply
// that Qt has already marked as failed makes it report a second error.
void VellPackageDownloads::onMetaDataChanged()
{
    if (sender() == reply) {
        stallTimer.start(stallMs);
    }
}

void VellPackageDownloads::onRedirected(const QUrl &target)
{
    if (sender() != reply) {
        return;
    }
    if (!isAcceptableRedirect(replyLink, target)) {
        fail(asksForTls(replyLink)
                ? VellText::tr("Downloading %1 failed: the server redirected it to %2, "
                               "which is not HTTPS.",
                    "nc")
                      .arg(replyLink.toString(), target.toString())
                : VellText::tr("Downloading %1 failed: the server redirected it to %2, "
                               "which is not plain HTTP on port 80.",
                    "nc")
                      .arg(replyLink.toString(), target.toString()));
        return;
    }
    emit reply->redirectAllowed();
}

// Certificate errors are never ignored: the download fails with the host
// and every reason the check gave.
void VellPackageDownloads::onSslErrors(const QList<QSslError> &errors)
{
    if (sender() != reply) {
        return;
    }
    QStringList reasons;
    for (const QSslError &error : errors) {
        reasons << error.errorString();
    }
    reasons.removeDuplicates();
    fail(VellText::tr("Downloading %1 failed: the certificate of %2 is not accepted: %3", "nc")
             .arg(replyLink.toString(), replyLink.host(), reasons.join(QLatin1String("; "))));
}

void VellPackageDownloads::onReadyRead()
{
    if (sender() == reply && isStoring()) {
        storeReceivedBytes();
    }
}

void VellPackageDownloads::storeReceivedBytes()
{
    stallTimer.start(stallMs);
    // An error page is read away, never stored: the reply must keep flowing
    // to its end, where the status is reported.
    if (!isSuccessStatus(statusOf(reply))) {
        reply->skip(reply->bytesAvailable());
        return;
    }
    if (current == State::Package && !answerHeadTaken && !takeAnswerHead()) {
        return;
    }
    while (reply && reply->bytesAvailable() > 0) {
        const qint64 read = reply->read(readBuffer.data(), ChunkSize);
        if (read <= 0) {
            break;
        }
        const QByteArray chunk = QByteArray::fromRawData(readBuffer.constData(), int(read));
        if (current == State::Signature
            && requestDone + chunk.size() > VellMinisignSignature::MaxFileBytes) {
            fail(VellText::tr("Downloading %1 failed: a signature is never larger than %2 bytes.",
                "signature download")
                     .arg(replyLink.toString())
                     .arg(VellMinisignSignature::MaxFileBytes));
            return;
        }
        if (!writeAll(targetFile, chunk.constData(), chunk.size())) {
            failWritingTarget();
            return;
        }
        requestDone += chunk.size();
        if (current == State::Package) {
            // The HEAD requests sized the packages alone. Bytes taken again
            // after a restart count only once they pass what was counted.
            if (requestDone > packageCounted) {
                totalDone += requestDone - packageCounted;
                packageCounted = requestDone;
            }
            emitProgress();
        }
    }
}

void VellPackageDownloads::emitProgress()
{
    int percent;
    if (totalSize > 0) {
        percent = int(qMin<qint64>(100, totalDone * 100 / totalSize));
    } else {
        // No server announced a size: count the packages completed instead.
        percent = updates.isEmpty() ? 100 : int(qint64(currentIndex) * 100 / updates.size());
    }
    emit progress(percent);
}

void VellPackageDownloads::onFinished()
{
    auto *finished = qobject_cast<QNetworkReply *>(sender());
    if (!finished) {
        return;
    }
    finished->deleteLater();
    if (finished != reply || current == State::Aborted) {
        return;
    }

    if (isStoring()
        && (finished->error() == QNetworkReply::NoError || isBrokenConnection(finished->error()))) {
        storeReceivedBytes(); // the last bytes may come with the end, or the break
        if (finished != reply) {
            return; // storing them failed
        }
    }
    // The reply has ended: there is nothing left to abort.
    stallTimer.stop();
    signatureDeadline.stop();
    reply = nullptr;

    const QVariant status = statusOf(finished);
    if (current == State::Signature && status.isValid() && !isSuccessStatus(status)) {
        // No signature on the server: nothing is stored, and the check
        // before the installation refuses the package as unsigned.
        discardTargetFile();
        nextPackage();
        return;
    }
    if (status.isValid() && !isSuccessStatus(status)) {
        fail(VellText::tr("Downloading %1 failed: the server answered %2 %3.", "nc")
                 .arg(replyLink.toString())
                 .arg(status.toInt())
                 .arg(statusReason(status.toInt(),
                     finished->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())));
        return;
    }
    if (current == State::Package && finished->error() == QNetworkReply::NoError
        && isCutShort(finished)) {
        // Qt ends some replies whose connection closed early without an error.
        if (resumePackage()) {
            return;
        }
        fail(VellText::tr("Downloading %1 failed: %2", "nc")
                 .arg(replyLink.toString(), VellText::tr("the connection closed early", "nc")));
        return;
    }
    if (finished->error() != QNetworkReply::NoError || !status.isValid()) {
        if (isBrokenConnection(finished->error()) && resumePackage()) {
            return;
        }
        fail(VellText::tr("Downloading %1 failed: %2", "nc")
                 .arg(replyLink.toString(), finished->errorString()));
        return;
    }

    if (current == State::Sizing) {
        const QVariant length = finished->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            totalSize += length.toLongLong();
        }
        ++sizedIndex;
        sizeNext();
    } else if (current == State::Package && signaturesWanted) {
        startSignature();
    } else if (isStoring()) {
        nextPackage();
    }
}

void VellPackageDownloads::onStalled()
{
    if (!reply || resumePackage()) {
        return;
    }
    fail(VellText::tr("Downloading %1 failed: the server sent nothing for %2 seconds.", "nc")
             .arg(replyLink.toString())
             .arg(stallMs / 1000.0));
}

void VellPackageDownloads::onSignatureDeadline()
{
    if (!reply || current != State::Signature) {
        return;
    }
    fail(VellText::tr("Downloading %1 failed: the signature did not arrive within %2 seconds.",
        "signature download")
             .arg(replyLink.toString())
             .arg(signatureDeadlineMs / 1000.0));
}

void VellPackageDownloads::fail(const QString &reason)
{
    if (current == State::Aborted) {
        return;
    }
    const bool insideReplySignal = qobject_cast<QNetworkReply *>(sender()) != nullptr;
    detachReply();
    discardTargetFile();
    current = State::Idle;
    if (insideReplySignal) {
        reportLaterUnlessSuperseded(reason);
    } else {
        emit failed(reason);
    }
}

// Inside one of the reply's own signals the network code is still on the
// stack; the windows answer a failure with a modal box, whose event loop
// would delete the reply under it. The failure waits until that code has
// returned, and is dropped after an abort or in a run begun again meanwhile.
void VellPackageDownloads::reportLaterUnlessSuperseded(const QString &reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, reason, failedRun = run] {
            if (current != State::Aborted && failedRun == run) {
                emit failed(reason);
            }
        },
        Qt::QueuedConnection);
}

// Stops the request in progress without letting its last signals reach us.
void VellPackageDownloads::detachReply()
{
    stallTimer.stop();
    signatureDeadline.stop();
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
void VellPackageDownloads::discardTargetFile()
{
    if (targetFile.isOpen()) {
        targetFile.close();
        QFile::remove(targetPath);
    }
}
