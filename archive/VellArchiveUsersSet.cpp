#include "VellArchiveUsersSet.h"

namespace VellArchive {

QString VellArchiveUsersSet::generateKey(
    const QString &uid, const QString &protocol, int ownerIndex) const
{
    // Joined without these marks, "ab" + "c" and "a" + "bc" (or protocol "p1"
    // with owner 2 and "p" with owner 12) would share a key, and one contact's
    // messages would be stored under the other's row.
    return QString::number(uid.size()) + QLatin1Char(':') + uid + protocol + QLatin1Char('/')
        + QString::number(ownerIndex);
}

bool VellArchiveUsersSet::isUser(int index) const
{
    return findUser(index) != entries.constEnd();
}

bool VellArchiveUsersSet::isUser(const QString &uid, const QString &protocol, int ownerIndex) const
{
    return entries.contains(generateKey(uid, protocol, ownerIndex));
}

int VellArchiveUsersSet::getUserIndex(
    const QString &uid, const QString &protocol, int ownerIndex) const
{
    const auto it = entries.constFind(generateKey(uid, protocol, ownerIndex));
    return it == entries.constEnd() ? 0 : it->getIndex();
}

bool VellArchiveUsersSet::getUserData(
    int index, QString *uid, QString *protocol, int *ownerIndex) const
{
    const auto it = findUser(index);
    if (it == entries.constEnd()) {
        return false;
    }
    if (uid) {
        *uid = it->getID();
    }
    if (protocol) {
        *protocol = it->getProtocolID();
    }
    if (ownerIndex) {
        *ownerIndex = it->getOwnerIndex();
    }
    return true;
}

bool VellArchiveUsersSet::addUser(
    int index, const QString &uid, const QString &protocol, int ownerIndex)
{
    const QString key = generateKey(uid, protocol, ownerIndex);
    if (entries.contains(key) || keysByIndex.contains(index)) {
        return false;
    }
    entries.insert(key, VellArchiveUser(index, uid, protocol, ownerIndex));
    keysByIndex.insert(index, key);
    return true;
}

bool VellArchiveUsersSet::removeUser(const QString &uid, const QString &protocol, int ownerIndex)
{
    const auto it = entries.find(generateKey(uid, protocol, ownerIndex));
    if (it == entries.end()) {
        return false;
    }
    keysByIndex.remove(it->getIndex());
    entries.erase(it);
    return true;
}

bool VellArchiveUsersSet::removeUser(int index)
{
    QString uid;
    QString protocol;
    int ownerIndex = 0;
    return getUserData(index, &uid, &protocol, &ownerIndex)
        && removeUser(uid, protocol, ownerIndex);
}

void VellArchiveUsersSet::clear()
{
    entries.clear();
    keysByIndex.clear();
}

QHash<QString, VellArchiveUser>::const_iterator VellArchiveUsersSet::findUser(int index) const
{
    const auto key = keysByIndex.constFind(index);
    return key == keysByIndex.constEnd() ? entries.constEnd() : entries.constFind(*key);
}

} // namespace VellArchive
