"""Where zavit runs, each an X screen seen by its pixels and driven by xdotool (see DESKTOPS)."""

import collections
import contextlib
import functools
import glob
import http.server
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import pytest
from PIL import Image, ImageFilter
from Xlib import X, display, error, protocol

WAIT, POLL, HOLD = 30, 0.05, 0.3  # seconds: the longest wait, between two looks, a key held
WINDOW, SCREEN, HOST = (320, 240), (1024, 768), (2048, 1536)  # zavit's; a screen at 1x, 2x
WHITE, BLACK = (255, 255, 255), (0, 0, 0)
SOURCE = ["dpkg-query", "-Wf", "${source:Package}", "libsdl2-2.0-0"]  # SDL 2's, or SDL 3's shim
SDL3 = b"sdl2-compat" in subprocess.run(SOURCE, capture_output=True).stdout
# How a desktop starts, its scale, and the tags of the rows that run there (see ROWS): wm where a
# window manager gives full screen; wayland where SDL 3 draws zavit's window itself, kwin then on
# its X11 backend, in an X screen of its own.
Desktop = collections.namedtuple("Desktop", "command scale tags")
KWIN = "./kwin_wayland --xwayland --width 1024 --height 768 --scale 2 "
KWIN_TAGS = "kwin_2x wm " + ("wayland" if SDL3 else "x")
KWIN_OUTPUTS = """[{"name": "outputs", "data": [{"connectorName": "X11-0", "scale": 2}]},
    {"name": "setups", "data": []}]"""
DESKTOPS = {
    "openbox": Desktop("openbox", 1, "openbox wm x x11"),
    "none": Desktop("", 1, "none x"),
    "kwin_2x": Desktop(KWIN + ("--x11-display $HOST" if SDL3 else "--virtual"), 2, KWIN_TAGS),
}
# Each compositor runs in namespaces of its own: its network for XWayland's abstract sockets,
# its /proc, its X sockets; the locks its X server leaves in the shared /tmp go with it.
OWN_X = (
    "mount --make-rprivate / 2>/dev/null; mount -t proc proc /proc && mkdir -p /tmp/.X11-unix"
    ' && mount -t tmpfs tmpfs /tmp/.X11-unix -o mode=1777 && "$@"; s=$?; cd /tmp/.X11-unix'
    ' && for x in X*; do [ -S "$x" ] && rm -f "../.$x-lock"; done; exit $s'
)
ESCAPES = re.compile(r"\x1b(\[[0-?]*[ -/]*[@-~]|\][^\x07]*\x07|[()][0-9A-Z]|[=>])")  # a terminal's
# Chromium as a person opens the page, as root; its console lines go to standard error.
BROWSER = "chromium --no-sandbox --test-type --no-first-run --enable-logging=stderr --v=0"
PAGE_ROOM = (800, 600)  # the browser window's inside, in device pixels
CONSOLE = re.compile(r':CONSOLE[^\]]*\] "(.*)", source: ')
NOISE = "SDL_Quit called (and ignored)"  # the SDL emulation's, not the page's
POLICIES = {  # a careful host's, for a page asked as ?csp=NAME; one without WebAssembly
    "strict": "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'",
    "no-wasm": "default-src 'self'",
}
FRAME = (  # a host page, grey around the frame, named for its window
    "<title>host</title><style>* {{ margin: 0; border: 0; background: #888 }}</style>"
    "<iframe src={} width={} height={} allow=fullscreen>"
)
ENDED = re.compile(r"zavit has ended \(status (\d+)\)\. Reload the page")  # the page's own


def pytest_addoption(parser):
    parser.addoption("--desktop", choices=DESKTOPS, default="openbox")
    parser.addoption("--build", choices=("classic", "windows", "web"), help="not sdl12-compat")
    parser.addoption("--ratio", type=float, default=1, help="the page's device pixel ratio")
    parser.addoption("--beside", action="append", default=[], help="copied beside the program")
    parser.addoption("--program", help="the command that starts zavit, or the page's folder")


def pytest_configure(config):
    name = config.option.desktop
    wayland = " " in DESKTOPS[name].command
    if wayland and not os.environ.get("OWN_X"):
        unshare = "unshare -nmpf --kill-child --propagation unchanged sh -c".split()
        command = [OWN_X, "sh", sys.executable, "-m", "pytest", *sys.argv[1:]]
        os.execvpe("unshare", unshare + command, dict(os.environ, OWN_X="1"))


