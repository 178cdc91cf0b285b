// The page around the program: its width argument, its printed lines, its
// state (loading, running, ended) and starting it again; the canvas scaled
// to the window; one finger as the mouse; buttons for the keys; the offline
// copy of the site. Sharing is share.js.
'use strict';
(function () {
  var stage = document.getElementById('stage');
  var screen = document.getElementById('screen');
  var canvas = document.getElementById('canvas');
  var output = document.getElementById('output');
  var keys = document.getElementById('keys');
  var hint = document.getElementById('hint');
  var restart = document.getElementById('restart');
  var showkeys = document.getElementById('showkeys');
  var fullscreen = document.getElementById('fullscreen');
  var width = new URLSearchParams(window.location.search).get('width');
  var touchscreen = navigator.maxTouchPoints > 0 || window.matchMedia('(pointer: coarse)').matches;

  function print(line) {
    output.appendChild(document.createTextNode(line + '\n'));
  }

  function ended() {
    document.body.dataset.state = 'ended';
    restart.hidden = false;
  }

  restart.addEventListener('click', function () {
    window.location.reload();
  });
  // The canvas takes the keyboard when clicked; keys elsewhere stay the page's.
  canvas.addEventListener('mousedown', function () {
    canvas.focus();
  });

  // A key held down is one press, as on the desktop, where SDL repeats no
  // key unless asked to: the browser's repeats stop before they reach it.
  window.addEventListener('keydown', function (event) {
    if (event.repeat && event.target === canvas) event.stopPropagation();
  }, true);

  // The canvas at the largest size the window holds: whole multiples of the
  // program's pixels in device pixels where it fits at least once, never
  // below one CSS pixel a pixel then; scaled down to fit where it does not.
  // Nearest neighbour either way (page.css).
  function fit() {
    var full = (document.fullscreenElement || document.webkitFullscreenElement) === stage;
    var box = getComputedStyle(full ? stage : document.body);
    var room = (full ? window.innerWidth : document.documentElement.clientWidth) -
      parseFloat(box.paddingLeft) - parseFloat(box.paddingRight);
    var roomy = window.innerHeight - parseFloat(box.paddingTop) - parseFloat(box.paddingBottom);
    var most = Math.min(room / canvas.width, roomy / canvas.height);
    var dpr = window.devicePixelRatio || 1;
    var scale = most >= 1 ? Math.max(1, Math.floor(most * dpr) / dpr) : Math.max(most, 0.05);
    screen.style.width = canvas.width * scale + 'px';
  }
  window.addEventListener('resize', fit);
  document.addEventListener('fullscreenchange', fit);
  document.addEventListener('webkitfullscreenchange', fit);

  // One finger is the mouse: the first finger down on the canvas presses,
  // moves and releases, as mouse events at its place; other fingers do
  // nothing, and the page neither scrolls nor zooms under any of them. A
  // finger beyond the canvas's edge holds the position at the edge.
  var finger = null;  // the identifier of the finger that is the mouse
  var lastx = 0, lasty = 0;  // where its last mouse event was
  function mouse(type, touch) {
    var r = canvas.getBoundingClientRect();
    var step = r.width / canvas.width;
    var stepy = r.height / canvas.height;
    var x = Math.min(Math.max(touch.clientX, r.left), r.left + (canvas.width - 0.5) * step);
    var y = Math.min(Math.max(touch.clientY, r.top), r.top + (canvas.height - 0.5) * stepy);
    // The browser may drop a move just before the lift: what is lifted
    // stays where the finger left it.
    if (type === 'mouseup' && (x !== lastx || y !== lasty)) mouse('mousemove', touch);
    lastx = x;
    lasty = y;
    canvas.dispatchEvent(new MouseEvent(type, {
      bubbles: true, cancelable: true, view: window, clientX: x, clientY: y,
      button: 0, buttons: type === 'mouseup' ? 0 : 1,
    }));
  }
  function ours(list) {
    for (var i = 0; i < list.length; i++) if (list[i].identifier === finger) return list[i];
    return null;
  }
  function ontouch(event) {
    if (event.target !== canvas) return;
    event.preventDefault();
    event.stopPropagation();  // emscripten's own touch handling never sees it
    if (event.type === 'touchstart') {
      if (finger !== null) return;
      var first = event.changedTouches[0];
      finger = first.identifier;
      mouse('mousedown', first);
      return;
    }
    var touch = ours(event.changedTouches);
    if (touch === null) return;
    if (event.type === 'touchmove') {
      mouse('mousemove', touch);
    } else {
      mouse('mouseup', touch);
      finger = null;
    }
  }
  ['touchstart', 'touchmove', 'touchend', 'touchcancel'].forEach(function (type) {
    window.addEventListener(type, ontouch, { capture: true, passive: false });
  });

  // Buttons for the keys: each sends its key to the program as the keyboard
  // would, down and up. Shift stays on until a digit is sent with it. Each
  // entry: the key, its word on the button and what the button does; the
  // word is one of those the button is named by, so what is seen is heard.
  var commands = [
    ['c', 'colours', 'Next background colours'],
    ['e', 'eye', 'Eye demo'],
    ['f', 'fractal', 'New fractal background'],
    ['h', 'hide', 'Hide or show all but the balls'],
    ['m', 'mixing', 'Colour mixing on or off'],
    ['p', 'pause', 'Pause or resume'],
    ['r', 'rotate', 'Rotate the hoses on or off'],
    ['s', 'spiral', 'Spiral demo'],
    ['x', 'delete', 'Delete every hose and block'],
    ['Escape', 'quit', 'Quit, or leave a demo'],
    ['Shift', 'Shift', 'Shift: the next digit stores a preset'],
  ];
  for (var n = 1; n <= 9; n++) commands.push([String(n), '', '']);

  // What the keyboard's event for key carries, the legacy key code included.
  function keyinfo(key) {
    if (key === 'Escape') return { key: key, code: 'Escape', keyCode: 27, location: 0 };
    if (key === 'Shift') return { key: key, code: 'ShiftLeft', keyCode: 16, location: 1 };
    if (key >= '1' && key <= '9') return { key: key, code: 'Digit' + key, keyCode: key.charCodeAt(0), location: 0 };
    return { key: key, code: 'Key' + key.toUpperCase(), keyCode: key.toUpperCase().charCodeAt(0), location: 0 };
  }
  function sendkey(type, key, shifted) {
    var k = keyinfo(key);
    var event = new KeyboardEvent(type, {
      key: k.key, code: k.code, location: k.location, shiftKey: shifted, bubbles: true, cancelable: true,
    });
    // The legacy key code, which the program's SDL reads, cannot be given
    // to a made event otherwise.
    Object.defineProperty(event, 'keyCode', { value: k.keyCode });
    Object.defineProperty(event, 'which', { value: k.keyCode });
    canvas.dispatchEvent(event);
  }

  var shift = null;  // the Shift button
  function setshift(on) {
    shift.setAttribute('aria-pressed', on ? 'true' : 'false');
    keys.querySelectorAll('button[data-digit]').forEach(function (b) {
      b.setAttribute('aria-label', (on ? 'Store preset ' : 'Load preset ') + b.dataset.key);
      b.lastChild.textContent = on ? 'store' : 'load';
    });
  }
  function press(button) {
    var key = button.dataset.key;
    var shifted = shift.getAttribute('aria-pressed') === 'true';
    if (key === 'Shift') {
      setshift(!shifted);
      return;
    }
    var digit = button.dataset.digit !== undefined;
    shifted = shifted && digit;
    if (shifted) sendkey('keydown', 'Shift', true);
    sendkey('keydown', key, shifted);
    sendkey('keyup', key, shifted);
    if (shifted) {
      sendkey('keyup', 'Shift', false);
      setshift(false);
    }
  }
  commands.forEach(function (c) {
    var b = document.createElement('button');
    b.type = 'button';
    b.dataset.key = c[0];
    // The key itself stands above the word, drawn by page.css.
    b.dataset.cap = c[0] === 'Escape' ? 'Esc' : c[0] === 'Shift' ? '\u21e7' : c[0];
    b.appendChild(document.createTextNode(c[1]));
    if (c[0] >= '1' && c[0] <= '9') b.dataset.digit = '';
    else b.setAttribute('aria-label', c[2]);
    if (c[0] === 'Shift') shift = b;
    keys.appendChild(b);
  });
  setshift(false);
  // A press by finger or mouse on a key or the page's own buttons leaves
  // the keyboard with the canvas.
  [keys, document.getElementById('controls')].forEach(function (row) {
    row.addEventListener('mousedown', function (event) {
      if (event.target.closest('button')) event.preventDefault();
    });
  });
  keys.addEventListener('click', function (event) {
    var b = event.target.closest('button');
    if (b !== null && document.body.dataset.state === 'running') press(b);
  });

  function setkeys(on) {
    keys.hidden = !on;
    showkeys.setAttribute('aria-pressed', on ? 'true' : 'false');
    fit();
  }
  showkeys.addEventListener('click', function () {
    setkeys(keys.hidden);
  });
  setkeys(touchscreen);
  if (touchscreen) hint.textContent = 'Drag hoses and blocks with a finger; the buttons are the keys.';

  // Full screen where the browser offers it: the canvas, the keys and the lines.
  var enter = stage.requestFullscreen || stage.webkitRequestFullscreen;
  if (enter && (document.fullscreenEnabled || document.webkitFullscreenEnabled)) {
    fullscreen.hidden = false;
    fullscreen.addEventListener('click', function () {
      if (document.fullscreenElement || document.webkitFullscreenElement) {
        (document.exitFullscreen || document.webkitExitFullscreen).call(document);
      } else {
        Promise.resolve(enter.call(stage)).catch(function () {});
      }
    });
  }

  // The site kept for offline starts, once the page has what it needs; a
  // newer site, when there is one, is fetched now and used from the next
  // visit on.
  if ('serviceWorker' in navigator) {
    window.addEventListener('load', function () {
      navigator.serviceWorker.register('sw.js').then(function (registration) {
        return registration.active ? registration.update() : null;
      }).catch(function () {});
    });
  }

  window.Module = {
    arguments: width === null ? [] : [width],
    canvas: canvas,
    keyboardListeningElement: canvas,
    print: print,
    printErr: print,
    onshown: function () {
      document.body.dataset.state = 'running';
      fit();
      canvas.focus();
    },
    onended: ended,
    onExit: ended,
    onAbort: ended,
  };
  fit();

  // The program starts once the page's scripts have run and the address's
  // scene link, if any, is read (share.js).
  document.addEventListener('DOMContentLoaded', function () {
    (window.spumexlink ? window.spumexlink() : Promise.resolve()).then(function () {
      var script = document.createElement('script');
      script.src = 'spumex.js';
      document.body.appendChild(script);
    });
  });
})();
