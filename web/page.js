// zavit's page: asks the question at once, loads the program, places its canvas by whole
// pixels, and shows what it says and when it has ended.
'use strict';

const SCREEN_W = 320; // the canvas's own pixels
const SCREEN_H = 240;
const PROGRAM = 'zavit.js';  // Emscripten's output, which loads zavit.wasm
const SPRITE = 'zavit.bmp';  // a person's own image, beside this page
const ESCAPE = 'Escape';
const FOCUS_KEYS = ['Tab', 'ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown'];
const ANSWER_KEYS = ['y', 'n', ESCAPE, 'Enter', ' '];
const EMPTY_MODULE = new Uint8Array([0, 0x61, 0x73, 0x6d, 1, 0, 0, 0]); // "\0asm", version 1

const stage = document.getElementById('stage');
const canvas = document.getElementById('canvas');
const message = document.getElementById('message');
const loading = document.getElementById('loading');
const dialog = document.getElementById('question');
const yes = document.getElementById('yes');
const no = document.getElementById('no');

let escapeHeld = false;      // the page saw Escape go down
let escapeLeftFull = false;  // the browser used that Escape to leave full screen
let escapeLocked = false;    // Keyboard Lock gives every Escape in full screen to the page
let broken = false;          // a failure has been shown: the first says what happened

// A line in the page, and on the console for whoever reads it there.
function say(text) {
  console.info(text);
  message.textContent += (message.textContent ? '\n' : '') + text;
}

function enterFullscreen() {
  const refused = (why) => say(`Full screen was refused (${why}); zavit runs in the page.`);
  if (!stage.requestFullscreen) return refused('this browser offers none');
  stage.requestFullscreen({navigationUI: 'hide'}).then(() => {
    if (navigator.keyboard && navigator.keyboard.lock)
      navigator.keyboard.lock([ESCAPE]).then(() => (escapeLocked = true), () => {});
  }, (error) => refused(error.message));
}

// No is the default; keys move the focus when pressed and answer when released, as the
// desktop's dialog does. Full screen must come from the answering gesture itself.
function ask() {
  return new Promise((resolve) => {
    const pressed = new Set();
    let answered = false; // the dialog's own close event comes later, and must not say No
    const answer = (full) => {
      if (!dialog.open) return;
      answered = true;
      dialog.close();
      if (full) enterFullscreen();
      setTimeout(() => resolve(full));   // once the answering event has gone by
    };
    const keyOf = (event) => (event.key.length === 1 ? event.key.toLowerCase() : event.key);
    dialog.addEventListener('cancel', (event) => event.preventDefault());
    dialog.addEventListener('close', () => answered || resolve(false)); // closed by the browser: No
    dialog.addEventListener('keydown', (event) => {
      const key = keyOf(event);
      if (FOCUS_KEYS.includes(key)) (document.activeElement === yes ? no : yes).focus();
      else if (ANSWER_KEYS.includes(key)) pressed.add(key);
      else return;
      event.preventDefault();
    });
    dialog.addEventListener('keyup', (event) => {
      const key = keyOf(event);
      if (!pressed.delete(key)) return;
      event.preventDefault();
      const onFocused = key === 'Enter' || key === ' ';
      answer(key === 'y' || (onFocused && document.activeElement === yes));
    });
    yes.addEventListener('click', () => answer(true));
    no.addEventListener('click', () => answer(false));
    dialog.showModal();
    no.focus();
  });
}

// The canvas in the room it has: the screen in full screen, else the page above its lines.
// A canvas pixel is a whole number of device pixels: the most that fit in full screen, the
// nearest to one CSS pixel in the page; a fraction only where one device pixel does not fit.
// Centred with its lines at whole device pixels. The size goes in properties of the page's own,
// since the program clears the canvas's width and height when it sets its mode.
function place() {
  const full = document.fullscreenElement === stage;
  const ratio = window.devicePixelRatio || 1;
  const roomW = stage.clientWidth;
  const roomH = stage.clientHeight - (full ? 0 : message.offsetHeight);
  const fits = Math.min(roomW * ratio / SCREEN_W, roomH * ratio / SCREEN_H);
  const whole = Math.min(Math.floor(fits), full ? fits : Math.max(1, Math.round(ratio)));
  const scale = (whole >= 1 ? whole : fits) / ratio; // CSS pixels a canvas pixel
  const snap = (length) => Math.floor(length * ratio) / ratio;
  const top = snap((roomH - SCREEN_H * scale) / 2);
  const set = (name, length) => document.documentElement.style.setProperty(name, `${length}px`);
  set('--width', SCREEN_W * scale);
  set('--height', SCREEN_H * scale);
  set('--left', snap((roomW - SCREEN_W * scale) / 2));
  set('--top', top);
  set('--below', top + SCREEN_H * scale);
}

// The program measures the pointer from the canvas's box and truncates; the box is painted
// snapped to device pixels, so it measures from there.
function measureFromPaintedBox() {
  const layoutBox = HTMLCanvasElement.prototype.getBoundingClientRect;
  canvas.getBoundingClientRect = function () {
    const box = layoutBox.call(this);
    const ratio = window.devicePixelRatio || 1;
    const snap = (length) => Math.round(length * ratio) / ratio;
    return new DOMRect(snap(box.left), snap(box.top), snap(box.right) - snap(box.left),
                       snap(box.bottom) - snap(box.top));
  };
}

