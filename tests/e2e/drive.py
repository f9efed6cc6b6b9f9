#!/usr/bin/python3
"""zavit's end-to-end cases, one table, run as a person meets the program: under Xvfb and a
window manager, with real keys and mouse (XTEST), windows found by name, pixels from the screen.

--windows: the Windows build under Wine: COMMAND is "wine zavit.exe", the --beside files
(zavit.exe, SDL.dll) go into each case's folder, and standard error is stderr.txt there."""
import argparse, contextlib, glob, os, select, shlex, shutil, signal, struct, subprocess, sys
import tempfile, time
from unittest import mock
from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest

HERE = os.path.dirname(os.path.abspath(__file__))
SPRITE = os.path.join(HERE, '../../assets/zavit.bmp')
HOSTILE = sorted(glob.glob(os.path.join(HERE, '../images/*.bmp')))   # every one must be refused
WAIT, POLL, HOLD = 10, 0.05, 0.3   # seconds: the longest wait, between two looks, a key held
WINDOW, DIALOG, YES, OFFSET = (320, 240), (240, 96), (72, 67), 8   # sizes; Yes; sprite's corner
POINTS, SHOTS = [(3, 5), (316, 237), (200, 60)], 20   # mouse in the window: corners cut the
# sprite, x and y differ; then screenshots in a row that must show it whole, drawn on top
WHITE, BLACK, WHITE_MIN = b'\xff\xff\xff', b'\0\0\0', 0.25
LOAD, LOST = 'Unable to load "zavit.bmp": ', 'Lost the connection to the X display'
REFUSED = 'Unable to set 320x240 video: refused 320x240x32, flags '   # refuse_video_mode.cpp
SANITIZER = ('AddressSanitizer', 'LeakSanitizer', 'runtime error:')
WMS = {'openbox': ['openbox'], 'metacity': ['metacity'], 'i3': ['i3', '-c', 'i3.conf'],
       'fluxbox': ['fluxbox'], 'xfwm4': ['dbus-run-session', '--', 'xfwm4']}
WM_FILES = {'i3.conf': '# i3 config file (v4)\n', '.fluxbox/init': 'session.configVersion: 13\n',
            '.fluxbox/overlay': 'background: none\n'}   # no wallpaper helper to leave a window
# Image and settings; how the question is answered; what must be seen; how it ends; status; how the last
# line on stderr starts; where: all (every manager, both builds), openbox (both builds), x11.
ROWS = [('sprite', 'Return', 'sprites', 'Escape held', 0, '', 'all'),
        ('sprite', 'y', 'full screen', 'Escape', 0, '', 'all'),
        ('sprite', 'n', 'window', 'close request', 0, '', 'all'),
        ('sprite', 'Escape', 'window', 'Escape', 0, '', 'all'),
        ('sprite', 'Tab Return', 'full screen', 'Escape', 0, '', 'openbox'),
        ('sprite', 'click Yes', 'full screen', 'Escape', 0, '', 'x11'),
        ('sprite', 'close request', 'window', 'Escape', 0, '', 'openbox'),
        ('none', 'Return', '', '', 1, LOAD + "Couldn't open zavit.bmp", 'openbox'),
        ('folder', 'Return', '', '', 1, LOAD, 'openbox'),
        *[(image, 'Return', '', '', 1, LOAD, 'openbox') for image in HOSTILE],
        ('sprite SDL_VIDEODRIVER=nosuch', 'Return', '', '', 1, 'Unable to init SDL: ', 'openbox'),
        ('sprite', 'no display', '', '', 1, 'Unable to init SDL: no display available', 'x11'),
        ('sprite', 'typed " Yes "', '', '', 1, REFUSED + '0x80000000', 'x11'),
        ('sprite', 'typed "yess"', '', '', 1, REFUSED + '0x0', 'x11'),
        ('sprite', '', '', 'X lost', 1, LOST, 'x11'),
        ('sprite', 'Return', 'window', 'X lost', 1, LOST, 'x11')]


