#!/usr/bin/python3
"""zavit's end-to-end cases, one table, run as a person meets the program: under Xvfb and a
window manager, real keys and mouse (XTEST), windows found by name, pixels read from the screen.
The --beside files (the program; for --windows zavit.exe and SDL.dll, run under Wine, standard
error in stderr.txt there) go into each case's folder, where the command finds them.
--classic: built on classic SDL 1.2. --web: the page in the command's folder, served on 127.0.0.1,
in headless Chromium at --ratio; input as DevTools events, pixels from screenshots, lines in the page."""
import argparse, collections, contextlib, functools, glob, http.server, json, math, os, re
import shlex, shutil, signal, struct, subprocess, sys, tempfile, threading, time, types
from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest
from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

HERE = os.path.dirname(os.path.abspath(__file__))
SPRITE = HERE + '/../../assets/zavit.bmp'   # 16 x 16, 24 bits from byte 54, bottom row first
WAIT, POLL, HOLD = 10, 0.05, 0.3   # seconds: the longest wait, between two looks, a key held
WINDOW, DIALOG, YES = (320, 240), (240, 96), (72, 67)   # sizes; the Yes button in the dialog
POINTS = [(3, 5), (316, 237), (200, 60)]   # the mouse in the window: the sprite's corner 8 px up
# and left, cut at two corners; at the last, 20 screenshots must show it whole, drawn on top
WHITE, BLACK = b'\xff\xff\xff', b'\0\0\0'
ESCAPES = re.compile(r'\x1b(\[[0-?]*[ -/]*[@-~]|\][^\x07]*\x07|[()][0-9A-Z]|[=>])')   # terminal codes
LOAD, LOST = 'Unable to load "zavit.bmp": ', 'Lost the connection to the X display'
REFUSED = 'Unable to set 320x240 video: refused 320x240x32, flags '   # refuse_video_mode.cpp
WMS = {'openbox': 'openbox', 'metacity': 'metacity', 'i3': 'i3 -c i3.conf', 'fluxbox': 'fluxbox',
       'xfwm4': 'dbus-run-session -- xfwm4', 'none': ''}   # xfwm4's bus ends with it
