#ifndef VELLTEXT_H
#define VELLTEXT_H

#include <QCoreApplication>

/**
 * The one way the updater translates a text it sets in code:
 * VellText::tr("Could not remove %1", "error while installing a package").
 *
 * Every such text lives in the catalogue context "translation", with the
 * comment telling the translator where it appears. The macro gives lupdate
 * that context, so the catalogue can be checked against the sources; a local
 * wrapper around QCoreApplication::translate() would hide the texts from it.
 */
class VellText
{
    Q_DECLARE_TR_FUNCTIONS(translation)

public:
    VellText() = delete;
};

#endif // VELLTEXT_H
