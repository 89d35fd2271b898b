#include "VellUpdatePackage.h"

#include "Update.h"

VellUpdatePackage::VellUpdatePackage(Update *update)
    : update(update)
{ }

VellUpdatePackage::VellUpdatePackage(Update *update, QString const &installDir)
    : update(update)
    , installDir(installDir)
{ }

bool VellUpdatePackage::install(QString const &, QString &, QStringList &)
{
    return false;
}

bool VellUpdatePackage::unwind(QString const &)
{
    return true;
}
