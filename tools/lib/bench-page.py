#!/usr/bin/python3
"""Times the page in headless Chromium, as tools/bench-frames --web does beside the desktop build:
frames and the time between them, CPU per frame of the renderer, the GPU process and the whole
browser (/proc), navigation to the first frame after an answer given at once, the renderer's peak
memory, the wasm heap, and every file's size, plain and gzipped; with PICTURE, a PNG of the page round the canvas after.
Each run is made in software GL (as a machine without a usable GPU draws) and with the GPU
turned off, beside a bare page that only puts 32 squares moving on white on a canvas every 20 ms:
the floor that any page showing such a picture pays.
Usage: bench-page.py SECONDS SITE_FOLDER [PICTURE]"""
import functools, gzip, http.server, os, re, statistics, subprocess, sys, tempfile, threading, time
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

BROWSER = ('--headless --no-sandbox --disable-quic --no-first-run --window-size=799,599 '
           '--disable-background-networking --disable-component-update --disable-sync').split()
GL = {'software GL': ['--use-gl=angle', '--use-angle=swiftshader'], 'no GPU': ['--disable-gpu']}
GAP_MS = 8        # canvas calls further apart than this begin a new frame
MOVE_PAUSE = 0.05  # seconds between two pointer moves
TICK_MS = 1000 / os.sysconf('SC_CLK_TCK')
# The bare page: 32 squares of 16 x 16 bounce on white, drawn into one image put on a canvas.
BARE_HTML = ('<!doctype html><title>bare</title><canvas width="320" height="240"></canvas>'
             '<script src="bare.js"></script>')
BARE_JS = '''
const context = document.querySelector('canvas').getContext('2d', {desynchronized: true});
const image = context.createImageData(320, 240), pixels = new Uint32Array(image.data.buffer);
const squares = Array.from({length: 32}, (_, i) => [i * 37 % 304, i * 53 % 224, 1 + i % 3, 2 - i % 2]);
setInterval(() => {
  pixels.fill(0xffffffff);
  for (const s of squares) {
    for (const axis of [0, 1]) {
      s[axis] += s[axis + 2];
      if (s[axis] < 0 || s[axis] > (axis ? 224 : 304)) s[axis + 2] = -s[axis + 2];
    }
    for (let y = 0; y < 16; y++) pixels.fill(0xff2050c0, (s[1] + y) * 320 + s[0], (s[1] + y) * 320 + s[0] + 16);
  }
  context.putImageData(image, 0, 0);
}, 20);'''
MARGIN = 40        # CSS pixels of the page kept round the canvas in the picture
GATHER = 3         # seconds the swarm gets to gather round the pointer before the picture
# Watches the canvas from outside the program: a frame is a burst of 2D calls; the wasm memory.
PROBE = '''
window.__frames = []; window.__calls = 0;
addEventListener('keyup', () => (window.__answered = window.__answered || performance.now()), true);
for (const name of ['fillRect', 'drawImage', 'putImageData']) {
  const own = CanvasRenderingContext2D.prototype[name];
  CanvasRenderingContext2D.prototype[name] = function (...args) {
    const now = performance.now(), last = window.__frames.at(-1);
    if (!last || now - last[1] > %d) window.__frames.push([now, now]); else last[1] = now;
    window.__calls++;
    return own.apply(this, args);
  };
}
for (const name of ['instantiate', 'instantiateStreaming']) {
  const own = WebAssembly[name];
  WebAssembly[name] = (...args) => own(...args).then(got => {
    const exports = (got.instance || got).exports;
    window.__memory = Object.values(exports).find(e => e instanceof WebAssembly.Memory);
    return got;
  });
}''' % GAP_MS


def processes(root):   # every process under ROOT, by id: its type and its CPU ticks so far
    table = {}
    for pid in (int(p) for p in os.listdir('/proc') if p.isdigit()):
        try:
            stat = open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()
            args = open(f'/proc/{pid}/cmdline').read()
        except OSError:
            continue
        kind = (re.search(r'--type=([\w-]+)', args) or [0, 'browser'])[1]
        table[pid] = (int(stat[1]), kind, int(stat[11]) + int(stat[12]))
    found, parents = {}, {root}
    while grown := {p for p, row in table.items() if row[0] in parents and p not in parents}:
        parents |= grown   # process ids wrap: a child's may be below its parent's
        found.update((p, table[p][1:]) for p in grown)
    return found


def peak_kb(pid):
    return next(int(line.split()[1]) for line in open(f'/proc/{pid}/status') if line.startswith('VmHWM'))


def main():
    seconds, site = float(sys.argv[1]), os.path.abspath(sys.argv[2])
    root = tempfile.mkdtemp(prefix='zavit-bench-page-')   # zavit/ the site, bare/ the bare page
    os.symlink(site, root + '/zavit')
    os.mkdir(root + '/bare')
    open(root + '/bare/index.html', 'w').write(BARE_HTML)
    open(root + '/bare/bare.js', 'w').write(BARE_JS)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(type(
        'Quiet', (http.server.SimpleHTTPRequestHandler,), {'log_message': lambda *_: None}),
        directory=root))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        for gl, flags in GL.items():
            for page in ('zavit', 'bare'):
                print(f'--- {page}, {gl}')
                run(f'http://127.0.0.1:{server.server_port}/{page}/', seconds, flags,
                    page == 'zavit' and len(sys.argv) > 3 and gl == 'no GPU' and sys.argv[3])
    finally:
        server.shutdown()
    sizes(site)