def read_sprite():   # the sprite's non-white pixels by place, stored as the screen stores them
    data = open(SPRITE, 'rb').read()
    (offset,), (width, height) = struct.unpack_from('<I', data, 10), struct.unpack_from('<ii', data, 18)
    at = lambda x, y: data[offset + y * ((width * 3 + 3) // 4 * 4) + x * 3:][:3]
    return {(x, height - 1 - y): at(x, y) for y in range(height) for x in range(width)
            if at(x, y) != WHITE}


def poll(test, what, proc=None):   # TEST's first true result, while PROC runs; X errors miss
    end = time.monotonic() + WAIT
    while time.monotonic() < end and not (proc and proc.poll() is not None):
        with contextlib.suppress(error.XError):
            if got := test():
                return got
        time.sleep(POLL)
    raise AssertionError(what + (f' (ended: {proc.returncode})' if proc and proc.returncode else ''))


def stop(proc):   # ends the process and its whole group
    for sig in (signal.SIGTERM, signal.SIGKILL):
        with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
            os.killpg(proc.pid, sig)
            proc.wait(WAIT)


def prop(w, name):
    return getattr(w.get_full_property(w.display.get_atom(name), X.AnyPropertyType), 'value', [])


def find(w, title):   # the viewable window named exactly TITLE at or under W, or None
    with contextlib.suppress(error.XError):
        if title.encode() in (prop(w, 'WM_NAME'), prop(w, '_NET_WM_NAME')) and \
                w.get_attributes().map_state == X.IsViewable:
            return w
        return next(filter(None, (find(c, title) for c in w.query_tree().children)), None)


def fake(d, kinds, key='', w=None, x=0, y=0):   # the mouse to (X, Y) in W, then KEY or button 1
    at = w and d.screen().root.translate_coords(w, x, y)
    for kind in [X.MotionNotify] * bool(w) + kinds:
        place = {'x': at.x, 'y': at.y} if kind == X.MotionNotify else {}
        code = d.keysym_to_keycode(XK.string_to_keysym(key)) if key else int(not place)
        xtest.fake_input(d, kind, code, **place)
    d.sync()


def close(w):   # a close request, as a window manager sends it
    atom = w.display.get_atom
    w.send_event(protocol.event.ClientMessage(window=w, client_type=atom('WM_PROTOCOLS'),
                 data=(32, [atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0])))
    w.display.flush()


def colours(w):   # every pixel of W, as stored (blue, green, red)
    g = w.get_geometry()
    shot = w.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xffffffff).data
    return [shot[i:i + 3] for i in range(0, len(shot), 4)]


def wrong_pixels(sprite, w, x, y):   # what W shows wrong of the pointer's sprite at (X, Y)
    shot, (width, height) = colours(w), WINDOW
    wrong = [f'({px},{py}) is {shot[py * width + px].hex()}, not {want.hex()}'
             for (dx, dy), want in sprite.items() for px, py in [(x - OFFSET + dx, y - OFFSET + dy)]
             if 0 <= px < width and 0 <= py < height and shot[py * width + px] != want]
    white = shot.count(WHITE) / len(shot)
    return '; '.join(wrong[:3] + [f'{white:.0%} white'] * (white < WHITE_MIN))


@contextlib.contextmanager
def x_session(wm, windows):   # Xvfb and the manager WM, with Wine's server up for --windows
    home, procs = tempfile.mkdtemp(prefix='zavit-x.'), []
    spawn = lambda command, **options: procs.append(subprocess.Popen(
        command, stderr=subprocess.DEVNULL, start_new_session=True, **options)) or procs[-1]
    try:
        xvfb = spawn(['Xvfb', '-displayfd', '1', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                     stdout=subprocess.PIPE)
        number = select.select([xvfb.stdout], [], [], WAIT)[0] and xvfb.stdout.readline().decode()
        env = dict(os.environ, DISPLAY=':' + (number or '').strip())
        with mock.patch('os.path.exists', return_value=False):   # the abstract socket, as libxcb
            d = display.Display(env['DISPLAY'])                    # does: not another's file
        os.mkdir(home + '/.fluxbox')
        for name, text in WM_FILES.items():
            open(os.path.join(home, name), 'w').write(text)
        manager = spawn(WMS[wm], cwd=home, stdout=subprocess.DEVNULL,
                        env=dict(env, HOME=home, XDG_RUNTIME_DIR=home))
        root, probe = d.screen().root, d.screen().root.create_window(0, 0, 1, 1, 0, 0)
        poll(lambda: manager.poll() is None and prop(root, '_NET_SUPPORTING_WM_CHECK') and (
            probe.map() or probe.get_attributes().map_state == X.IsViewable), f'no {wm}')
        probe.destroy()
        if windows:   # a prefix of its own, warmed up: a cold one is slow to show a window
            env.update(WINEPREFIX=home + '/wine', WINEDLLOVERRIDES='mscoree,mshtml=', WINEDEBUG='-all')
            os.mkdir(env['WINEPREFIX'])
            for command in ('wineserver -p', 'wineboot -i', 'wine cmd /c exit'):
                subprocess.run(command.split(), env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, check=True)
        yield env, d, xvfb
    finally:
        if windows:
            subprocess.run(['wineserver', '-k'], env=env, stderr=subprocess.DEVNULL)
        for proc in reversed(procs):
            stop(proc)
        shutil.rmtree(home, ignore_errors=True)


def said(opts, folder):   # the program's standard error, wherever it went
    paths = [folder + '.err'] + [os.path.join(folder, 'stderr.txt')] * opts.windows
    return ''.join(open(p, errors='replace').read() for p in paths if os.path.isfile(p))


def start(opts, env, folder, setting, answer):   # the program in FOLDER, its image and settings
    image, *assignments = setting.split()
    if image == 'folder':
        os.mkdir(folder + '/zavit.bmp')
    elif image != 'none':
        shutil.copy(SPRITE if image == 'sprite' else image, folder + '/zavit.bmp')
    for path in opts.beside:
        shutil.copy(path, folder)
    bare, typed = answer == 'no display', answer.startswith('typed')
    env = {k: v for k, v in env.items() if not (bare or typed) or 'DISPLAY' not in k}
    if typed:   # headless, named so, with every video mode refused
        env.update(SDL_VIDEODRIVER='dummy', LD_PRELOAD=':'.join(filter(None, [
            os.environ['ZAVIT_REFUSE_VIDEO'], env.get('LD_PRELOAD')])))
    if bare:
        env.pop('SDL_VIDEODRIVER', None)
    env.update(assignment.split('=') for assignment in assignments)
    command = ['script', '-qec', shlex.join(opts.command), '/dev/null'] if typed else opts.command
    with open(folder + '.err', 'wb') as err:
        return subprocess.Popen(command, cwd=folder, env=env, stdout=err, stderr=err,
                                stdin=subprocess.PIPE if typed else subprocess.DEVNULL,
                                start_new_session=True)


def answer_question(opts, d, proc, folder, answer):
    window = lambda title: poll(lambda: find(d.screen().root, title), f'no "{title}"', proc)
    if answer.startswith('typed'):
        poll(lambda: 'Notice: Full Scrren? [y/N] ' in said(opts, folder), 'no question', proc)
        proc.stdin.write(answer.split('"')[1].encode() + b'\n')
        return proc.stdin.close()
    if answer == 'no display':
        return None
    question = window('Notice')
    assert not find(d.screen().root, 'ZAVIT'), 'a "ZAVIT" window before the answer'
    assert opts.windows or (question.get_geometry().width, question.get_geometry().height) == \
        DIALOG and d.get_atom('_NET_WM_WINDOW_TYPE_DIALOG') in prop(question, '_NET_WM_WINDOW_TYPE')
    if answer == 'click Yes':
        return fake(d, [X.ButtonPress, X.ButtonRelease], w=question, x=YES[0], y=YES[1])
    if answer == 'close request':
        return close(question)
    poll(lambda: keyboard(d, question), 'the question did not take the keyboard', proc)
    for key in answer.split():   # the X11 question answers on a key's release only
        fake(d, [X.KeyPress], key)
        time.sleep(0 if opts.windows else HOLD)
        assert opts.windows or find(d.screen().root, 'Notice'), f'answered on {key} down'
        fake(d, [X.KeyRelease], key)


def keyboard(d, w):   # whether W, or the frame around it, has the keyboard
    return getattr(d.get_input_focus().focus, 'id', 0) in (w.id, w.query_tree().parent.id)


def check_window(opts, d, proc, seen):   # the window shows as SEEN; its sprites or sharpness
    full = seen == 'full screen'
    mode = lambda w: w and (d.get_atom('_NET_WM_STATE_FULLSCREEN') in prop(w, '_NET_WM_STATE')) == full \
        and (full or (w.get_geometry().width, w.get_geometry().height) == WINDOW) and w
    w = poll(lambda: mode(find(d.screen().root, 'ZAVIT')), f'no "ZAVIT" in {seen}', proc)
    if full:   # scaled by whole pixels, it shows only the sprite's colours, white and black
        poll(lambda: set(opts.sprite.values()) & set(colours(w)), 'no sprites', proc)
        extra = set(colours(w)) - set(opts.sprite.values()) - {WHITE, BLACK}
        assert not extra, f'blurred: {len(extra)} colours not in the sprite'
    for x, y in POINTS if seen == 'sprites' else []:
        fake(d, [], w=w, x=x, y=y)
        poll(lambda: not wrong_pixels(opts.sprite, w, x, y),
             f'no sprite under the mouse at {x},{y}: {wrong_pixels(opts.sprite, w, x, y)}', proc)
    for _ in range(SHOTS if seen == 'sprites' else 0):
        wrong = wrong_pixels(opts.sprite, w, *POINTS[-1])
        assert not wrong, f"the pointer's sprite is covered: {wrong}"
    return w


def run_case(opts, session, folder, image, answer, seen, end, status, last):
    env, d, xvfb = session
    proc = start(opts, env, folder, image, answer)
    try:
        answer_question(opts, d, proc, folder, answer)
        w = seen and check_window(opts, d, proc, seen)
        if end == 'X lost':
            xvfb.terminate()
        elif end == 'close request':
            close(w)
        elif end.startswith('Escape'):   # held or not, only its release quits
            poll(lambda: keyboard(d, w) or w.set_input_focus(X.RevertToParent, X.CurrentTime),
                 'cannot focus "ZAVIT"', proc)
            fake(d, [X.KeyPress], 'Escape')
            time.sleep(HOLD if end == 'Escape held' else 0)
            assert proc.poll() is None, 'Escape quit before its release'
            fake(d, [X.KeyRelease], 'Escape')
        poll(lambda: proc.poll() is not None, 'the program did not end')
        lines = said(opts, folder).replace('\r', '').splitlines() or ['']
        assert not any(s in line for s in SANITIZER for line in lines), 'a sanitizer report'
        assert proc.returncode == status, f'status {proc.returncode}, not {status}'
        assert lines[-1].startswith(last), f'the last line on stderr is not "{last}..."'
    finally:
        stop(proc)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--wm', choices=WMS, default='openbox')
    parser.add_argument('--windows', action='store_true')
    parser.add_argument('--beside', action='append', default=[])
    parser.add_argument('--first', type=int, help='run only the first FIRST cases')
    parser.add_argument('command', nargs='+')
    opts = parser.parse_args()
    opts.command[0] = os.path.abspath(opts.command[0]) if '/' in opts.command[0] else opts.command[0]
    opts.sprite, began, failed = read_sprite(), time.monotonic(), 0
    rows = [row for row in ROWS if row[-1] == 'all' or opts.wm == 'openbox' and (
        row[-1] == 'openbox' or not opts.windows)][:opts.first]
    with tempfile.TemporaryDirectory() as cases, x_session(opts.wm, opts.windows) as session:
        for image, *row, _ in rows:
            name = ' -> '.join(filter(None, map(str, [os.path.basename(image)] + row[:4])))
            folder = tempfile.mkdtemp(dir=cases)
            try:
                with x_session(opts.wm, False) if row[2] == 'X lost' else \
                        contextlib.nullcontext(session) as own:
                    run_case(opts, own, folder, image, *row)
                print('ok  ', name, flush=True)
            except Exception as failure:
                failed += 1
                print(f'FAIL {name}: {failure}', *said(opts, folder).splitlines(), sep='\n    ',
                      flush=True)
    print(f'{len(rows) - failed} of {len(rows)} passed under {opts.wm}'
          f'{" (Windows build)" * opts.windows} in {time.monotonic() - began:.0f} s')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
