#ifndef VELLPORTALSCREENSHOT_H
#define VELLPORTALSCREENSHOT_H

#include "VellSnapWidgetsExport.h"

#include <QImage>
#include <QString>

// A screenshot taken through the desktop's screenshot portal, the only way a
// program sees other windows' pixels in a Wayland session. The call waits in
// a local event loop, so the GUI thread keeps serving events, until the
// portal answers or the deadline passes.
class VELL_SNAPWIDGETS_EXPORT VellPortalScreenshot
{
public:
    // A Wayland session: WAYLAND_DISPLAY is set or Qt runs on its Wayland
    // platform (Qt may also run through Xwayland there).
    static bool isWaylandSession();

    // The picture of the whole desktop in the compositor's device pixels
    // (interactive: what the user picks in the portal's own dialog), or a
    // null image with the reason in `errorText`. The portal's file is removed
    // when it lies in a folder of the session's runtime directory, which the
    // portal made for us; files elsewhere (the user's pictures) are left.
    static QImage take(bool interactive, QString *errorText = nullptr);

    // How long take() waits for the portal's answer; 10 s unless changed.
    static void setDeadline(int milliseconds);
    static int deadline();
};

#endif // VELLPORTALSCREENSHOT_H