SDL3 = subprocess.run(['dpkg-query', '-Wf', '${source:Package}', 'libsdl2-2.0-0'],   # beneath
                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout == b'sdl2-compat'
WAYLAND = {'mutter': 'mutter --wayland --headless --virtual-monitor 1024x768',   # 50 refuses --sm-disable
           'kwin': './kwin_wayland --xwayland --width 1024 --height 768 --scale {} '
                   + ('--x11-display {}' if SDL3 else '--virtual'),   # its screen in an X window
           'sway': 'setpriv --reuid 65534 --regid 65534 --clear-groups '
                   'env WLR_BACKENDS={2} DISPLAY={1} sway -c sway.conf'}
# sway 1.7 refuses root; kwin is copied without its file capabilities. Each compositor runs in
# namespaces of its own: its network for XWayland's abstract sockets, its /proc, its X sockets;
# the locks its X server leaves in the shared /tmp are removed after it.
OWN_X = ('mount --make-rprivate / 2>/dev/null; mount -t proc proc /proc && '
         'mkdir -p /tmp/.X11-unix && mount -t tmpfs tmpfs /tmp/.X11-unix -o mode=1777 && "$@"; '
         's=$? && cd /tmp/.X11-unix && for x in X*; do [ -S "$x" ] && rm -f "../.$x-lock"; done; '
         'exit $s')
DRIVEN = ['kwin', 'mutter' * SDL3]   # compositors that draw SDL's window and are driven over D-Bus
WMS.update({wm: 'dbus-run-session -- ' * (wm not in DRIVEN) + WAYLAND[wm] for wm in WAYLAND})   # a bus each
WM_FILES = {'i3.conf': '# i3 config file (v4)\n', '.fluxbox/init': 'session.configVersion: 13\n',
            '.fluxbox/overlay': 'background: none\n',   # no wallpaper helper left behind
            'sway.conf': 'xwayland enable\noutput * resolution 1024x768 scale {}\n'
                         'exec xhost +si:localuser:root >/dev/null\n',   # kwin 6 scales by this alone:
            '.config/kwinoutputconfig.json' * SDL3: '[{{"name": "outputs", "data": [{{"connectorName": '
            '"X11-0", "scale": {}}}]}}, {{"name": "setups", "data": []}}]'}
BROWSER = ('--headless --no-sandbox --disable-gpu --disable-quic --no-first-run '
           '--window-size=799,599 --disable-background-networking --disable-component-update '
           '--disable-sync').split()
POLICIES = {'strict': "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'",   # a careful
            'no-wasm': "default-src 'self'"}   # host's, for a page asked as ?csp=NAME; no WebAssembly
HOST = '<style>* {{ margin: 0; border: 0 }}</style><iframe src={} width={} height={} allow=fullscreen>'
NO_WASM = "This site's policy does not allow WebAssembly, which zavit needs."
ENDED = re.compile(r'zavit has ended \(status (\d+)\)\. Reload the page')   # the page's last words
# A case: the image (and settings) beside zavit, the question's answer, what must be seen, how it
# ends, its status, how stderr's last line starts, and where: all (every manager, both builds;
# managers: not --windows), openbox (both builds), x11 (openbox), web (the page).
Row = collections.namedtuple('Row', 'image answer shows ends status says on',
                             defaults=('', '', 0, '', 'openbox'))
FAILS = dict(answer='Return', status=1)   # a start-up failure, after the question
ROWS = [Row('sprite', 'Return', shows='sprites', ends='Escape held', on='all web web1.5'),
        Row('sprite', 'y', shows='full screen', ends='Escape', on='all web web1.5'),
        Row('sprite', 'n', shows='window', ends='close request', on='all'),
        Row('sprite', 'Escape', shows='window', ends='Escape', on='all web'),
        Row('sprite', 'Return, xmessage focused', shows='window', ends='Escape', on='managers'),
        Row('sprite', 'Tab Return', shows='full screen', ends='Escape', on='openbox web'),
        Row('sprite', 'click Yes', shows='full screen', ends='Escape', on='x11 web'),
        Row('sprite', 'close request', shows='window', ends='Escape'),
        Row('none', **FAILS, says=LOAD + "Couldn't open zavit.bmp"),
        Row('none', 'Return', shows='sprites', ends='Escape', on='web'),   # the page's own copy
        Row('sprite', 'n', shows='window', ends='Escape', on='web'),
        Row('sprite', 'Left space', shows='full screen', ends='Escape', on='web'),
        Row('sprite', 'tap Yes', shows='full screen', ends='Escape', on='web'),
        Row('sprite', 'Return', shows='finger', ends='Escape', on='web web1.5'),
        Row('sprite csp=strict', 'Return', shows='sprites', ends='Escape', on='web'),
        Row('sprite csp=no-wasm', '', says=NO_WASM, on='web'),
        Row('sprite frame=320x240', 'Return', shows='sprites', ends='Escape', on='web web1.5'),
        Row('elsewhere', 'Return', shows='sprites', ends='Escape'),
        Row('own', **FAILS, says=LOAD + 'File is not a Windows BMP file'),
        Row('folder', **FAILS, says=LOAD),
        *[Row(bmp, **FAILS, says=LOAD, on='openbox web')
          for bmp in glob.glob(HERE + '/../images/*.bmp')],
        # Odd but within every limit, or the sprite as ImageMagick 6.9's convert writes it (BMP3:
        # for v3; 1 bit: +dither -colors 2 -type Palette, v4: -monochrome; 4 bits: -type Palette;
        # 8: -size 16x1 gradient: -append -type Palette -crop 16x16+0+0)
        *[Row(bmp, 'Return', shows='its own colours' + ', seen through' * ('/palette_' in bmp),
              ends='Escape', on='openbox web')
          for bmp in glob.glob(HERE + '/../images/good/*.bmp')],
        Row('sprite SDL_VIDEODRIVER=nosuch', **FAILS, says='Unable to init SDL: '),
        Row('sprite', 'no display', status=1, says='Unable to init SDL: no display available',
            on='x11'),
        Row('sprite', 'typed " Yes "', status=1, says=REFUSED + '0x80000000', on='x11'),
        Row('sprite', 'typed "yess"', status=1, says=REFUSED + '0x0', on='x11'),
        Row('sprite', '', ends='X lost', status=1, says=LOST, on='x11'),
        Row('sprite', 'Return', shows='window', ends='X lost', status=1, says=LOST, on='x11')]


def poll(test, what, proc=None):   # TEST's first true result, while PROC runs; X errors miss
    end = time.monotonic() + WAIT
    while time.monotonic() < end and not (proc and proc.poll() is not None):
        with contextlib.suppress(error.XError, WebDriverException):
            if got := test():
                return got
        time.sleep(POLL)
    raise AssertionError(what + (f' (ended: {proc.returncode})' if proc and proc.returncode else ''))


def stop(proc):   # the process and its whole group
    for sig in (signal.SIGTERM, signal.SIGKILL):
        with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(proc.pid, sig)
            proc.wait(WAIT)


def prop(w, name):
    return getattr(w.get_full_property(w.display.get_atom(name), X.AnyPropertyType), 'value', [])


def find(w, title):   # the deepest viewable window named exactly TITLE at or under W: not a frame
    return next(filter(None, (find(child, title) for child in w.query_tree().children)), None) or \
        title.encode() in (prop(w, 'WM_NAME'), prop(w, '_NET_WM_NAME')) and \
        w.get_attributes().map_state == X.IsViewable and w or None


def level(w):   # where W's top-level window lies in the stack, from the bottom
    tree = w.query_tree()
    if tree.parent != tree.root:
        return level(tree.parent)
    return tree.root.query_tree().children.index(w)


def size(w):
    return w.get_geometry().width, w.get_geometry().height


def fake(d, kind, key='', w=None, x=0, y=0):   # KEY, or the mouse to (X, Y) in W and button 1
    code = key and d.keysym_to_keycode(XK.string_to_keysym(key)) or 1
    if kind and not getattr(d, 'xtest', True):   # kwin 6.7's XWayland drops XTEST: events sent,
        (w := w or d.get_input_focus().focus).send_event(protocol.event.event_class[kind](   # as
            time=0, root=d.screen().root, window=w, same_screen=1, child=0, root_x=0, root_y=0,
            event_x=x, event_y=y, state=0, detail=code))   # the question takes a close request
    else:
        at = w and d.screen().root.translate_coords(w, x, y)
        w and xtest.fake_input(d, X.MotionNotify, x=at.x, y=at.y)
        kind and xtest.fake_input(d, kind, code)
    d.sync()


class Native:   # a window the compositor draws itself, SDL's Wayland driver's: found, seen and
    def __init__(s, env, scale, x, y, wide, high, focused, full, id=0):   # driven through the
        s.env, s.zoom, s.x, s.y, s.wide, s.high, s.focused, s.full, s.id = env, scale, x, y, wide, \
            high, focused, full, id   # compositor. sway's: its tree, grim, wtype; the pointer by
        # XTEST into the X screen its X11 backend shows in, as a virtual pointer lives one command
        s.get_geometry = lambda: types.SimpleNamespace(width=s.wide * scale, height=s.high * scale)

    def run(s, *command):
        return subprocess.run(command, env=s.env, stdout=subprocess.PIPE, check=True).stdout

    def key(s, key, held):   # KEY down (returns then), up HELD s later. One client for both: a
        s.typing = subprocess.Popen(   # fresh virtual keyboard's keymap is sent before its keys
            ['wtype', '-s', '200', '-P', key, '-s', str(int(held * 1000) + 400), '-p', key], env=s.env)
        time.sleep(held + 0.4)

    xdo = lambda s, *a: s.run('env', 'DISPLAY=' + s.env['HOST_DISPLAY'], 'xdotool', *a)   # into the
    point = lambda s, x, y: s.xdo('mousemove', str(math.ceil(x)), str(math.ceil(y)))   # pixel meant
    move = lambda s, x, y: (n := native(s.env, s.zoom)) and s.point((n.x + x) * s.zoom, (n.y + y) * s.zoom)
    screenshot_as_png = property(lambda s: (n := native(s.env, s.zoom)) and s.run(
        'grim', '-g', f'{n.x},{n.y} {n.wide}x{n.high}', '-'))
    close = lambda s: s.run('swaymsg', f'[con_id={s.id}] kill')
    set_input_focus = lambda s, *_: s.run('swaymsg', f'[con_id={s.id}] focus')


class Driven(Native):   # kwin's or mutter's, seen in its whole screen, given a key's PRESS and a
    step = 3   # pointer's place (POINT, in pixels of the screen) through the compositor
    def key(s, key, held):   # KEY down (returns then), up at s.typing.wait()
        s.press(key, 1) or time.sleep(held)
        s.typing = types.SimpleNamespace(wait=lambda: s.press(key, 0))

    def get_image(s, x, y, wide, high, *_):   # those pixels of the window, as the screen shows them
        shot, left, top, w = screen(s.env), round(s.x * s.zoom) + x, round(s.y * s.zoom) + y, 1024 * s.zoom
        return types.SimpleNamespace(data=b''.join(shot[((top + r) * w + left) * 3:][:wide * 3] for r in range(high)))


class Kwin(Driven):   # kwin's: found, focused and closed through its scripting; its screen an X window
    press = lambda s, key, down: s.xdo(('keyup', 'keydown')[down], key)   # (its X11 backend's), keys
    close = lambda s: kwin(s.env, 'w.closeWindow()')   # and pointer sent into it by XTEST
    set_input_focus = lambda s, *_: kwin(s.env, 'workspace.activeWindow = w')


def kwin(env, act=''):   # each window named ZAVIT as kwin's scripting finds it, after ACT on it (w)
    token, home, k = f'found{time.monotonic_ns()}:', env['HOME'], 'org.kde.kwin.Scripting.'
    open(home + '/found.js', 'w').write(f"print('{token}' + JSON.stringify(workspace.windowList().filter("
                                        f"w => w.caption == 'ZAVIT').map(w => {{ {act}; const g = w."
                                        "frameGeometry; return [g.x, g.y, Math.round(g.width), Math.round("
                                        "g.height), w.active, w.fullScreen]; })))")   # into its log
    n = call(env, 'org.kde.KWin', '/Scripting', k + 'loadScript', 'ss', home + '/found.js', token)
    found = call(env, 'org.kde.KWin', f'/Scripting/Script{n}', 'org.kde.kwin.Script.run') or poll(lambda: [
        json.loads(line.split(token)[1]) for line in open(home + '/log') if token in line], 'no answer')
    return call(env, 'org.kde.KWin', '/Scripting', k + 'unloadScript', 's', token) and found[0]


class Mutter(Driven):   # mutter's: its screen through its ScreenCast (PipeWire), keys and pointer
    press = lambda s, key, down: REMOTE['send'](   # through its RemoteDesktop, over D-Bus. Mutter
        'NotifyKeyboardKeysym', 'ub', XK.string_to_keysym(key), down)   # tells no title or focus
    point = lambda s, x, y: REMOTE['send']('NotifyPointerMotionAbsolute', 'sdd', REMOTE['stream'], x, y)
    close = lambda s: [s.press(*k) for k in (('Alt_L', 1), ('F4', 1), ('F4', 0), ('Alt_L', 0))]


bus = functools.cache(lambda address: __import__('dbus').bus.BusConnection(address))
call = lambda env, who, path, method, sig='', *a: bus(env['DBUS_SESSION_BUS_ADDRESS']).call_blocking(
    who, path, *method.rsplit('.', 1), sig, a)   # METHOD (its interface's name first) of WHO's PATH
REMOTE = {}   # mutter's remote desktop session: its input, and the screen cast of its monitor


def remote(env, m='org.gnome.Mutter.'):   # a remote desktop session of mutter's, with its monitor cast
    mutter = lambda path, method, *a: call(env, m + 'ScreenCast', path, m + method, *a)
    send = lambda method, *a: mutter(rd, 'RemoteDesktop.Session.' + method, *a)
    sc = mutter('/org/gnome/Mutter/ScreenCast', 'ScreenCast.CreateSession', 'a{sv}', {'remote-desktop-session-id':
                call(env, m + 'ScreenCast', rd := mutter('/org/gnome/Mutter/RemoteDesktop', 'RemoteDesktop.CreateSession'),
                     'org.freedesktop.DBus.Properties.Get', 'ss', m + 'RemoteDesktop.Session', 'SessionId')})
    stream = mutter(sc, 'ScreenCast.Session.RecordMonitor', 'sa{sv}', '', {})
    [send(*a) for a in (['Start'], *(['NotifyKeyboardKeysym', 'ub', 0xffe1, k] for k in (1, 0)))]   # a key
    return dict(stream=stream, send=send)   # thrown away: the first is lost


def screen(env):   # kwin's (its X window) or mutter's (its screen cast): B, G, R
    return subprocess.run(['env', 'DISPLAY=' + env['HOST_DISPLAY'], 'import', '-window', 'root', '-depth', '8', 'bgr:-']
                          if env['HOST_DISPLAY'] else 'gst-launch-1.0 -q pipewiresrc target-object=mutter '
                          'num-buffers=1 ! videoconvert ! video/x-raw,format=BGR ! fdsink'.split(), env=env,
                          stdout=subprocess.PIPE).stdout


def native(env, scale):   # the window named ZAVIT that the compositor draws itself, if there is one
    if 'SWAYSOCK' in env:   # in sway's tree
        nodes = [json.loads(subprocess.run(['swaymsg', '-t', 'get_tree'], env=env, stdout=subprocess.PIPE).stdout)]
        while nodes:
            if (n := nodes.pop()).get('shell') == 'xdg_shell' and n['name'] == 'ZAVIT':
                r, i = n['rect'], n['window_rect']   # where it is now (sway may move it on: n)
                return Native(env, scale, r['x'] + i['x'], r['y'] + i['y'], i['width'], i['height'],
                              n['focused'], r == i, n['id'])
            nodes += n['nodes'] + n['floating_nodes']
    elif REMOTE:   # the white on mutter's screen, or all of it when black or white at its corner
        shot = screen(env)
        lines = {y: (r.find(b'\xff') // 3, r.rfind(b'\xff') // 3) for y in range(768)
                 if b'\xff' in (r := shot[y * 3072:(y + 1) * 3072])}
        x, full = min([a for a, _ in lines.values()] or [0]), shot[:3] in (BLACK, WHITE)
        return lines and Mutter(env, scale, *(0, 0, 1024, 768) if full else (x, min(lines), max(
            b for _, b in lines.values()) - x + 1, max(lines) - min(lines) + 1), True, full) or None
    elif env.get('HOST_DISPLAY'):   # kwin's, as its scripting finds it
        return next((Kwin(env, scale, *w) for w in kwin(env)), None)


def keyboard(d, w):   # W, or the frame round it, has the keyboard
    return native(w.env, w.zoom).focused if isinstance(w, Native) else getattr(d.get_input_focus().focus, 'id', 0) in (w.id, w.query_tree().parent.id)


def close(w):   # a close request, as a window manager sends it
    if isinstance(w, Native):
        return w.close()
    atom = w.display.get_atom
    w.send_event(protocol.event.ClientMessage(window=w, client_type=atom('WM_PROTOCOLS'), data=(
        32, [atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0])))
    w.display.flush()


def pixels(w):   # every pixel of W as stored, or of a page or its element as shown: B, G, R
    if not hasattr(w, 'get_image'):
        png = getattr(w, 'screenshot_as_png', None) or w.get_screenshot_as_png()
        cut = ['-crop', w.cut()] if hasattr(w, 'cut') else []   # a page's element, in device pixels
        shot = subprocess.run(['convert', 'png:-', *cut, '-depth', '8', 'bgr:-'], input=png,   # 8 bits, as
                              stdout=subprocess.PIPE).stdout   # ImageMagick 7 gave a few colours 4
        return [shot[i:i + 3] for i in range(0, len(shot), 3)]
    shot = w.get_image(0, 0, *size(w), X.ZPixmap, 0xffffffff).data
    return [shot[i:i + 3] for i in range(0, len(shot), getattr(w, 'step', 4))]


def centred(d):   # the middle 320 x 240 pixels of the screen, if it is black around them
    shot, (width, height) = pixels(d.screen().root), size(d.screen().root)
    rows, left = range((height - WINDOW[1]) // 2, (height + WINDOW[1]) // 2), (width - WINDOW[0]) // 2
    inside = [p for y in rows for p in shot[y * width + left:][:WINDOW[0]]]
    return shot.count(BLACK) - inside.count(BLACK) == len(shot) - len(inside) and inside


def sprite_missing(opts, w, x, y):   # what W shows wrong of the sprite under the mouse at X, Y,
    shot, (width, height), z = pixels(w), WINDOW, getattr(w, 'zoom', opts.zoom)   # each pixel a block
    wrong = [f'({x - 8 + dx},{y - 8 + dy})' for (dx, dy), want in opts.sprite.items()
             if 0 <= x - 8 + dx < width and 0 <= y - 8 + dy < height and {want} != {shot[(
                 (y - 8 + dy) * z + k) * width * z + (x - 8 + dx) * z + k] for k in (0, z - 1)}]
    return wrong[:3] + ['mostly not white'] * (shot.count(WHITE) < len(shot) / 4)


def colours_off(w, image):   # what W shows beyond IMAGE's colours and white, once it shows them
    data, shown = open(image, 'rb').read(), set(pixels(w))
    (start, info), bits, listed = struct.unpack_from('<II', data, 10), data[28], data[46:50]
    at, end, step = (14 + info, 14 + info + 4 * (int.from_bytes(listed, 'little') or 1 << bits), 4) \
        if bits <= 8 else (start, len(data), bits // 8)   # its palette, or its pixels
    if WHITE not in shown or len(shown) < 2:
        return {'nothing drawn'}
    return {c[::-1].hex() for c in shown - {data[i:i + 3] for i in range(at, end, step)} - {WHITE}}


def seen_through(opts, w, x, y):   # the sprite under the mouse at X, Y shows others where white
    shot = pixels(w)
    return any(shot[(y - 8 + dy) * WINDOW[0] + x - 8 + dx] != WHITE
               for dx in range(16) for dy in range(16) if (dx, dy) not in opts.sprite)


@contextlib.contextmanager
def x_session(wm, windows, scale=1):   # Xvfb and the manager WM, or WM's own XWayland at SCALE;
    home, procs = tempfile.mkdtemp(), []   # for --windows, Wine's server warmed up
    def spawn(command, **options):
        procs.append(subprocess.Popen(command.split(), **{'stderr': subprocess.DEVNULL, **options},
                                      start_new_session=True))
        return procs[-1]
    first = lambda command: spawn(command, stdout=subprocess.PIPE).stdout.readline().decode().strip()
    xvfb = lambda size: first(f'Xvfb -displayfd 1 -screen 0 {size}x24 -nolisten tcp')   # its number
    try:
        for name, text in WM_FILES.items():
            os.makedirs(os.path.dirname(path := os.path.join(home, name)), exist_ok=True)
            name and open(path, 'w').write(text.format(scale))
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home)
        shutil.copy(shutil.which('kwin_wayland') or '/', home) if wm == 'kwin' else None
        os.chown(home, 65534, -1) if wm == 'sway' else None
        wm in DRIVEN and env.update(   # the compositor's session bus, for us too
            DBUS_SESSION_BUS_ADDRESS=first('dbus-daemon --session --nofork --print-address'))
        shown = wm in ('kwin', 'sway' * (os.environ.get('SDL_VIDEODRIVER') == 'wayland'))   # in an X screen
        env['HOST_DISPLAY'] = host = SDL3 and shown and ':' + xvfb(f'{1024 * scale}x{768 * scale}') or ''
        cast = wm == 'mutter' and SDL3   # mutter's screen cast and remote desktop drive its window
        for command in ['pipewire', 'wireplumber'] * cast:   # for its screen casts
            spawn(command, env=env) and poll(lambda: os.path.exists(home + '/pipewire-0'), 'no PipeWire')
        backend = host and 'x11 WLR_RENDERER=pixman' or 'headless'   # sway's, in that screen or none
        manager = wm in WAYLAND and spawn(WMS[wm].format(scale, host, backend), cwd=home, env=env, stdout=open(
            home + '/log', 'w'), stderr=subprocess.STDOUT)   # its messages kept
        number = manager and poll(lambda: min(set(os.listdir('/tmp/.X11-unix')) - {'X' + host[1:]}, key=lambda
            n: (len(n), n), default='')[1:], 'no X') or xvfb('1024x768')   # not the one kwin shows in
        def connect():   # with the key mutter or kwin wrote for their XWayland, once written
            auth = glob.glob(home + '/.mutter-Xwaylandauth.*') + glob.glob(home + '/xauth_*')
            os.environ['XAUTHORITY'] = env['XAUTHORITY'] = (auth or [''])[0]
            with contextlib.suppress(error.DisplayError):
                return display.Display(':' + number)
        env['DISPLAY'], d = ':' + number, poll(connect, 'no X')
        REMOTE.clear() or cast and REMOTE.update(poll(lambda: remote(env), 'no mutter'))
        for key, path in ('WAYLAND_DISPLAY', '/wayland-?'), ('SWAYSOCK', '/sway-ipc.*'):
            env.update({key: os.path.basename(p) if key[0] == 'W' else p for p in glob.glob(home + path)})
        subprocess.run(['xrdb', '-merge'], input=b'Xft.dpi: 192\n', env=env) if wm == 'kwin' and \
            scale > 1 else None   # as Plasma tells X programs its scale
        manager = manager or WMS[wm] and spawn(WMS[wm], cwd=home, env=env)
        root, probe = d.screen().root, d.screen().root.create_window(0, 0, 1, 1, 0, 0,
                                                                     event_mask=X.KeyPressMask)
        poll(lambda: (not manager or manager.poll() is None and prop(root, '_NET_SUPPORTING_WM_CHECK'))
             and (probe.map() or probe.get_attributes().map_state == X.IsViewable), f'no {wm}')
        def typed():   # a throwaway key, seen: the first into a fresh XWayland (sway 1.12) is lost
            probe.set_input_focus(X.RevertToParent, X.CurrentTime)
            fake(d, X.KeyPress, 'Shift_L') or fake(d, X.KeyRelease, 'Shift_L') or time.sleep(POLL)
            return any(d.next_event().type == X.KeyPress for _ in range(d.pending_events()))
        d.xtest = any(typed() for _ in range(20)) and all(   # kwin 6.7's XWayland drops XTEST, and
            fake(d, None, w=root, x=n, y=n) or time.sleep(HOLD) or root.query_pointer().root_x == n
            for n in (7, 300))   # mutter 50's moves its pointer late and astray: events are sent
        env.update(WINEPREFIX=home + '/wine', WINEDLLOVERRIDES='mscoree,mshtml=', WINEDEBUG='-all')
        for command in ['mkdir $WINEPREFIX', 'wineserver -p', 'wineboot -i', 'wine cmd /c exit']:
            if windows:   # a cold prefix takes seconds to show a first window
                subprocess.run(command, shell=True, env=env, stdout=subprocess.DEVNULL, check=True)
        yield env, d, procs[0]
    finally:
        if windows:
            subprocess.run('wineserver -k', shell=True, env=env, stderr=subprocess.DEVNULL)
        [stop(proc) for proc in reversed(procs)]
        shutil.rmtree(home, ignore_errors=True)


def said(opts, folder):   # the program's standard error as read, wherever it went; the page's lines
    if opts.web:
        return opts.browser.find_element('id', 'message').text
    paths = [folder + '.err'] + [folder + '/stderr.txt'] * opts.windows
    return ESCAPES.sub('', ''.join(open(p, errors='replace').read() for p in paths if os.path.isfile(p)))


def start(opts, env, folder, setting, answer):   # the program in FOLDER, its image and settings
    image, *assignments = setting.split()
    if image == 'folder':
        os.mkdir(folder + '/zavit.bmp')
    elif image != 'none':
        shutil.copy(image if image.endswith('.bmp') else SPRITE, folder + '/zavit.bmp')
    [shutil.copy(path, folder) for path in opts.beside]
    beside = {os.path.basename(path): folder + '/' + os.path.basename(path) for path in opts.beside}
    command, cwd = [beside.get(word, word) for word in opts.command], folder
    if image in ('elsewhere', 'own'):   # started from another folder, the image by the program
        os.mkdir(cwd := folder + '/elsewhere')
        if image == 'own':   # a person's own image there wins, however bad
            shutil.copy(HERE + '/../images/text.bmp', cwd + '/zavit.bmp')
    typed = answer.startswith('typed')   # on a terminal without a display, video modes refused
    env = {k: v for k, v in env.items() if not (typed or answer == 'no display') or
           'DISPLAY' not in k and k != 'SDL_VIDEODRIVER'}
    env.update(a.split('=') for a in assignments)
    if answer == 'no display':   # started from a terminal, where classic SDL draws text art
        env.setdefault('TERM', 'xterm')
    if typed:
        env.update(SDL_VIDEODRIVER='dummy', LD_PRELOAD=os.environ['ZAVIT_REFUSE_VIDEO'] + ':' +
                   env.get('LD_PRELOAD', ''))
    command = ['script', '-qec', shlex.join(command), '/dev/null'] if typed else command
    with open(folder + '.err', 'wb') as err:
        return subprocess.Popen(command, cwd=cwd, env=env, stdout=err, stderr=err,
                                stdin=subprocess.PIPE if typed else subprocess.DEVNULL,
                                start_new_session=True)


def answer_question(opts, d, proc, folder, answer, below):
    if answer.startswith('typed'):
        poll(lambda: 'Notice: Full Scrren? [y/N] ' in said(opts, folder), 'no question', proc)
        return proc.communicate(answer.split('"')[1].encode() + b'\n', WAIT)
    if answer == 'no display':
        return None
    question = poll(lambda: find(d.screen().root, 'Notice'), 'no question', proc)
    assert not find(d.screen().root, 'ZAVIT'), 'a window before the answer'
    z, wide = opts.zoom, DIALOG[0] * opts.zoom
    assert opts.windows or size(question) == (wide, DIALOG[1] * z) and d.get_atom(
        '_NET_WM_WINDOW_TYPE_DIALOG') in prop(question, '_NET_WM_WINDOW_TYPE'), \
        "not a dialog at the desktop's scale"
    text_rows = lambda shot: sum(BLACK in shot[r * wide:][:wide] for r in range(50 * z))
    opts.windows or poll(lambda: text_rows(pixels(question)) >= 6 * z,
                         "its text is not at the desktop's scale", proc)
    assert not below or poll(lambda: level(question) > level(below), 'the question is behind', proc)
    if answer == 'click Yes':
        return [fake(d, kind, w=question, x=YES[0] * z, y=YES[1] * z)
                for kind in (X.ButtonPress, X.ButtonRelease)]
    if answer == 'close request':
        return close(question)
    poll(lambda: keyboard(d, question), 'the question does not take the keyboard', proc)
    for key in answer.split():   # the X11 question answers on release only
        fake(d, X.KeyPress, key)
        time.sleep(HOLD * (not opts.windows))
        assert opts.windows or find(d.screen().root, 'Notice'), f'answered on {key} down'
        fake(d, X.KeyRelease, key)


def check_window(opts, d, proc, seen):   # as SEEN, then its sprites or its sharpness
    full, state = seen == 'full screen', d.get_atom('_NET_WM_STATE_FULLSCREEN')
    w = poll(lambda: (w := find(d.screen().root, 'ZAVIT') or native(opts.env, opts.scale)) and (
        w.full if isinstance(w, Native) else state in prop(w, '_NET_WM_STATE') or full and opts.classic) ==
        full and (full or size(w) == tuple(n * getattr(w, 'zoom', opts.zoom) for n in WINDOW)) and w,
        'no ' + seen, proc)
    if full and opts.classic:   # classic SDL's own: the picture as it is, centred on black
        shown = poll(lambda: (c := centred(d)) and set(opts.sprite.values()) & set(c) and c,
                     'no picture centred on black', proc)
        assert not set(shown) - set(opts.sprite.values()) - {WHITE}, 'wrong colours in the picture'
    elif full:   # scaled by whole pixels, only the sprite's colours, white and black show
        poll(lambda: set(opts.sprite.values()) & set(pixels(w)), 'no sprites', proc)
        blurred = set(pixels(w)) - set(opts.sprite.values()) - {WHITE, BLACK}
        assert not blurred, f'blurred: {len(blurred)} colours not in the sprite'
    if seen == 'sprites' and not (isinstance(w, Native) or d.xtest):   # XTEST-less XWayland moves
        print('     the pointer left out: no pointer reaches this window here')   # SDL's pointer
    elif seen == 'sprites':   # now and then, or never
        follow(opts, w, mover(opts, d, w), proc)
    return w


def mover(opts, d, w):   # the mouse to (X, Y) in W
    return getattr(w, 'move', lambda x, y: fake(d, None, w=w, x=x * opts.zoom, y=y * opts.zoom))


def focus_other(opts, env, d):   # another window, a person's terminal say, clicked or chosen in a
    other = subprocess.Popen('xmessage -bg gray -g 1024x768 elsewhere'.split(), env=env, start_new_session=1)
    w = poll(lambda: find(d.screen().root, 'xmessage'), 'no xmessage', other)   # taskbar: it has the keys
    chosen = protocol.event.ClientMessage(window=w, client_type=d.get_atom('_NET_ACTIVE_WINDOW'),
                                          data=(32, [2, 0, 0, 0, 0]))   # mutter 50 took no click
    poll(lambda: keyboard(d, w) or fake(d, X.ButtonPress, w=w, x=500, y=300) or
         fake(d, X.ButtonRelease) or d.screen().root.send_event(chosen, X.SubstructureRedirectMask)
         or (opts.wm == 'none' or not d.xtest) and w.set_input_focus(1, 0), 'no keys')
    return other, w


def follow(opts, w, move, proc=None):   # the sprite under the pointer at each point, then on top
    def moved(x, y):   # again while unseen, a step beside first: a window that opened under the
        move(x + 1, y)   # pointer learns nothing of a move to where it already is
        move(x, y)
        return not sprite_missing(opts, w, x, y)
    for x, y in POINTS:
        poll(lambda: moved(x, y), f'no sprite at {x},{y}', proc)
    for _ in range(20):
        assert not (wrong := sprite_missing(opts, w, x, y)), f'the sprite is covered: {wrong}'


def check_image(opts, w, setting, seen, move, proc=None):   # seen through where white; its colours
    if seen.endswith('seen through'):   # the others gather under the sprite-shaped image
        move(0, 0)   # then where it must be: a move for sure, wherever the last case left it
        move(*POINTS[-1])
        poll(lambda: seen_through(opts, w, *POINTS[-1]), 'its white hides the others', proc)
    if seen.startswith('its own colours'):   # wait for them, then tell which are not
        with contextlib.suppress(AssertionError):
            poll(lambda: not colours_off(w, setting), '', proc)
        assert not (off := colours_off(w, setting)), f'colours not its own: {sorted(off)}'


def run_case(opts, session, folder, setting, answer, seen, end, status, last):
    (env, d, xvfb), opts.env = session, session[0]
    if SDL3 and not opts.classic and setting.endswith('unpadded_last_row.bmp'):   # refused there
        seen, end, status, last = '', '', 1, LOAD + "BMP's last row lacks the padding"
    other, below = focus_other(opts, env, d) if 'focused' in answer else (None, None)
    proc = start(opts, env, folder, setting, answer)
    try:
        answer_question(opts, d, proc, folder, answer.split(',')[0], below)
        w = seen and check_window(opts, d, proc, seen)
        assert not below or isinstance(w, Native) or poll(lambda: level(w) > level(below),   # X's stack
                                                          'the window is behind', proc)
        check_image(opts, w, setting, seen, mover(opts, d, w), proc)
        if end == 'X lost':
            xvfb.terminate()
        elif end == 'close request':
            close(w)
        elif end:   # Escape, maybe held: only its release quits
            poll(lambda: keyboard(d, w) or not other and w.set_input_focus(X.RevertToParent,
                 X.CurrentTime), 'the window does not take the keyboard', proc)
            held, esc = HOLD * (end == 'Escape held'), 'Escape'
            w.key(esc, held) if isinstance(w, Native) else fake(d, X.KeyPress, esc) or time.sleep(held)
            assert proc.poll() is None, 'Escape quit before its release'
            w.typing.wait() if isinstance(w, Native) else fake(d, X.KeyRelease, 'Escape')
        poll(lambda: proc.poll() is not None, 'the program did not end')
        lines = said(opts, folder).replace('\r', '').splitlines() or ['']
        assert not [line for line in lines if 'Sanitizer' in line or 'runtime error:' in line], \
            'a sanitizer report'
        assert proc.returncode == status, f'status {proc.returncode}, not {status}'
        assert lines[-1].startswith(last), f'the last line on stderr is not "{last}..."'
    finally:
        stop(proc)
        other and stop(other)


class Serve(http.server.SimpleHTTPRequestHandler):   # quietly; a page asked as ?csp=NAME under it
    log_message = lambda *_: None
    end_headers = lambda h: (csp := POLICIES.get(h.path.partition('?csp=')[2])) and h.send_header(
        'Content-Security-Policy', csp) or http.server.SimpleHTTPRequestHandler.end_headers(h)


@contextlib.contextmanager
def page_session(opts, cases):   # headless Chromium at --ratio, and the cases' folders on 127.0.0.1
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Serve, directory=cases))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'   # Debian's; newer selenium will not look
    for flag in BROWSER + [f'--force-device-scale-factor={opts.ratio}',
                           '--user-data-dir=' + tempfile.mkdtemp(dir=cases)]:
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    opts.browser = webdriver.Chrome(options=options, service=Service('/usr/bin/chromedriver'))
    opts.site = f'http://127.0.0.1:{server.server_port}/'
    try:
        opts.browser.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': True})
        yield opts.browser
    finally:
        opts.browser.quit()
        server.shutdown()


def point(b, kind, x, y, finger=False):   # KIND 0 presses, 1 moves, 2 lets go at (X, Y) in the page
    b.execute_cdp_cmd(*('Input.dispatchTouchEvent', {'type': ('touchStart', 'touchMove', 'touchEnd')[
        kind], 'touchPoints': [{'x': x, 'y': y}][:kind < 2]}) if finger else ('Input.dispatchMouseEvent',
        {'type': ('mousePressed', 'mouseMoved', 'mouseReleased')[kind], 'x': x, 'y': y,
         'button': ('left', 'none')[kind == 1], 'clickCount': 1}))


def box(b, element='#canvas'):   # where ELEMENT is laid out in CSS px, by the browser's own measure
    return b.execute_script('return Element.prototype.getBoundingClientRect.call(arguments[0])'
                            '.toJSON()', b.find_element('css selector', element))


def at(b, x, y, element='#canvas'):   # the point X, Y of the way across ELEMENT, in the page
    return (lambda r: (r['x'] + x * r['width'], r['y'] + y * r['height']))(box(b, element))


def placed(b):   # the whole canvas and its lines, under it, in the page's room
    room, lines, c = box(b, 'html'), box(b, '#message'), box(b)
    return c['x'] >= 0 <= c['y'] and c['right'] <= room['width'] and max(c['bottom'], lines['bottom']) \
        <= room['height'] + 0.02 and (not lines['height'] or c['bottom'] <= lines['y'] + 0.02)


def run_page(opts, b, folder, setting, answer, seen, end, status, last):   # in Chromium; in a
    image, *given = setting.split()   # frame=WxH of a page from another origin, under a host's csp=
    frame, csp = (dict(a.split('=') for a in given).get(key, '') for key in ('frame', 'csp'))
    page = f'{opts.site}{os.path.basename(folder)}/?csp={csp}'
    shutil.copytree(opts.command[0], folder, dirs_exist_ok=True)
    if image != 'none':
        shutil.copy(image if image.endswith('.bmp') else SPRITE, folder + '/zavit.bmp')
    frame and open(folder + '/host.html', 'w').write(HOST.format(page, *frame.split('x')))
    b.get_log('browser')
    b.get(page.replace('127.0.0.1', 'localhost').split('?')[0] + 'host.html' if frame else page)
    frame and b.switch_to.frame(b.find_element('tag name', 'iframe'))
    if not answer:   # refused at once, in one line, the question closed
        return poll(lambda: said(opts, folder) == last and not b.find_element(
            'id', 'question').get_attribute('open'), f'not just the line "{last}"')
    question = poll(lambda: (q := b.find_element('id', 'question')).get_attribute('open') and b.
                    find_element('id', 'loading').text and q, 'no question, or nothing says it loads')
    for kind in (0, 2) * answer.endswith('Yes'):   # the button's middle, with the mouse or a finger
        point(b, kind, *at(b, 0.5, 0.5, '#yes'), answer.startswith('tap'))
    for key in answer.split() * (not answer.endswith('Yes')):   # answered on release only
        ActionChains(b).key_down(getattr(Keys, key.upper(), key)).perform()
        time.sleep(HOLD)
        assert question.get_attribute('open'), f'answered on {key} down'
        assert b.title != 'ZAVIT' and not said(opts, folder), 'the program before the answer'
        ActionChains(b).key_up(getattr(Keys, key.upper(), key)).perform()
    cut = lambda: '{}x{}+{}+{}'.format(*(round(box(b)[k] * opts.ratio) for k in ('width', 'height', 'x', 'y')))
    w, finger = types.SimpleNamespace(get_screenshot_as_png=b.get_screenshot_as_png, cut=cut), \
        seen == 'finger'   # the canvas cut from the page's screenshot: Chromium 150 clips a pixel short
    device = lambda: [round(box(b)[side] * opts.ratio) for side in ('width', 'height')]
    sharp = lambda: {*opts.sprite.values(), WHITE} >= set(pixels(w)) > {WHITE}   # drawn, not blurred
    move = lambda x, y: point(b, 1, *at(b, (x + 0.5) / WINDOW[0], (y + 0.5) / WINDOW[1]), finger)
    if seen == 'full screen':   # scaled by whole device pixels, black around
        poll(lambda: (d := device())[0] % WINDOW[0] == d[1] % WINDOW[1] == 0 < d[0] - WINDOW[0] and
             sharp() and BLACK in pixels(b), 'no sharp sprites in full screen')
    elif seen:   # a canvas pixel as near one CSS pixel as the room allows, in whole device pixels
        assert device() == [side * (1 if frame else max(1, round(opts.ratio))) for side in WINDOW] \
            and placed(b) and (frame or b.title == 'ZAVIT'), 'not windowed'
        poll(lambda: sharp() or 'own' in seen and len(set(pixels(w))) > 1, 'nothing drawn or blurred')
        finger and point(b, 0, *at(b, 0.5, 0.5), True)   # in the middle
    opts.zoom = device()[0] // WINDOW[0]
    if seen in ('sprites', 'finger') or seen == 'full screen' and opts.ratio != 1:
        follow(opts, w, move)
    check_image(opts, w, image, seen, move)
    finger and point(b, 2, 0, 0, True)
    if end:   # Escape, maybe held: only its release ends it
        ActionChains(b).key_down(Keys.ESCAPE).perform()
        time.sleep(HOLD * (end == 'Escape held'))
        assert not ENDED.search(said(opts, folder)), 'Escape ended it before its release'
        ActionChains(b).key_up(Keys.ESCAPE).perform()
    got = int(poll(lambda: ENDED.search(said(opts, folder)), 'the program did not end')[1])
    assert got == status, f'status {got}, not {status}'
    console = ' '.join(e['message'] for e in b.get_log('browser')).replace('\\"', '"')
    assert any(line.startswith(last) for line in said(opts, folder).splitlines()) and last in \
        console, f'no line "{last}..." in the page and on the console'
    assert 'Content Security Policy' not in console, 'against the host\'s policy'
    assert poll(lambda: placed(b), 'the canvas out of its room') and pixels(w) == pixels(w), \
        'not stopped'


def runs_here(opts, row):   # full screen is a window manager's to give; at 2x, a click on Yes too
    where, seen = row.on.replace('managers', 'all' * (not opts.windows)).split(), row.shows
    if opts.web:   # web1.5: at that device pixel ratio too
        return ('web' if opts.ratio == 1 else f'web{opts.ratio:g}') in where
    here = 'all' in where or opts.wm == 'openbox' and ('openbox' in where or
                                                       'x11' in where and not opts.windows)
    return (here or opts.scale > 1 and row.answer == 'click Yes') and (opts.wm, seen) != ('none',
                                                                                    'full screen')


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--wm', choices=WMS, default='openbox')
    parser.add_argument('--beside', action='append', default=[])
    parser.add_argument('--scale', type=int, default=1)
    parser.add_argument('--driver', help="SDL's video driver, where not the one it takes itself")
    [parser.add_argument(flag, action='store_true') for flag in ('--windows', '--classic', '--web')]
    parser.add_argument('--ratio', type=float, default=1, help="the page's device pixel ratio")
    parser.add_argument('--first', type=int, help='run only the first FIRST cases')
    parser.add_argument('command', nargs='+')
    opts, failed = parser.parse_args(), 0
    os.environ.update(SDL_VIDEODRIVER=opts.driver) if opts.driver else None
    opts.zoom = opts.scale if opts.wm == 'kwin' else 1   # where the program scales itself
    opts.command[0] = os.path.abspath(opts.command[0]) if '/' in opts.command[0] else opts.command[0]
    data = open(SPRITE, 'rb').read()   # its non-white pixels by place, as the screen stores them
    opts.sprite = {(x, 15 - y): p for y in range(16) for x in range(16)
                   if (p := data[54 + y * 48 + x * 3:][:3]) != WHITE}
    rows = [row for row in ROWS if runs_here(opts, row)][:opts.first]
    if opts.wm in WAYLAND and not shutil.which({'kwin': 'kwin_wayland'}.get(opts.wm, opts.wm)):
        return print(f'skipped: every row under {opts.wm}, not installed') or 77
    if opts.wm in WAYLAND and not os.environ.get('ZAVIT_OWN_X'):   # a chroot's mounts are private
        os.execvpe('unshare', ['unshare', '-nmpf', '--kill-child', '--propagation', 'unchanged',
                               'sh', '-c', OWN_X, 'sh', sys.executable, *sys.argv],
                   dict(os.environ, ZAVIT_OWN_X='1'))
    if opts.driver == 'wayland' and not SDL3:   # SDL 2's Wayland window, without libdecor, is
        return print('skipped: SDL on Wayland, driven where SDL 3 is beneath') or 77   # untitled
    with tempfile.TemporaryDirectory() as cases, (page_session(opts, cases) if opts.web else
                                                   x_session(opts.wm, opts.windows, opts.scale)) as session:
        for row in rows:   # a failed row runs again: a headless compositor's input can go astray
            name = ' -> '.join(filter(None, map(str, [os.path.basename(row.image), *row[1:5]])))
            for again in (0, 1):   # now and then; a fault of the program's fails both times
                folder = tempfile.mkdtemp(dir=cases)
                try:
                    with x_session(opts.wm, False) if row.ends == 'X lost' else \
                            contextlib.nullcontext(session) as own:
                        (run_page if opts.web else run_case)(opts, own, folder, *row[:-1])
                    print('ok  ', name, flush=True)
                    break
                except Exception as failure:
                    failed += again
                    print(f'{("once", "FAIL")[again]} {name}: {failure!r}',
                          *said(opts, folder).splitlines(), sep='\n    ')
    print(f'{len(rows) - failed} of {len(rows)} passed under {"Chromium" if opts.web else opts.wm}')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
