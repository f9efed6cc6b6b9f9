"""zavit as a person meets it: one table of cases, each run the same way everywhere."""

import collections
import contextlib
import glob
import os
import re
import shlex
import shutil
import subprocess
import time

import pytest
from conftest import BLACK, DESKTOPS, HOLD, SDL3, WAIT, WHITE, WINDOW, Program, close, colours
from conftest import Session, find, full_screen, has_keyboard, open_page, picture, poll, send
from conftest import white_box
from PIL import Image, ImageFile
from Xlib import X

ImageFile.LOAD_TRUNCATED_IMAGES = True  # an image whose last row lacks its padding
HERE = os.path.dirname(os.path.abspath(__file__))
IMAGES, SPRITE = HERE + "/../images", HERE + "/../../assets/zavit.bmp"
PNG = HERE + "/../../assets/zavit-48.png"  # a picture that is no BMP, named zavit.bmp
DIALOG, FRAME_TEXT = (240, 96), (160, 120)  # the X question's size; a frame's text
YES = (-48, 19), (-47, 38)  # Yes from the middle of the question's window: the dialog's, the page's
# The mouse in the window: the sprite's corner 8 px up and left cut at two corners; at the last
# it must be drawn whole, on top, in 20 pictures in a row.
POINTS = [(3, 5), (316, 237), (200, 60)]
LOAD, LOST = 'Unable to load "zavit.bmp": ', "Lost the connection to the {} display"
REFUSED = "Unable to set 320x240 video: refused 320x240x32, flags "  # refuse_video_mode.cpp
NO_DISPLAY = "Unable to init SDL: no display available"
GONE = 'Unable to init SDL: the displays "wayland-9" and ":99" did not answer'
NO_WASM = "This site's policy does not allow WebAssembly, which zavit needs."
# A case: the image (and settings) beside zavit, the question's answer, what must be seen, how
# it ends, its status, how standard error's last line starts, and where it runs (see tags).
Row = collections.namedtuple("Row", "image answer shows ends status says on")
Row.__new__.__defaults__ = ("", "", 0, "", "openbox")
FAILS = dict(answer="Return", status=1)  # a start-up failure, after the question
ALONE = dict(answer="no display", status=1)  # in a terminal outside the desktop (see started)
ROWS = [
    Row("sprite", "Return", shows="sprites", ends="Escape held", on="all web web1.5"),
    Row("sprite", "y", shows="full screen", ends="Escape", on="wm web web1.5"),
    Row("sprite", "n", shows="window", ends="close request", on="all"),
    Row("sprite", "Escape", shows="window", ends="Escape", on="all web"),
    Row("sprite", "Return, xmessage focused", shows="window", ends="Escape", on="x"),
    Row("sprite", "Tab Return", shows="full screen", ends="Escape", on="openbox web"),
    Row("sprite", "click Yes", shows="full screen", ends="Escape", on="x11 kwin_2x web"),
    Row("sprite", "close request", shows="window", ends="Escape"),
    Row("none", **FAILS, says=LOAD + "Couldn't open zavit.bmp"),
    Row("none", "Return", shows="sprites", ends="Escape", on="web"),  # the page's own copy
    Row("none host=spa", "Return", shows="sprites", ends="Escape", on="web"),  # a host's page
    Row("big", "Return", shows="sprites", ends="Escape", on="openbox web"),  # 2000 x 1500
    Row("sprite csp=strict", "Return", shows="sprites", ends="Escape", on="web"),
    Row("sprite csp=no-wasm", "", says=NO_WASM, on="web"),
    Row("sprite frame=320x240", "Return", shows="sprites", ends="Escape", on="web web1.5"),
    Row("elsewhere", "Return", shows="sprites", ends="Escape"),
    Row("own", **FAILS, says=LOAD + "File is not a Windows BMP file"),
    Row(PNG, **FAILS, says=LOAD + "File is not a Windows BMP file", on="openbox web"),
    Row("pipe", **FAILS, says=LOAD + "not a regular file", on="x11"),
    *[Row(bmp, **FAILS, says=LOAD, on="openbox web") for bmp in glob.glob(IMAGES + "/*.bmp")],
    # Odd but within every limit, or the sprite as ImageMagick 6.9's convert writes it (BMP3:
    # for v3; 1 bit: +dither -colors 2 -type Palette, v4: -monochrome; 4 bits: -type Palette;
    # 8: -size 16x1 gradient: -append -type Palette -crop 16x16+0+0)
    *[
        Row(bmp, "Return", "own colours", "Escape", on="openbox web")
        for bmp in glob.glob(IMAGES + "/good/*.bmp")
    ],
    Row("sprite SDL_VIDEODRIVER=nosuch", **FAILS, says="Unable to init SDL: "),
    Row("sprite", **ALONE, says=NO_DISPLAY, on="x11"),
    Row("sprite DISPLAY=:99 WAYLAND_DISPLAY=wayland-9", **ALONE, says=GONE, on="x11"),
    Row("sprite WAYLAND_DISPLAY={HOME}/weston", "Wayland", status=1, says=NO_DISPLAY, on="classic"),
    Row("sprite SDL_VIDEODRIVER=", **ALONE, says="Unable to init SDL: ", on="x11"),
    Row("sprite", 'typed " Yes "', status=1, says=REFUSED + "0x80000000", on="x11"),
    Row("sprite", 'typed "yess"', status=1, says=REFUSED + "0x0", on="x11"),
    Row("sprite", "Return", "window", "X lost", 1, LOST.format("X"), on="x11"),
    Row("sprite", "Return", "window", "Wayland lost", 1, LOST.format("Wayland"), on="wayland"),
]


