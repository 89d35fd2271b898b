#include "VellXServerGrab.h"

#include <X11/Xlib.h>

VellXServerGrab::VellXServerGrab(Display *display)
    : display(display)
{
    XGrabServer(display);
}

VellXServerGrab::~VellXServerGrab()
{
    XUngrabServer(display);
    XFlush(display);
}
