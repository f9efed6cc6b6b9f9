// What the program asks of the platform before SDL starts: the full-screen question (a
// message box on Windows, a small dialog of our own on X11, the terminal without a
// display) and whether the display draws OpenGL on a GPU.
#include "question.h"

#include "dialog.h"

#ifdef _WIN32
#include <windows.h>

bool display_has_gpu()
{
    return true;
}

bool ask_fullscreen()
{
    return MessageBoxA(NULL, QUESTION_TEXT, QUESTION_TITLE, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

#else
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

const int FALLBACK_CHAR_W = 6; // text width per character when no font loads
// Server extensions through which OpenGL reaches a GPU.
const char *const GPU_EXTENSIONS[] = {"DRI3", "DRI2", "NV-GLX"};
// Fonts to try in turn; every X server has "fixed".
const char *const FONT_NAMES[] = {
    "-*-helvetica-medium-r-normal--12-*-*-*-*-*-*-*",
    "fixed",
};

static Display *display;
static Window window;
static GC gc;
static XFontStruct *font;
static Atom delete_window;
static Button focus = DEFAULT_BUTTON;
static Button armed = BUTTON_NONE; // button under a press of the left mouse button
static KeySym held_key = NoSymbol; // keys answer on release, once pressed here
static bool gpu_found;             // learnt from the display the question is asked on

// Xlib would exit through atexit handlers that talk to the lost server and hang there.
static int lose_display(Display *)
{
    static const char message[] = "Lost the connection to the X display\n";
    ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    _exit(1);
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
        size->min_width = size->max_width = DIALOG_W;
        size->min_height = size->max_height = DIALOG_H;
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

static void open_dialog()
{
    int number = DefaultScreen(display);
    int left = (DisplayWidth(display, number) - DIALOG_W) / 2;
    int top = (DisplayHeight(display, number) - DIALOG_H) / 2;
    window =
        XCreateSimpleWindow(display, RootWindow(display, number), left, top, DIALOG_W, DIALOG_H, 1,
                            BlackPixel(display, number), WhitePixel(display, number));
    describe_window();
    XSelectInput(display, window,
                 ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                     ButtonReleaseMask | StructureNotifyMask);
    XkbSetDetectableAutoRepeat(display, True, NULL);

    gc = XCreateGC(display, window, 0, NULL);
    XSetForeground(display, gc, BlackPixel(display, number));
    for (const char *name : FONT_NAMES) {
        if (!font)
            font = XLoadQueryFont(display, name);
    }
    if (font)
        XSetFont(display, gc, font->fid);
    XMapRaised(display, window);
}

static void draw_centred(const char *text, int centre, int baseline)
{
    int length = static_cast<int>(strlen(text));
    int width = font ? XTextWidth(font, text, length) : length * FALLBACK_CHAR_W;
    XDrawString(display, window, gc, centre - width / 2, baseline, text, length);
}

// The focused button has a second frame inside its own.
static void draw_button(Button button, const char *label)
{
    int left = button_left(button);
    XDrawRectangle(display, window, gc, left, BUTTON_TOP, BUTTON_W, BUTTON_H);
    if (button == focus)
        XDrawRectangle(display, window, gc, left + 2, BUTTON_TOP + 2, BUTTON_W - 4, BUTTON_H - 4);
    int ascent = font ? font->ascent : BUTTON_H / 2;
    draw_centred(label, left + BUTTON_W / 2, BUTTON_TOP + (BUTTON_H + ascent) / 2 - 1);
}

static void draw_dialog()
{
    XClearWindow(display, window);
    draw_centred(QUESTION_TEXT, DIALOG_W / 2, TEXT_BASELINE);
    draw_button(BUTTON_YES, "Yes");
    draw_button(BUTTON_NO, "No");
    XFlush(display);
}

// Keys move the focus when pressed and answer when released, so that no release
// meant for the dialog reaches the window that opens after it.
static Answer answer_for_key_event(XKeyEvent &event)
{
    KeySym key = XLookupKeysym(&event, 0);
    if (event.type == KeyRelease)
        return key == held_key ? answer_for_key(key, focus) : ANSWER_NONE;
    held_key = key;
    Button moved = focus_after_key(key, focus);
    if (moved != focus) {
        focus = moved;
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
        if (event.xexpose.count == 0)
            draw_dialog();
        return ANSWER_NONE;
    case MapNotify:
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
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

// Without a display the terminal asks, if there is one to ask on; otherwise the answer is No.
static bool ask_on_terminal()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO))
        return false;
    fprintf(stderr, "Notice: %s [y/N] ", QUESTION_TEXT);
    char line[64];
    if (!fgets(line, sizeof line, stdin)) {
        fputc('\n', stderr);
        return false;
    }
    return typed_yes(line);
}

// Mesa draws OpenGL on a GPU only through the server's DRI3 or DRI2, NVIDIA's driver
// through NV-GLX; a server with none of them gets OpenGL drawn on the CPU.
static bool server_has_gpu()
{
    bool found = false;
    for (const char *name : GPU_EXTENSIONS) {
        int opcode = 0;
        int event = 0;
        int error = 0;
        found = found || XQueryExtension(display, name, &opcode, &event, &error);
    }
    return found;
}

bool display_has_gpu()
{
    return gpu_found;
}

bool ask_fullscreen()
{
    XSetIOErrorHandler(lose_display);
    display = XOpenDisplay(NULL);
    if (!display)
        return ask_on_terminal();
    gpu_found = server_has_gpu();
    open_dialog();
    Answer answer = ANSWER_NONE;
    while (answer == ANSWER_NONE) {
        XEvent event;
        XNextEvent(display, &event);
        answer = answer_for_event(event);
    }
    close_dialog();
    return answer == ANSWER_YES;
}
#endif