def tags(option):
    """all, the build, the desktop's tags; web or web1.5 (the device pixel ratio). Windows'
    windows are not zavit's own X ones (x, x11)."""
    if option.build == "web":
        return {"web" if option.ratio == 1 else f"web{option.ratio:g}"}
    found = {"all", option.build, *DESKTOPS[option.desktop].tags.split()}
    return found - {"x", "x11"} if option.build == "windows" else found


def pytest_generate_tests(metafunc):
    option = metafunc.config.option
    here = tags(option)
    rows = [row for row in ROWS if here & set(row.on.split())]
    names = [" ".join(map(str, [re.sub("/.*/", "", row.image), *row[1:5]])) for row in rows]
    metafunc.parametrize("row", rows, ids=names)


@pytest.fixture(scope="module")
def sprite():
    """The sprite's pixels that are not white, by place."""
    image = Image.open(SPRITE).convert("RGB")
    pixels = {(x, y): image.getpixel((x, y)) for x in range(16) for y in range(16)}
    return {place: colour for place, colour in pixels.items() if colour != WHITE}


def test_a_person_meets_zavit(row, place, sprite, tmp_path, pytestconfig):
    option, folder = pytestconfig.option, str(tmp_path / "case")
    if SDL3 and not option.build and row.image.endswith("unpadded_last_row.bmp"):  # refused
        row = Row(row.image, **FAILS, says=LOAD + "BMP's last row lacks the padding")
    lost = {"X lost": "openbox", "Wayland lost": option.desktop}.get(row.ends)  # one of its own
    with Session(lost) if lost else contextlib.nullcontext(place) as where:
        other = focus_other(where) if "focused" in row.answer else None
        run = start(option, where, folder, row)
        try:
            run_case(option, where, run, sprite, row, other and other.w)
        finally:
            run.stop()
            if other:
                other.stop()
            print(run.said())  # shown where the case fails


def run_case(option, where, run, sprite, row, other):
    web = option.build == "web"
    if web and not row.answer:  # refused at once, in one line
        return poll(lambda: run.said() == row.says, f'not "{row.says}"')
    answer(option, where, run, row.answer.split(",")[0], other)
    seen = lambda: shown(option, where, run, row.shows)  # noqa: E731
    window = row.shows and poll(seen, "no " + row.shows, run)
    sharp = row.shows == "full screen" or web and row.shows in ("sprites", "window")
    if sharp and option.build != "classic":
        check_sharp(window, sprite, run)
    if row.shows == "sprites" or row.shows == "full screen" and option.ratio > 1:
        follow(sprite, window, run)
    if row.shows == "own colours":
        check_colours(sprite, window, row.image, run)
    end(where, run, window, row.ends)
    status = poll(lambda: run.status() is not None and [run.status()], "it did not end")[0]
    lines = [line for line in run.said().splitlines() if line.strip()] or [""]
    assert not [line for line in lines if "Sanitizer" in line or "runtime error:" in line]
    assert status == row.status, f"status {status}, not {row.status}"
    assert lines[-1].startswith(row.says), f'the last line is not "{row.says}..."'
    assert row.says not in (NO_DISPLAY, GONE) or len(lines) == 1, "more than one line"
    if web:
        check_page_after(where, run, lines)