def poll(test, what, run=None):
    """TEST's first true result, while RUN runs; X errors count as not yet."""
    end = time.monotonic() + WAIT
    while time.monotonic() < end and not (run and run.status() is not None):
        with contextlib.suppress(error.XError):
            if found := test():
                return found
        time.sleep(POLL)
    ended = f" (ended: {run.status()})" if run and run.status() is not None else ""
    raise AssertionError(what + ended)


def colours(image):
    return {colour for _, colour in image.getcolors(image.width * image.height)}


def prop(w, name):
    value = w.get_full_property(w.display.get_atom(name), X.AnyPropertyType)
    return value.value if value else []


def find(w, title):
    """The deepest viewable window named TITLE at or under W: the client, not its frame."""
    for child in w.query_tree().children:
        if found := find(child, title):
            return found
    named = title.encode() in (prop(w, "WM_NAME"), prop(w, "_NET_WM_NAME"))
    return w if named and viewable(w) else None


def full_screen(w):
    return w.display.get_atom("_NET_WM_STATE_FULLSCREEN") in prop(w, "_NET_WM_STATE")


def has_keyboard(w):
    focus = getattr(protocol.request.GetInputFocus(display=w.display).focus, "id", 0)
    return focus in (w.id, w.query_tree().parent.id)


def viewable(w):
    return w.get_attributes().map_state == X.IsViewable


def picture(w):
    g = w.get_geometry()
    data = w.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF).data
    return Image.frombytes("RGB", (g.width, g.height), data, "raw", "BGRX")


def send(w, kind, first):
    """A message as a window manager or a taskbar sends it."""
    data = (32, [first, X.CurrentTime, 0, 0, 0])
    kind = w.display.get_atom(kind)
    w.send_event(protocol.event.ClientMessage(window=w, client_type=kind, data=data))
    w.display.flush()


def close(w):
    """A close request, as a title bar's close button sends it."""
    send(w, "WM_PROTOCOLS", w.display.get_atom("WM_DELETE_WINDOW"))


def stop(proc):
    """The process and its whole group."""
    for signal in (15, 9):
        with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(proc.pid, signal)
            proc.wait(WAIT)


class Program:
    """zavit started, what it says kept beside its FOLDER (where Wine puts it too)."""

    asks_in, shows_in, framed, zoom = "Notice", "ZAVIT", False, None  # its windows' names

    def __init__(self, command, folder, cwd, env, stdin=subprocess.DEVNULL):
        self.folder = folder
        with open(folder + ".err", "wb") as err:
            options = dict(stdout=err, stderr=err, stdin=stdin, start_new_session=True)
            self.proc = subprocess.Popen(command, cwd=cwd, env=env, **options)
        self.stop = functools.partial(stop, self.proc)

    def status(self):
        return self.proc.poll()

    def said(self):
        paths = [self.folder + ".err", self.folder + "/stderr.txt"]
        text = "".join(open(p, errors="replace").read() for p in paths if os.path.isfile(p))
        return ESCAPES.sub("", text).replace("\r", "")


class PageRun(Program):
    """The page in a Chromium of its own, saying what its console says; in a FRAME, its host's."""

    def __init__(self, command, folder, frame, ratio, env):
        super().__init__(command, folder, folder, env)
        self.asks_in, self.shows_in = ("host", "host") if frame else ("zavit", "ZAVIT")
        self.framed, self.zoom = bool(frame), 1 if frame else max(1, round(ratio))

    def status(self):
        ended = ENDED.search(super().said())
        return ended and int(ended[1])

    def said(self):
        lines = CONSOLE.findall(super().said())
        lines = [line for line in lines if line != NOISE and not ENDED.match(line)]
        return "\n".join(lines)


