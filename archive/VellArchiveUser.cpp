#include "VellArchiveUser.h"

#include <QLatin1String>

namespace VellArchive {

VellArchiveUser::VellArchiveUser()
    : VellArchiveUser(0, QLatin1String(""), QLatin1String(""), 0)
{ }

VellArchiveUser::VellArchiveUser(
    int index, const QString &id, const QString &protocolId, int ownerIndex)
    : index(index)
    , id(id)
    , protocolId(protocolId)
    , ownerIndex(ownerIndex)
{ }

bool VellArchiveUser::compare(const QString &id, const QString &protocolId, int ownerIndex) const
{
    return this->id == id && this->protocolId == protocolId && this->ownerIndex == ownerIndex;
}

} // namespace VellArchive
