#ifndef VELLXSERVERGRAB_H
#define VELLXSERVERGRAB_H

typedef struct _XDisplay Display;

// Holds the X server grabbed for its lifetime, so that no other client changes
// the window stack while we look at it. The ungrab is flushed at once: Xlib
// would otherwise keep it buffered until our next request, and every other
// client would wait until then.
class VellXServerGrab
{
public:
    explicit VellXServerGrab(Display *display);
    ~VellXServerGrab();

    VellXServerGrab(const VellXServerGrab &) = delete;
    VellXServerGrab &operator=(const VellXServerGrab &) = delete;

private:
    Display *display;
};

#endif // VELLXSERVERGRAB_H