class Window:
    """zavit's window: all of the X window W, or the white BOX in it (the browser's), or that
    on the compositor's screen, where SDL 3 draws its own (no W)."""

    def __init__(self, desktop, w, box=None):
        g, self.desktop, self.w = w and w.get_geometry(), desktop, w
        self.box = box or (0, 0, g.width, g.height)
        self.size = self.box[2] - self.box[0], self.box[3] - self.box[1]
        self.zoom = max(1, self.size[0] // WINDOW[0])

    def picture(self):
        return (picture(self.w) if self.w else self.desktop.screenshot()).crop(self.box)

    def full(self):
        if not self.w:  # SDL 3's own: wider than it is in a window
            return self.size[0] > WINDOW[0] * self.desktop.zoom
        return full_screen(self.w)

    def move(self, x, y):
        """The pointer to zavit's pixel X, Y: to its middle in the page, which takes fractions."""
        z, half = self.zoom, self.zoom // 2 * (self.desktop.build == "web")
        x, y = self.box[0] + x * z + half, self.box[1] + y * z + half
        at = self.w and self.desktop.d.screen().root.translate_coords(self.w, x, y)
        self.desktop.point(*((at.x, at.y) if at else (x, y)))

    def has_keyboard(self):
        return not self.w or has_keyboard(self.w)  # SDL 3's own: given it by the compositor

    def close(self):
        close(self.w) if self.w else self.desktop.on_x("xdotool", "key", "alt+F4")


def white_box(shot):
    """Where SHOT is white, wider than a letter's strokes."""
    white = shot.point(lambda v: 255 * (v == 255)).convert("L")
    white = white.point(lambda v: 255 * (v == 255)).filter(ImageFilter.MinFilter(9))
    box = white.getbbox()
    return box and (max(box[0] - 4, 0), max(box[1] - 4, 0), box[2] + 4, box[3] + 4)


class Session(contextlib.AbstractContextManager):
    """A desktop running: its X display; its compositor's screen and input, where SDL 3 draws."""

    def __init__(self, name, build=None):
        self.name, self.build, (command, self.zoom, self.tags) = name, build, DESKTOPS[name]
        self.procs, self.home, self.host = [], tempfile.mkdtemp(), None
        self.env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=self.home)
        self.env["XDG_CONFIG_HOME"] = self.home  # kwin 6.7 takes its scale from here alone
        if "kwin" in name:  # its copy without its capabilities; its scale where SDL 3 draws
            shutil.copy(shutil.which("kwin_wayland"), self.home)
            open(self.home + "/kwinoutputconfig.json", "w").write(KWIN_OUTPUTS)
        if "$HOST" in command:  # kwin's X11 backend shows its screen there
            self.host = ":" + self.xvfb(*HOST)
            command = command.replace("$HOST", self.host)
        self.start(command)
        if build == "windows":
            self.start_wine()
        if build == "classic":  # a Wayland display, for the one case that needs one
            self.spawn(["weston", "--backend=headless-backend.so", "--socket=weston"])
            poll(lambda: os.path.exists(self.home + "/weston"), "no weston")

    def spawn(self, command, **options):
        options.setdefault("stderr", subprocess.DEVNULL)
        self.procs.append(subprocess.Popen(command, env=self.env, start_new_session=1, **options))
        return self.procs[-1]

    def xvfb(self, wide, high):
        """An X screen's number, once it is ready."""
        command = f"Xvfb -displayfd 1 -screen 0 {wide}x{high}x24 -nolisten tcp".split()
        return self.spawn(command, stdout=subprocess.PIPE).stdout.readline().decode()[:-1]

    def start(self, command):
        wayland = " " in command
        command = "dbus-run-session -- " + command if wayland else command  # a bus of its own
        before = set(os.listdir("/tmp/.X11-unix")) if wayland else set()
        manager = self.compositor = wayland and self.spawn(command, shell=True, cwd=self.home)
        number = poll(lambda: self.new_x(before), "no X") if wayland else self.xvfb(*SCREEN)
        self.d = poll(lambda: self.connect(number), "no X")
        for name in glob.glob("wayland-?", root_dir=self.home):
            self.env["WAYLAND_DISPLAY"] = name
        if "kwin" in command:  # as Plasma tells X programs its scale
            subprocess.run(["xrdb", "-merge"], input=b"Xft.dpi: 192\n", env=self.env)
        manager = manager or command and self.spawn(command.split(), cwd=self.home)
        root = self.d.screen().root
        poll(lambda: not manager or prop(root, "_NET_SUPPORTING_WM_CHECK"), f"no {self.name}")
        probe = root.create_window(0, 0, 1, 1, 0, 0)  # the manager is ready once it maps it
        poll(lambda: probe.map() or viewable(probe), f"no {self.name}")

    def start_wine(self):
        """A prefix of its own, made before the first case: a cold one takes seconds."""
        self.env.update(WINEPREFIX=self.home + "/wine", WINEDEBUG="-all")
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml="  # no asking for Mono and Gecko
        os.mkdir(self.env["WINEPREFIX"])
        for command in ("wineserver -p", "wineboot -i", "wine cmd /c exit"):
            subprocess.run(command.split(), env=self.env, stdout=subprocess.DEVNULL, check=True)

    @staticmethod
    def new_x(before):
        """The X display the compositor made: not one there BEFORE it, as the one it shows in."""
        names = sorted(set(os.listdir("/tmp/.X11-unix")) - before, key=lambda n: (len(n), n))
        return names and names[0][1:]

    def connect(self, number):
        """The display, with the key kwin wrote for its XWayland once written."""
        keys = glob.glob(self.home + "/xauth_*")
        os.environ["XAUTHORITY"] = self.env["XAUTHORITY"] = (keys or [""])[0]
        self.env["DISPLAY"] = ":" + number
        with contextlib.suppress(error.DisplayError):
            return display.Display(":" + number)

    def on_x(self, *command):
        """COMMAND run on the X screen the compositor shows in, or on ours."""
        env = dict(self.env, DISPLAY=self.host or self.env["DISPLAY"])
        return subprocess.run(command, env=env, capture_output=True, check=True).stdout

    def screenshot(self):
        shot = self.on_x("import", "-window", "root", "png:-")
        return Image.open(io.BytesIO(shot)).convert("RGB")

    def key(self, key, down):
        self.on_x("xdotool", ("keyup", "keydown")[down], key)

    def point(self, x, y, button=None):
        """The pointer to X, Y on the screen, and button 1 down or up there."""
        click = [] if button is None else [("mouseup", "mousedown")[button], "1"]
        self.on_x("xdotool", "mousemove", str(x), str(y), *click)

    def window(self, title="ZAVIT"):
        """zavit's window once shown: an X one, the page's canvas in its, or SDL 3's own."""
        found = find(self.d.screen().root, title)
        if found and self.build != "web":
            return Window(self, found)
        if found or "wayland" in self.tags.split() and title == "ZAVIT":
            box = white_box(picture(found) if found else self.screenshot())
            return box and Window(self, found, box)

    def __exit__(self, *_):
        if self.build == "windows":
            subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        for proc in reversed(self.procs):
            stop(proc)
        shutil.rmtree(self.home, ignore_errors=True)