def start(option, where, folder, row):
    """zavit in FOLDER, its image and settings beside it; or its page there."""
    image, *settings = row.image.split()
    settings = dict(setting.split("=") for setting in settings)
    if option.build == "web":
        shutil.copytree(option.program, folder)
    else:
        os.mkdir(folder)
    if image == "pipe":  # a sprite that never arrives
        os.mkfifo(folder + "/zavit.bmp")
    elif image == "big":  # a photo's size at 24 bits, the sprite in its corner, white around
        big = Image.new("RGB", (2000, 1500), WHITE)
        big.paste(Image.open(SPRITE))
        big.save(folder + "/zavit.bmp")
    elif image != "none":
        shutil.copy(image if "/" in image else SPRITE, folder + "/zavit.bmp")
    if settings.get("host") == "spa":  # a single-page site's host, told to Serve
        open(folder + "/.spa", "w").close()
    if option.build == "web":
        return open_page(where, folder, settings.get("frame"), settings.get("csp", ""))
    for path in option.beside:
        shutil.copy(path, folder)
    beside = [os.path.basename(path) for path in option.beside]
    command = [folder + "/" + w if w in beside else w for w in shlex.split(option.program)]
    cwd = folder
    if image in ("elsewhere", "own"):  # started from another folder, the image by the program
        os.mkdir(cwd := folder + "/elsewhere")
        if image == "own":  # a person's own image there wins, however bad
            shutil.copy(IMAGES + "/text.bmp", cwd + "/zavit.bmp")
    return started(row.answer, command, folder, cwd, where.env, settings)


def started(answer, command, folder, cwd, env, settings):
    """In the desktop, or in a terminal outside it, with no display but those SETTINGS name
    (HOME for the session's); there a typed answer, its video modes refused."""
    terminal, typed = answer == "no display" or answer.startswith("typed"), answer[:5] == "typed"
    gone = ("SDL_VIDEODRIVER", "XDG_RUNTIME_DIR")  # the desktop's, not a terminal's
    alone = terminal or answer == "Wayland"  # a Wayland display alone, as its settings name
    env = {k: v for k, v in env.items() if not alone or "DISPLAY" not in k and k not in gone}
    env.update({name: value.format(**env) for name, value in settings.items()}, TERM="xterm")
    if typed:
        env.update(SDL_VIDEODRIVER="dummy", LD_PRELOAD=os.environ["ZAVIT_REFUSE_VIDEO"])
    if terminal:
        command = ["script", "-qec", shlex.join(command), "/dev/null"]
    stdin = subprocess.PIPE if typed else subprocess.DEVNULL
    return Program(command, folder, cwd, env, stdin)


