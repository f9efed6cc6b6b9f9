// The full-screen question on X11: a small dialog of our own, with Yes and No buttons,
// keys for both and No the default; the terminal asks when there is no display.
#include "../presentation.h"
#include "../question.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

// Dialog layout in pixels: the question's line above two buttons side by side.
const int DIALOG_W = 240;
const int DIALOG_H = 96;
const int TEXT_BASELINE = 34;
const int BUTTON_W = 72;
const int BUTTON_H = 26;
const int BUTTON_GAP = 24;
const int BUTTON_TOP = 54;
const int YES_LEFT = (DIALOG_W - 2 * BUTTON_W - BUTTON_GAP) / 2;
const int NO_LEFT = YES_LEFT + BUTTON_W + BUTTON_GAP;
const int FOCUS_INSET = 2;     // the focused button's inner frame lies this far inside
const int FALLBACK_CHAR_W = 6; // text width per character when no font loads
const int LINE_W = 1;          // the frames' lines
const int FONT_NAME_MAX = 64;  // room for a font's name with its size
// Fonts to try in turn, by name and size at 1x; every X server has "fixed".
struct FontChoice {
    const char *name;
    int size;
};
const FontChoice FONTS[] = {
    {"-*-helvetica-medium-r-normal--%d-*-*-*-*-*-*-*", 12},
    {"-misc-fixed-medium-r-semicondensed--%d-*-*-*-*-*-iso8859-1", 13},
    {"-misc-fixed-medium-r-normal--%d-*-*-*-*-*-iso8859-1", 10},
    {"fixed", 0},
};

enum Answer { ANSWER_NONE, ANSWER_YES, ANSWER_NO };
enum Button { BUTTON_NONE, BUTTON_YES, BUTTON_NO };

static Display *display;
static Window window;
static GC gc;
static XFontStruct *font;
static Atom delete_window;
static Button focus = BUTTON_NO;   // No is the default
static Button armed = BUTTON_NONE; // button under a press of the left mouse button
static KeySym held_key = NoSymbol; // keys answer on release, once pressed here
static bool has_keyboard;          // the dialog has had the input focus
static int scale = 1;              // the desktop's: every size above is multiplied by it

// A size of the layout at the desktop's scale.
static int px(int size)
{
    return size * scale;
}

// Xlib would exit through atexit handlers that talk to the lost server and hang there.
static int lose_display(Display *)
{
    static const char message[] = "Lost the connection to the X display\n";
    ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    _exit(1);
}

// A window manager may reparent, hide or focus the dialog at any moment, so a request
// about it can fail through no fault of ours (focusing it before it is viewable, say).
// No such error harms a dialog: let them all pass rather than exit as Xlib would.
static int let_error_pass(Display *, XErrorEvent *)
{
    return 0;
}

static void set_atom_property(const char *property, Atom type, int format,
                              const unsigned char *data, int count)
{
    XChangeProperty(display, window, XInternAtom(display, property, False), type, format,
                    PropModeReplace, data, count);
}

// A fixed-size dialog in the middle of the screen that closes like any other window.
static void describe_window()
{
    XSizeHints *size = XAllocSizeHints();
    if (size) {
        size->flags = PPosition | PSize | PMinSize | PMaxSize;
        size->min_width = size->max_width = px(DIALOG_W);
        size->min_height = size->max_height = px(DIALOG_H);
        XSetWMNormalHints(display, window, size);
        XFree(size);
    }
    XWMHints wm = {};
    wm.flags = InputHint;
    wm.input = True;
    XSetWMHints(display, window, &wm);
    char name[] = "zavit";
    char class_name[] = "Zavit";
    XClassHint class_hint = {name, class_name};
    XSetClassHint(display, window, &class_hint);

    XStoreName(display, window, QUESTION_TITLE);
    set_atom_property("_NET_WM_NAME", XInternAtom(display, "UTF8_STRING", False), 8,
                      reinterpret_cast<const unsigned char *>(QUESTION_TITLE),
                      static_cast<int>(strlen(QUESTION_TITLE)));
    Atom dialog_type = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    set_atom_property("_NET_WM_WINDOW_TYPE", XA_ATOM, 32,
                      reinterpret_cast<const unsigned char *>(&dialog_type), 1);
    delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &delete_window, 1);
}

static void load_font()
{
    for (const FontChoice &choice : FONTS) {
        char name[FONT_NAME_MAX];
        snprintf(name, sizeof name, choice.name, px(choice.size));
        if (!font)
            font = XLoadQueryFont(display, name);
    }
}

static void open_dialog()
{
    int number = DefaultScreen(display);
    int left = (DisplayWidth(display, number) - px(DIALOG_W)) / 2;
    int top = (DisplayHeight(display, number) - px(DIALOG_H)) / 2;
    window = XCreateSimpleWindow(display, RootWindow(display, number), left, top, px(DIALOG_W),
                                 px(DIALOG_H), px(LINE_W), BlackPixel(display, number),
                                 WhitePixel(display, number));
    describe_window();
    XSelectInput(display, window,
                 ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                     ButtonReleaseMask | StructureNotifyMask | FocusChangeMask);
    XkbSetDetectableAutoRepeat(display, True, NULL);

    gc = XCreateGC(display, window, 0, NULL);
    XSetForeground(display, gc, BlackPixel(display, number));
    XSetLineAttributes(display, gc, static_cast<unsigned>(px(LINE_W)), LineSolid, CapButt,
                       JoinMiter);
    load_font();
    if (font)
        XSetFont(display, gc, font->fid);
    XMapRaised(display, window);
}

