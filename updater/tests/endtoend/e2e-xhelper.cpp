// Small X11 helper for the end-to-end run and the demo, which have no other
// way to look at the updater's windows from a shell:
//   e2e-xhelper screenshot FILE.png [WINDOW]
//                                     saves the whole screen, or what the
//                                     screen shows of one window (an X id)
//   e2e-xhelper clipboard             prints the clipboard's text

#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QTextStream err(stderr);
    if ((arguments.size() == 3 || arguments.size() == 4)
        && arguments.at(1) == QLatin1String("screenshot")) {
        bool isWindowId = true;
        const WId window = arguments.size() == 4 ? arguments.at(3).toULongLong(&isWindowId) : 0;
        if (!isWindowId) {
            err << "e2e-xhelper: not a window id: " << arguments.at(3) << '\n';
            return 2;
        }
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(window);
        if (screen.isNull() || !screen.save(arguments.at(2), "PNG")) {
            err << "e2e-xhelper: cannot save " << arguments.at(2) << '\n';
            return 1;
        }
        return 0;
    }
    if (arguments.size() == 2 && arguments.at(1) == QLatin1String("clipboard")) {
        QTextStream(stdout) << QGuiApplication::clipboard()->text();
        return 0;
    }
    err << "usage: e2e-xhelper screenshot FILE.png [WINDOW] | e2e-xhelper clipboard\n";
    return 2;
}
