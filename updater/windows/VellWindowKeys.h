#ifndef VELLWINDOWKEYS_H
#define VELLWINDOWKEYS_H

#include <QList>

#include <functional>

class QWidget;

/**
 * Keys that act on a whole window, whichever of its widgets has the focus:
 * the updater's forms are plain widgets, not dialogs, so Return and Escape
 * mean nothing to them unless the controller says what they do.
 */
class VellWindowKeys
{
public:
    VellWindowKeys() = delete;

    /** Return and the keypad's Enter. */
    static QList<int> confirm();
    /** Escape. */
    static QList<int> dismiss();

    /** Runs action when one of keys is pressed while window is active. */
    static void bind(QWidget *window, const QList<int> &keys, const std::function<void()> &action);
};

#endif // VELLWINDOWKEYS_H