def answer(option, where, run, answer, other):
    """The question answered as a person answers it, and seen to answer only then."""
    if answer.startswith("typed"):
        poll(lambda: "Notice: Full Scrren? [y/N] " in run.said(), "no question", run)
        return run.proc.communicate(answer.split('"')[1].encode() + b"\n", WAIT)
    if answer in ("no display", "Wayland"):
        return
    web, windows = option.build == "web", option.build == "windows"
    asking = lambda: find(where.d.screen().root, run.asks_in)  # noqa: E731
    question = poll(asking, "no question", run)
    check_question(where, run, question, other, option.build)
    if answer == "click Yes":  # at the desktop's scale or the page's
        (x, y), z, g = YES[web], where.ratio if web else where.zoom, question.get_geometry()
        return click(where, question, g.width // 2 + x * z, g.height // 2 + y * z)
    if answer == "close request":
        return close(question)
    for key in answer.split():  # answered on release only, but for Windows' own message box
        where.key(key, 1)
        time.sleep(HOLD * (not windows))
        assert windows or asking(), f"answered on {key} down"
        where.key(key, 0)


def check_question(where, run, question, other, build):
    """At the desktop's scale, above the window that has the keys, taking them (a frame's once
    clicked in, as a person does)."""
    z = where.zoom
    if build not in ("windows", "web"):
        assert picture(question).size == (DIALOG[0] * z, DIALOG[1] * z), "not to scale"
    if build != "windows":
        poll(lambda: text_rows(picture(question)) >= 6 * z, "its text is not to scale", run)
    if run.framed:
        click(where, question, *FRAME_TEXT)
    if other:
        poll(lambda: level(question) > level(other), "the question is behind", run)
    poll(lambda: has_keyboard(question), "the question does not take the keyboard", run)


def text_rows(shot):
    """How many rows of SHOT's top half, where a question's text is, hold a dark pixel."""
    return sum(dark_rows(shot.crop((0, 0, shot.width, shot.height // 2))))


def dark_rows(shot):
    """Which rows of SHOT hold a dark pixel, as text's do."""
    grey = shot.convert("L")
    return [min(grey.crop((0, y, shot.width, y + 1)).getdata()) < 100 for y in range(shot.height)]


def click(where, w, x, y):
    at = where.d.screen().root.translate_coords(w, round(x), round(y))
    for down in (1, 0):
        where.point(at.x, at.y, down)


def level(w):
    """Where W's top-level window lies in the stack, from the bottom."""
    while (tree := w.query_tree()).parent != tree.root:
        w = tree.parent
    return [child.id for child in tree.root.query_tree().children].index(w.id)


def focus_other(where):
    """Another window, a person's terminal say, chosen to have the keyboard as a taskbar does."""
    command = "xmessage -bg gray -g 1024x768 elsewhere".split()
    other = Program(command, where.home + "/xmessage", where.home, where.env)
    other.w = poll(lambda: find(where.d.screen().root, "xmessage"), "no xmessage", other)
    send(other.w, "_NET_ACTIVE_WINDOW", 2)  # a window manager's to grant; or given directly
    other.w.set_input_focus(X.RevertToParent, X.CurrentTime)
    poll(lambda: has_keyboard(other.w), "xmessage has no keyboard")
    return other


def shown(option, where, run, seen):
    """zavit's window as SEEN: full screen or not, and at the desktop's scale or the page's."""
    window, z = where.window(run.shows_in), run.zoom or where.zoom
    full = seen == "full screen"
    if not window or window.full() != (full and option.build != "classic"):
        return None
    return (full or window.size == (WINDOW[0] * z, WINDOW[1] * z)) and window


def check_sharp(window, sprite, run):
    """Scaled by whole pixels: only the sprite's colours, white and black shown."""
    poll(lambda: set(sprite.values()) & colours(window.picture()), "no sprites", run)
    blurred = colours(window.picture()) - set(sprite.values()) - {WHITE, BLACK}
    assert not blurred, f"blurred: {len(blurred)} colours not in the sprite"


def sprite_missing(sprite, window, x, y):
    """What the window shows wrong of the sprite under the mouse at X, Y, each pixel a block."""
    shot, z, wrong = window.picture(), window.zoom, []
    for (dx, dy), want in sprite.items():
        px, py = x - 8 + dx, y - 8 + dy
        inside = 0 <= px < WINDOW[0] and 0 <= py < WINDOW[1]
        if inside and {shot.getpixel((px * z + k, py * z + k)) for k in (0, z - 1)} != {want}:
            wrong.append(f"({px},{py})")
    return wrong[:3] + ["mostly not white"] * (not mostly_white(shot))


def mostly_white(shot):
    whites = sum(n for n, colour in shot.getcolors(shot.width * shot.height) if colour == WHITE)
    return whites >= shot.width * shot.height / 4


def follow(sprite, window, run):
    """The sprite under the pointer at each point, each move sent once once a frame is drawn."""
    poll(lambda: mostly_white(window.picture()), "nothing drawn", run)
    for x, y in POINTS:
        window.move(x + 1, y)
        window.move(x, y)
        poll(lambda: not sprite_missing(sprite, window, x, y), f"no sprite at {x},{y}", run)
    for _ in range(20):
        wrong = sprite_missing(sprite, window, x, y)
        assert not wrong, f"the sprite is covered: {wrong}"


def check_colours(sprite, window, image, run):
    """An image's white seen through where it is white, and only its own colours shown."""
    own = colours(Image.open(image).convert("RGB")) | {WHITE}
    poll(lambda: mostly_white(window.picture()), "nothing drawn", run)  # a first frame, not black
    if "/palette_" in image:  # the others gather under the image, where it must be
        window.move(0, 0)
        window.move(*POINTS[-1])
        poll(lambda: seen_through(sprite, window, *POINTS[-1]), "its white hides the others", run)
    poll(lambda: not colours(window.picture()) - own, "colours not its own", run)
    assert len(colours(window.picture())) > 1, "only white drawn"


def seen_through(sprite, window, x, y):
    shot, box = window.picture(), {(dx, dy) for dx in range(16) for dy in range(16)}
    return any(shot.getpixel((x - 8 + dx, y - 8 + dy)) != WHITE for dx, dy in box - sprite.keys())


def end(where, run, window, how):
    """By a lost display, a close request or button, or Escape, quitting on its release only."""
    if how.endswith("lost"):  # its display server ends under it
        os.killpg((where.compositor or where.procs[0]).pid, 15)
    elif how == "close request":
        window.close()
    elif how:
        poll(window.has_keyboard, "the window has no keyboard", run)
        where.key("Escape", 1)
        time.sleep(HOLD * (how == "Escape held"))
        assert run.status() is None, "Escape quit before its release"
        where.key("Escape", 0)


def check_page_after(where, run, lines):
    """Stopped, out of full screen, every line shown under the canvas in its room."""
    assert "Content Security Policy" not in run.said(), "against the host's policy"
    w = poll(lambda: find(where.d.screen().root, run.shows_in), "no page")
    poll(lambda: not full_screen(w), "still full screen", run=None)
    room = picture(w)
    if run.framed:
        room = room.crop((0, 0, WINDOW[0] * where.ratio, WINDOW[1] * where.ratio))
    canvas = white_box(room) or (0, 0, 0, 0)  # none drawn after a start-up failure
    dark = dark_rows(room.crop((0, canvas[3], room.width, room.height)))
    bands = sum(row and not above for row, above in zip(dark, [False] + dark))
    assert bands >= len([line for line in lines if line]) + 1, "a line not shown under the canvas"
    assert picture(w) == picture(w), "not stopped"