// The mouse and a finger reach the program by one path: each pointer event on the canvas is
// handed on as the mouse event the program reads, with the fractions of a CSS pixel that tell a
// canvas pixel which is not a whole number of them (Chromium's mouse events are in whole ones).
// The browser's own mouse and touch events stop here.
function pointerAsMouse() {
  const MOUSE = {pointermove: 'mousemove', pointerdown: 'mousedown', pointerup: 'mouseup'};
  const stop = (event) => event.isTrusted && event.stopImmediatePropagation();
  for (const type of [...Object.values(MOUSE), 'touchstart', 'touchmove', 'touchend'])
    canvas.addEventListener(type, stop, true);
  for (const [type, kind] of Object.entries(MOUSE)) {
    canvas.addEventListener(type, (event) => {
      const mouse = new MouseEvent(kind, event);
      Object.defineProperties(mouse, {pageX: {value: event.pageX}, pageY: {value: event.pageY}});
      canvas.dispatchEvent(mouse);
    }, true);
  }
}

// An Escape whose press the browser took to leave full screen is not the person's quit; under
// Keyboard Lock every Escape is, even one held until the browser leaves full screen.
function keepBrowsersEscape() {
  addEventListener('keydown', (event) => {
    if (event.key === ESCAPE) escapeHeld = true;
  }, true);
  addEventListener('keyup', (event) => {
    if (event.key !== ESCAPE) return;
    if (!escapeHeld || escapeLeftFull) event.stopImmediatePropagation();
    escapeHeld = escapeLeftFull = false;
  }, true);
  document.addEventListener('fullscreenchange', () => {
    if (!document.fullscreenElement && escapeHeld && !escapeLocked) escapeLeftFull = true;
    if (!document.fullscreenElement) escapeLocked = false;
  });
}

// Before the program runs a failure means its files did not load; after, that it broke.
function failed(why) {
  if (broken) return;
  broken = true;
  loading.remove();
  if (document.body.dataset.status) say(`zavit stopped: ${why}`);
  else say(`zavit's files failed to load: ${why}.`);
}

// zavit cannot run here: the one line that says why, and nothing loads.
function refuse(why) {
  loading.remove();
  say(why);
}

function ended(status) {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  if (navigator.keyboard && navigator.keyboard.unlock) navigator.keyboard.unlock();
  document.body.dataset.status = status;
  loading.remove();
  say(`zavit has ended (status ${status}). Reload the page to start it again.`);
}

// A host of single-page sites answers a file it lacks with its own page: no image is there.
function hostsPage(reply) {
  return /^text\/html/i.test(reply.headers.get('Content-Type'));
}

// The person's own image where the page's folder has one, else the program's built-in copy.
function start() {
  // The program draws in the context made here, shown without waiting on the page's own frames.
  canvas.getContext('2d', {desynchronized: true});
  const sprite = fetch(SPRITE).then(
      (reply) => !hostsPage(reply) && (reply.ok ? reply.arrayBuffer() : null), () => null);
  window.Module = {
    canvas,
    answer: ask(),
    files: {}, // each the one copy of its file, which the program takes and lets go
    filesRead: sprite.then((bytes) => {
      if (bytes) Module.files[SPRITE] = new Uint8Array(bytes);
    }),
    print: (text) => console.log(text),
    // The program's own lines once it runs; the loader's on the console alone.
    printErr: (text) => (document.body.dataset.status ? say(text) : console.error(text)),
    started: () => (document.body.dataset.status = 'running'),
    drawing: () => loading.remove(), // nothing left under the canvas for the compositor to draw
    onExit: ended,
    onAbort: failed,
  };
  // The program's exit ends its last call with an ExitStatus, which is no failure.
  addEventListener('unhandledrejection', (event) => {
    if (event.reason && event.reason.name === 'ExitStatus') event.preventDefault();
    else failed(event.reason);
  });
  addEventListener('error', (event) => failed(event.message));
  const program = document.createElement('script');
  program.src = PROGRAM;
  program.onerror = () => failed(`${PROGRAM} cannot be read`);
  document.body.append(program);
}

// A host's Content-Security-Policy may forbid compiling WebAssembly even where the browser can.
function wasmAllowed() {
  try {
    new WebAssembly.Module(EMPTY_MODULE);
    return true;
  } catch (error) {
    return false;
  }
}

// The canvas is placed again whenever its room changes: the window, full screen, or a line.
function placeOnChange() {
  const room = new ResizeObserver(place);
  room.observe(stage);
  room.observe(message);
  addEventListener('resize', place);
  document.addEventListener('fullscreenchange', place); // the screen may be the page's size
}

placeOnChange();
measureFromPaintedBox();
pointerAsMouse();
keepBrowsersEscape();
if (typeof WebAssembly !== 'object')
  refuse('This browser cannot run WebAssembly, which zavit needs.');
else if (!wasmAllowed())
  refuse("This site's policy does not allow WebAssembly, which zavit needs.");
else if (location.protocol === 'file:') failed('a page opened straight from disk may not read ' +
                                             'zavit.wasm; serve its folder with a web server');
else start();
