// Real hosts install a non-fatal X error handler; the framework installs one
// only in stand-alone applications. Without a window manager (as under Xvfb),
// the framework's queries of window-manager properties raise BadAtom, and
// Xlib's default handler would end the process.
#include "HostXErrors.h"

#include <X11/Xlib.h>

namespace vrctest
{

namespace
{
int ignoreXError (Display*, XErrorEvent*)
{
    return 0;
}
} // namespace

void tolerateXErrorsLikeAHost()
{
    XSetErrorHandler (ignoreXError);
}

} // namespace vrctest
