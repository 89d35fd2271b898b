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

/**
 * The top-level windows that still exist, shown or hidden, by object name
 * (class name when they have none). Call settle() first: a window closed a
 * moment ago is deleted only when queued deletions run.
 */
QStringList topLevelWindows();

/**
 * For a test's cleanup(): the windows the test left behind (topLevelWindows()
 * after settle()), which are then closed. They are named before anything is
 * closed, so a leak is seen; closing them afterwards keeps it from failing
 * the tests that follow as well.
 */
QStringList takeWindowsLeftBehind();

#endif // UPDATERFORMS_H
