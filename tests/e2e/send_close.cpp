// send_close: asks an X window to close, as a window manager's close button does.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

const int ID_BASE = 0; // the window id may be written in decimal or as 0x...

int main(int argc, char *argv[])
{
    if (argc != 2) {
        fprintf(stderr, "usage: send_close WINDOW_ID\n");
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "send_close: cannot open the display\n");
        return 1;
    }
    Window window = strtoul(argv[1], NULL, ID_BASE);

    // A WM_PROTOCOLS message naming WM_DELETE_WINDOW, sent to the window's own client.
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
