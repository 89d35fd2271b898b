#ifndef VELLFORMLOADER_H
#define VELLFORMLOADER_H

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

/**
 * Loads one of the updater's compiled-in forms and looks up the widgets its
 * controller needs. A form or widget that is missing means a broken build,
 * not a user error: the loader collects what it could not find, so that the
 * controller can report it once and give up cleanly.
 *
 * The loader owns the form until takeForm() hands it over.
 */
class VellFormLoader
{
public:
    explicit VellFormLoader(const QString &resourcePath);
    ~VellFormLoader();
    VellFormLoader(const VellFormLoader &) = delete;
    VellFormLoader &operator=(const VellFormLoader &) = delete;

    /** The child widget of that object name and type, or nullptr (then recorded as missing). */
    template<class T>
    T *find(const char *objectName)
    {
        T *child = form ? form->findChild<T *>(QLatin1String(objectName)) : nullptr;
        if (!child && form)
            missing << QLatin1String(objectName);
        return child;
    }

    /** True when the form loaded and every find() succeeded. */
    bool isComplete() const;
    /** What went wrong, for the user; empty when complete. */
    QString errorString() const;
    /** Hands the loaded top-level form to the caller. */
    QWidget *takeForm();

    /**
     * Tells the user that a window of the updater cannot be shown, deletes the
     * controller and ends the program with status 1 once the event loop runs.
     */
    static void abandon(QObject *controller, const QString &errorText);

private:
    QString path;
    std::unique_ptr<QWidget> form;
    QString loadError;
    QStringList missing;
};

#endif // VELLFORMLOADER_H
