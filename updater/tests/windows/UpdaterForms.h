#ifndef UPDATERFORMS_H
#define UPDATERFORMS_H

#include <QString>
#include <QStringList>

class QWidget;

/** The object names of the updater's forms on screen ("Updater_..."). */
QStringList visibleForms();

/** The visible top-level window of that object name, or nullptr. */
QWidget *topLevel(const QString &formName);

/** Lets queued deletions run, so that closed windows and their controllers are gone. */
void settle();

#endif // UPDATERFORMS_H