def run(url, seconds, flags, picture_path):   # one page in one browser: its figures
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'   # Debian's; newer selenium will not look
    for flag in BROWSER + flags + ['--user-data-dir=/tmp/zavit-bench-page-%d' % os.getpid()]:
        options.add_argument(flag)
    b = webdriver.Chrome(options=options, service=Service('/usr/bin/chromedriver'))
    try:
        b.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': PROBE})
        b.get(url)
        ActionChains(b).send_keys(Keys.RETURN).perform()   # the answer at once
        end = time.monotonic() + 10
        while not b.execute_script('return window.__frames.length') and time.monotonic() < end:
            time.sleep(0.01)
        time.sleep(1)   # past start-up
        rect = b.find_element('tag name', 'canvas').rect
        before, start = processes(b.service.process.pid), b.execute_script('return performance.now()')
        for k in range(int(seconds / MOVE_PAUSE)):   # the same wandering path as the desktop's
            x, y = (k * 13) % 640, (k * 7) % 480
            b.execute_cdp_cmd('Input.dispatchMouseEvent', {
                'type': 'mouseMoved', 'x': rect['x'] + min(x, 639 - x) + 0.5,
                'y': rect['y'] + min(y, 479 - y) + 0.5})
            time.sleep(MOVE_PAUSE)
        after, stop = processes(b.service.process.pid), b.execute_script('return performance.now()')
        frames, calls, heap, marks = b.execute_script(
            'return [window.__frames, window.__calls, window.__memory && window.__memory.buffer.byteLength, '
            '[performance.getEntriesByType("navigation")[0].loadEventEnd, window.__answered]]')
        report(frames, calls, heap, before, after, start, stop, marks)
        renderer = max((p for p in after if after[p][0] == 'renderer'),
                       key=lambda p: after[p][1] - before.get(p, ('', 0))[1])
        print(f'renderer peak memory (VmHWM): {peak_kb(renderer) / 1024:.1f} MB')
        if picture_path:
            picture(b, rect, picture_path)
    finally:
        b.quit()


def report(frames, calls, heap, before, after, start, stop, marks):   # the page's figures
    inside = [f[0] for f in frames if start <= f[0] <= stop]
    periods = sorted(b - a for a, b in zip(inside, inside[1:]))
    cpu = {}
    for pid, (kind, ticks) in after.items():
        used = (ticks - before.get(pid, (kind, 0))[1]) * TICK_MS
        cpu[kind] = cpu.get(kind, 0) + used
    n = max(len(inside), 1)
    print(f'page: {len(inside)} frames in {(stop - start) / 1000:.1f} s, '
          f'{len(inside) * 1000 / (stop - start):.1f} frames per second; between frames '
          f'median {statistics.median(periods):.2f} ms, 95th percentile '
          f'{periods[int(len(periods) * 0.95)]:.2f} ms; {calls / max(len(frames), 1):.1f} canvas calls a frame')
    print('CPU per frame: ' + ', '.join(f'{kind} {ms / n:.2f} ms' for kind, ms in sorted(cpu.items()))
          + f', whole browser {sum(cpu.values()) / n:.2f} ms')
    print(f'navigation to the first frame after an answer at once: {frames[0][0]:.0f} ms '
          f'(the page loaded at {marks[0]:.0f} ms, the answer released at {marks[1] or 0:.0f} ms)')
    print(f'wasm heap: {heap / 2**20:.1f} MB' if heap else 'wasm heap: not seen')


def picture(b, rect, path):   # the page round the canvas, the pointer resting in it
    b.execute_cdp_cmd('Input.dispatchMouseEvent', {'type': 'mouseMoved', 'x': rect['x'] + 200.5,
                                                   'y': rect['y'] + 100.5})
    time.sleep(GATHER)
    crop = f"{rect['width'] + 2 * MARGIN}x{rect['height'] + 2 * MARGIN}+" \
           f"{max(0, rect['x'] - MARGIN):.0f}+{max(0, rect['y'] - MARGIN):.0f}"
    subprocess.run(['convert', 'png:-', '-crop', crop, '+repage', '-strip', path],
                   input=b.get_screenshot_as_png(), check=True)


def sizes(site):   # every file the page loads, plain and gzipped
    total = [0, 0]
    for name in sorted(os.listdir(site)):
        data = open(os.path.join(site, name), 'rb').read()
        packed = len(gzip.compress(data, 9, mtime=0))
        total = [total[0] + len(data), total[1] + packed]
        print(f'{len(data):9d} {packed:9d}  {name}')
    print(f'{total[0]:9d} {total[1]:9d}  in all (bytes: plain, gzipped)')


if __name__ == '__main__':
    main()