class Serve(http.server.SimpleHTTPRequestHandler):
    """The cases' folders, by their paths; ?csp=NAME under that policy; in a folder with .spa, as a
    single-page site's host serves it, its index.html for any file it lacks."""

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.exists(os.path.dirname(path) + "/.spa") and not os.path.exists(path):
            self.path = os.path.dirname(self.path) + "/index.html"
        return super().send_head()

    def end_headers(self):
        if policy := POLICIES.get(self.path.partition("?csp=")[2]):
            self.send_header("Content-Security-Policy", policy)
        super().end_headers()


def open_page(where, folder, frame, csp):
    """The page in FOLDER, from its origin or in a FRAME of another's, under the policy CSP."""
    address = f"{where.site}{folder}/?csp={csp}"
    if frame:
        open(folder + "/host.html", "w").write(FRAME.format(address, *frame.split("x")))
        address = address.replace("127.0.0.1", "localhost").split("?")[0] + "host.html"
    room = ",".join(str(round(side / where.ratio)) for side in PAGE_ROOM)
    options = f" --force-device-scale-factor={where.ratio} --window-size={room} --app={address}"
    command = (BROWSER + options + f" --user-data-dir={folder}.profile").split()
    return PageRun(command, folder, frame, where.ratio, where.env)


@pytest.fixture(scope="session")
def place(pytestconfig):
    """Where zavit runs: a desktop (for the page, openbox's), serving the cases' folders."""
    option = pytestconfig.option
    with Session("openbox" if option.build == "web" else option.desktop, option.build) as session:
        session.ratio, handler = option.ratio, functools.partial(Serve, directory="/")
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        session.site = f"http://127.0.0.1:{server.server_port}"
        yield session
        server.shutdown()
