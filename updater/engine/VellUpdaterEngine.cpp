#include "VellUpdaterEngine.h"

#include "Update.h"
#include "VellClientQuery.h"
#include "VellQueryExchange.h"
#include "VellText.h"
#include "VellTrustedKeys.h"
#include "VellUpdateServerAddress.h"
#include "VellUserPrompt.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace {

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

    connect(
        &downloads, &VellPackageDownloads::progress, this, &VellUpdaterEngine::downloadProgress);
    connect(
        &downloads, &VellPackageDownloads::packageStarted, this, &VellUpdaterEngine::downloadFile);
    connect(
        &downloads, &VellPackageDownloads::finished, this, &VellUpdaterEngine::downloadFinished);
    connect(&downloads, &VellPackageDownloads::failed, this, &VellUpdaterEngine::error);
    connect(&installRun, &VellInstallRun::progress, this, &VellUpdaterEngine::installProgress);
    connect(&installRun, &VellInstallRun::fileStarted, this, &VellUpdaterEngine::installFile);
    connect(&installRun, &VellInstallRun::finished, this, &VellUpdaterEngine::takeInstallOutcome);
}

VellUpdaterEngine::~VellUpdaterEngine()
{
    clearUpdates();
}

void VellUpdaterEngine::setUserPrompt(VellUserPrompt *prompt)
{
    this->prompt = prompt ? prompt : &nobodyToAsk;
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
    QString clientError;
    const QByteArray query = VellClientQuery::read(clientProgram, &clientError);
    if (query.isEmpty()) {
        // Without a query the server has nothing to answer.
        prompt->tellError(VellText::tr("Check updates", "nc"), clientError);
        return false;
    }
    // The query names what is installed: the install run refuses downgrades against it.
    installRun.setInstalledVersions(VellInstalledVersions::fromQuery(query));

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
    return installRun.log();
}

void VellUpdaterEngine::keepOnlyUpdates(const QVector<Update *> &kept)
{
    QVector<Update *> remaining;
    for (Update *update : qAsConst(updates)) {
        if (kept.contains(update)) {
            remaining.append(update);
        } else {
            delete update;
        }
    }
    updates = remaining;
}

void VellUpdaterEngine::clearUpdates()
{
    qDeleteAll(updates);
    updates.clear();
}

VellUpdaterEngine::State VellUpdaterEngine::downloadState() const
{
    switch (downloads.state()) {
    case VellPackageDownloads::State::Sizing:
        return Sizing;
    case VellPackageDownloads::State::Package:
    case VellPackageDownloads::State::Signature:
        return Downloading;
    case VellPackageDownloads::State::Aborted:
        return Aborted;
    case VellPackageDownloads::State::Idle:
        break;
    }
    return Idle;
}

void VellUpdaterEngine::beginDownload()
{
    if (!downloads.isBusy()) {
        // Servers without signatures keep working for installations without keys.
        downloads.start(
            updates, workDir, VellTrustedKeys::fromFolder(trustedKeysFolder).signaturesRequired());
    }
}

void VellUpdaterEngine::abortDownload()
{
    downloads.abort();
}

void VellUpdaterEngine::installUpdates()
{
    installSucceeded = false;
    installRun.run(updates, workDir, trustedKeysFolder, *prompt);
}

// Before installFinished goes out: its listeners read the outcome.
void VellUpdaterEngine::takeInstallOutcome()
{
    installSucceeded = installRun.succeeded();
    emit installFinished();
}