// Takes the keyboard, which no window manager may give the dialog, once it can be seen: a
// manager that has not shown it yet refuses, harmlessly, and the next exposure tries again.
static void take_keyboard()
{
    if (!has_keyboard)
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
}

static int button_left(Button button)
{
    return px(button == BUTTON_YES ? YES_LEFT : NO_LEFT);
}

// The button under a point of the dialog, edges included.
static Button button_at(int x, int y)
{
    if (y < px(BUTTON_TOP) || y > px(BUTTON_TOP + BUTTON_H))
        return BUTTON_NONE;
    if (x >= px(YES_LEFT) && x <= px(YES_LEFT + BUTTON_W))
        return BUTTON_YES;
    if (x >= px(NO_LEFT) && x <= px(NO_LEFT + BUTTON_W))
        return BUTTON_NO;
    return BUTTON_NONE;
}

static void draw_centred(const char *text, int centre, int baseline)
{
    int length = static_cast<int>(strlen(text));
    int width = font ? XTextWidth(font, text, length) : length * px(FALLBACK_CHAR_W);
    XDrawString(display, window, gc, centre - width / 2, baseline, text, length);
}

// The focused button has a second frame inside its own.
static void draw_button(Button button, const char *label)
{
    int left = button_left(button);
    int top = px(BUTTON_TOP);
    int width = px(BUTTON_W);
    int height = px(BUTTON_H);
    XDrawRectangle(display, window, gc, left, top, width, height);
    int inset = px(FOCUS_INSET);
    if (button == focus)
        XDrawRectangle(display, window, gc, left + inset, top + inset, width - 2 * inset,
                       height - 2 * inset);
    int ascent = font ? font->ascent : height / 2;
    draw_centred(label, left + width / 2, top + (height + ascent) / 2 - 1);
}

static void draw_dialog()
{
    XClearWindow(display, window);
    draw_centred(QUESTION_TEXT, px(DIALOG_W) / 2, px(TEXT_BASELINE));
    draw_button(BUTTON_YES, "Yes");
    draw_button(BUTTON_NO, "No");
    XFlush(display);
}

// Tab, Shift+Tab and the arrow keys move the focus; with two buttons any move swaps it.
static bool moves_focus(KeySym key)
{
    return key == XK_Tab || key == XK_ISO_Left_Tab || key == XK_Left || key == XK_Right ||
           key == XK_Up || key == XK_Down;
}

// Y and N answer directly, Escape means No, and Return, keypad Enter or space press the
// focused button.
static Answer answer_for_key(KeySym key)
{
    if (key == XK_y || key == XK_Y)
        return ANSWER_YES;
    if (key == XK_n || key == XK_N || key == XK_Escape)
        return ANSWER_NO;
    if (key == XK_Return || key == XK_KP_Enter || key == XK_space)
        return focus == BUTTON_YES ? ANSWER_YES : ANSWER_NO;
    return ANSWER_NONE;
}

// Keys move the focus when pressed and answer when released, so that no release
// meant for the dialog reaches the window that opens after it.
static Answer answer_for_key_event(XKeyEvent &event)
{
    KeySym key = XLookupKeysym(&event, 0);
    if (event.type == KeyRelease)
        return key == held_key ? answer_for_key(key) : ANSWER_NONE;
    held_key = key;
    if (moves_focus(key)) {
        focus = focus == BUTTON_YES ? BUTTON_NO : BUTTON_YES;
        draw_dialog();
    }
    return ANSWER_NONE;
}

// A click answers when the left button goes down and comes up on the same button.
static Answer answer_for_click(const XButtonEvent &event)
{
    Button under = event.button == Button1 ? button_at(event.x, event.y) : BUTTON_NONE;
    if (event.type == ButtonPress) {
        armed = under;
        return ANSWER_NONE;
    }
    if (under == BUTTON_NONE || under != armed)
        return ANSWER_NONE;
    return under == BUTTON_YES ? ANSWER_YES : ANSWER_NO;
}

static Answer answer_for_event(XEvent &event)
{
    switch (event.type) {
    case Expose:
        take_keyboard();
        if (event.xexpose.count == 0)
            draw_dialog();
        return ANSWER_NONE;
    case MapNotify:
        take_keyboard();
        return ANSWER_NONE;
    case FocusIn:
        has_keyboard = has_keyboard || event.xfocus.detail != NotifyPointer;
        return ANSWER_NONE;
    case KeyPress:
    case KeyRelease:
        return answer_for_key_event(event.xkey);
    case ButtonPress:
    case ButtonRelease:
        return answer_for_click(event.xbutton);
    case ClientMessage:
        return static_cast<Atom>(event.xclient.data.l[0]) == delete_window ? ANSWER_NO
                                                                           : ANSWER_NONE;
    default:
        return ANSWER_NONE;
    }
}

static void close_dialog()
{
    if (font)
        XFreeFont(display, font);
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    display = NULL;
}

bool ask_fullscreen()
{
    // A write to a lost server must fail and reach lose_display, not end us by SIGPIPE unsaid.
    signal(SIGPIPE, SIG_IGN);
    XSetIOErrorHandler(lose_display);
    display = XOpenDisplay(NULL);
    if (!display)
        return ask_on_terminal();
    XErrorHandler before = XSetErrorHandler(let_error_pass);
    scale = desktop_scale();
    open_dialog();
    Answer answer = ANSWER_NONE;
    while (answer == ANSWER_NONE) {
        XEvent event;
        XNextEvent(display, &event);
        answer = answer_for_event(event);
    }
    close_dialog();
    XSetErrorHandler(before);
    return answer == ANSWER_YES;
}
