// Browser harness: the built site on a loopback port, one browser engine
// (SPUMEX_ENGINE: chromium, the default, and firefox headless through
// puppeteer-core; webkit, WebKitGTK's MiniBrowser under Xvfb through
// webdriver.mjs), the canvas's pixels read in the page, and the reference
// frames that spumexwebref draws through the desktop code. The tests call the
// same methods of the page whatever the engine.
import { spawn, execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import puppeteer from 'puppeteer-core';
import * as webdriver from './webdriver.mjs';

const top = resolve(import.meta.dirname ?? new URL('.', import.meta.url).pathname, '../..');
export const site = process.env.SPUMEX_SITE || join(top, 'build-web/site');
export const webref = process.env.SPUMEX_WEBREF || join(top, 'build/e2e/spumexwebref');

// What each engine can be asked for beyond the mouse, the keyboard and the
// page's own scripts; a test that needs one skips with the reason where an
// engine cannot (test(name, { skip: cannot('touch') }, ...)).
//   touch: page.touchscreen's touches arrive as touch events;
//   serviceworker: a service worker registers and then controls the page;
//   emulation: page.emulate of a phone: its scale factor, touch points and
//     coarse pointer, its user agent;
//   interception: page.setRequestInterception, the page's requests held in
//     'request' events and let go;
//   serviceworkerbypass: page.setBypassServiceWorker;
//   cdp: page.createCDPSession, Chromium's own protocol.
const features = ['touch', 'serviceworker', 'emulation', 'interception', 'serviceworkerbypass', 'cdp'];
const engines = {
  chromium: {
    launch: chromium,
    cannot: {},
  },
  firefox: {
    launch: firefox,
    cannot: {
      emulation: 'through WebDriver BiDi a page emulated as a phone has no touch points and no coarse pointer',
      serviceworkerbypass: 'puppeteer has no service worker bypass over WebDriver BiDi',
      cdp: 'Firefox speaks WebDriver BiDi, not the Chrome DevTools Protocol',
    },
  },
  webkit: {
    launch: webkit,
    cannot: {
      touch: 'WebKitWebDriver delivers touch actions as mouse events',
      emulation: 'classic WebDriver has no device emulation',
      interception: 'classic WebDriver cannot hold requests',
      serviceworkerbypass: 'classic WebDriver cannot bypass a service worker',
      cdp: 'WebKit speaks WebDriver, not the Chrome DevTools Protocol',
    },
  },
};
export const engine = process.env.SPUMEX_ENGINE || 'chromium';
if (!Object.hasOwn(engines, engine)) {
  throw new Error(`SPUMEX_ENGINE=${engine}: the engines are ${Object.keys(engines).join(', ')}`);
}

// false when the engine can do what, else why not (for a test's skip).
export function cannot(what) {
  if (!features.includes(what)) throw new Error(`cannot('${what}'): the features are ${features.join(', ')}`);
  return engines[engine].cannot[what] ? `${engine}: ${engines[engine].cannot[what]}` : false;
}

// Everything one test file holds: work folder, server, browser, page, and
// the console errors seen since the last check.
export const s = {
  engine, can: Object.fromEntries(features.map((w) => [w, !cannot(w)])),
  work: '', refs: '', server: null, base: '', browser: null, xvfb: null, page: null, errors: [], manifest: null,
};

// Debian's Chromium headless with a profile of its own; also for the
// README's pictures (pictures.mjs).
export function chromium(profile) {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync',
      ...(process.getuid?.() === 0 ? ['--no-sandbox'] : [])],
  });
}

function firefox(profile) {
  return puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
    headless: true,
    userDataDir: profile,
  });
}

// Debian keeps the MiniBrowser beside the WebKitGTK library that the driver
// was built for, not on the PATH: in the package of that library, which the
// driver's package depends on (webkit2gtk-driver on Debian 12,
// webkitgtk-webdriver from Debian 13 on).
function minibrowser(driver) {
  if (process.env.MINIBROWSER) return process.env.MINIBROWSER;
  const query = (...args) => execFileSync('dpkg-query', args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] });
  const owner = /^[^:\s]+/.exec(query('-S', driver))[0];
  const libs = query('-W', '-f=${Depends}', owner).match(/libwebkit[\w.+-]*/g) ?? [];
  for (const lib of libs) {
    const found = query('-L', lib).split('\n').find((f) => f.endsWith('/MiniBrowser'));
    if (found) return found;
  }
  throw new Error(`no MiniBrowser in the WebKitGTK libraries that ${owner} depends on (${libs.join(', ')})`);
}

// A virtual X server of its own (-displayfd picks a free display), then the
// driver and the MiniBrowser it starts with a fresh home for its data.
async function webkit(profile) {
  s.xvfb = spawn('Xvfb', ['-displayfd', '3', '-nolisten', 'tcp', '-noreset', '-screen', '0', '2560x2048x24'],
    { stdio: ['ignore', 'ignore', 'inherit', 'pipe'] });
  const display = await new Promise((ok, fail) => {
    let text = '';
    s.xvfb.stdio[3].on('data', (d) => {
      text += d;
      if (text.endsWith('\n')) ok(`:${text.trim()}`);
    });
    s.xvfb.on('exit', (code) => fail(new Error(`Xvfb ended with status ${code}`)));
  });
  for (const d of ['data', 'config', 'cache']) mkdirSync(join(profile, d), { recursive: true });
  const driver = process.env.WEBKITWEBDRIVER || '/usr/bin/WebKitWebDriver';
  return webdriver.launch({
    driver,
    env: {
      ...process.env, DISPLAY: display, NO_AT_BRIDGE: '1', MESA_SHADER_CACHE_DISABLE: 'true', HOME: profile,
      XDG_DATA_HOME: join(profile, 'data'), XDG_CONFIG_HOME: join(profile, 'config'), XDG_CACHE_HOME: join(profile, 'cache'),
    },
    stderr: 'inherit',
    capabilities: { 'webkitgtk:browserOptions': { binary: minibrowser(driver), args: ['--automation'] } },
  });
}

// Another server than serve.mjs, when serveby names one before setup: an
// object whose start(port) serves the site on that loopback port (0: a free
// one) and gives the page's address, and whose stop() ends that.
let other = null;
export function serveby(server) {
  other = server;
}

// The reference frames, the server on a free port, the engine's browser with a fresh profile.
export async function setup() {
  s.work = mkdtempSync(join(tmpdir(), 'spumex-web-'));
  s.refs = join(s.work, 'refs');
  execFileSync(webref, [s.refs], { stdio: ['ignore', 'ignore', 'inherit'] });
  s.manifest = JSON.parse(readFileSync(join(s.refs, 'frames.json'), 'utf8'));
  s.base = await serve(0);
  s.browser = await engines[engine].launch(join(s.work, 'profile'));
  s.page = await newpage();
}

// Another tab of the same browser profile (or of context, a fresh one),
// watched for errors like the first; the helpers below act on whichever page
// s.page holds.
export async function newpage(context = s.browser) {
  const page = await context.newPage();
  // Firefox ESR 140 (Debian 12 before its security updates) lacks the screen
  // orientation command puppeteer sends with a viewport (which is set all the
  // same), and lets the page's Content-Security-Policy refuse the function
  // puppeteer's own waiting builds inside the page: there the page is polled.
  if (engine === 'firefox') {
    const set = page.setViewport.bind(page);
    page.setViewport = (viewport) => set(viewport).catch((e) => {
      if (!/setScreenOrientationOverride/.test(e.message)) throw e;
    });
    page.waitForFunction = (fn, options, ...args) => webdriver.waitfor(page, () => page.isClosed(), fn, options, ...args);
  }
  // A large window: the canvas is scaled up by a whole multiple.
  await page.setViewport({ width: 2200, height: 1700 });
  page.on('console', (m) => {
    if (m.type() === 'error') s.errors.push(`console: ${m.text()} (${m.location()?.url ?? ''})`);
  });
  page.on('pageerror', (e) => s.errors.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => s.errors.push(`request failed: ${r.url()} ${r.failure()?.errorText}`));
  page.on('response', (r) => {
    if (r.status() >= 400) s.errors.push(`response: ${r.url()} ${r.status()}`);
  });
  return page;
}

// The site's server on port (0: a free one); its address.
export async function serve(port) {
  if (other) return other.start(port);
  s.server = spawn(process.execPath, [join(top, 'web/serve.mjs'), site, String(port)], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((ok, fail) => {
    let text = '';
    s.server.stdout.on('data', (d) => {
      text += d;
      const m = /http:\/\/127\.0\.0\.1:\d+\//.exec(text);
      if (m) ok(m[0]);
    });
    s.server.on('exit', (code) => fail(new Error(`serve.mjs ended with status ${code}`)));
  });
}

// Stops the server; the next serve(port) brings it back at the same address.
export async function unserve() {
  if (other) {
    await other.stop();
    return Number(new URL(s.base).port);
  }
  const gone = new Promise((ok) => s.server.once('exit', ok));
  s.server.kill();
  await gone;
  return Number(new URL(s.base).port);
}

export async function teardown() {
  try {
    await s.browser?.close();
  } finally {
    s.xvfb?.kill();
    s.server?.kill();
    await other?.stop();
  }
  // The browser's last processes may still be writing into the profile.
  if (s.work) rmSync(s.work, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
}

// Errors since the last call, as one message ('' for none).
export function takeerrors() {
  const e = s.errors.join('\n');
  s.errors = [];
  return e;
}

// Load the page (query such as '?width=333') and wait until it has drawn.
export async function open(query = '') {
  await s.page.goto(s.base + query);
  await s.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 30000 });
}

export async function state() {
  return s.page.evaluate(() => document.body.dataset.state);
}

// Viewport position of canvas pixel (px, py) in whole CSS pixels, which every
// engine takes as they are: the pixel's centre rounded down, or its near edge
// rounded up where that is later, so inside the pixel at any scale of one or
// more. The scale is the canvas's box over its width in pixels.
export async function at(px, py) {
  const [left, top, scale] = await s.page.evaluate(() => {
    const c = document.getElementById('canvas');
    const b = c.getBoundingClientRect();
    return [b.left, b.top, b.width / c.width];
  });
  const whole = (edge) => Math.max(Math.floor(edge + scale / 2), Math.ceil(edge));
  return [whole(left + px * scale), whole(top + py * scale)];
}

// WebDriver moves the pointer with no event when it is already there, as it
// may be after a reload, where the page would not learn of it: the pointer
// comes from the position beside.
async function pointto(x, y) {
  await s.page.mouse.move(x > 0 ? x - 1 : x + 1, y);
  await s.page.mouse.move(x, y);
}

export async function move(px, py) {
  const [x, y] = await at(px, py);
  await pointto(x, y);
}

export async function click(px, py) {
  await move(px, py);
  await s.page.mouse.down();
  await s.page.mouse.up();
}

// Pressed at the first canvas pixel, moved in six steps (whole pixels each),
// released at the second.
export async function drag([fx, fy, tx, ty]) {
  const [x0, y0] = await at(fx, fy);
  const [x1, y1] = await at(tx, ty);
  await pointto(x0, y0);
  await s.page.mouse.down();
  for (let i = 1; i <= 6; i++) {
    await s.page.mouse.move(Math.round(x0 + ((x1 - x0) * i) / 6), Math.round(y0 + ((y1 - y0) * i) / 6));
  }
  await s.page.mouse.up();
}

export async function key(k, shift = false) {
  if (shift) await s.page.keyboard.down('Shift');
  await s.page.keyboard.press(k);
  if (shift) await s.page.keyboard.up('Shift');
}

// The canvas's pixels, R, G, B, A bytes row by row.
export async function canvas() {
  const b64 = await s.page.evaluate(() => {
    const c = document.getElementById('canvas');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let bin = '';
    for (let i = 0; i < d.length; i += 0x8000) bin += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
    return btoa(bin);
  });
  return Buffer.from(b64, 'base64');
}

// Poll the canvas in the page until it equals the named reference frame or
// the time is up; '' when equal, else the size or the number of differing
// pixels and the first difference.
export async function equalframe(name, timeoutms = 5000) {
  const f = s.manifest.frames[name];
  const want = readFileSync(join(s.refs, name + '.rgba')).toString('base64');
  return s.page.evaluate(async (want, w, h, timeoutms) => {
    const ref = Uint8Array.from(atob(want), (ch) => ch.charCodeAt(0));
    const c = document.getElementById('canvas');
    const hex = (d, i) => '#' + [d[i], d[i + 1], d[i + 2], d[i + 3]].map((v) => v.toString(16).padStart(2, '0')).join('');
    const until = performance.now() + timeoutms;
    for (;;) {
      let why;
      if (c.width !== w || c.height !== h) {
        why = `canvas ${c.width}x${c.height}, reference ${w}x${h}`;
      } else {
        const d = c.getContext('2d').getImageData(0, 0, w, h).data;
        let n = 0, first = -1;
        for (let i = 0; i < d.length; i += 4) {
          if (d[i] !== ref[i] || d[i + 1] !== ref[i + 1] || d[i + 2] !== ref[i + 2] || d[i + 3] !== ref[i + 3]) {
            if (n++ === 0) first = i;
          }
        }
        if (n === 0) return '';
        const p = first / 4;
        why = `${n} pixels differ, the first at (${p % w}, ${Math.floor(p / w)}): ${hex(d, first)}, want ${hex(ref, first)}`;
      }
      if (performance.now() > until) return why;
      await new Promise((ok) => setTimeout(ok, 25));
    }
  }, want, f.width, f.height, timeoutms);
}

// The simulation steps after which the hose-drag scene shows this frame,
// as spumexwebref finds them; throws with its message when none does.
export function hosesteps(rgba) {
  const file = join(s.work, 'hose.rgba');
  writeFileSync(file, rgba);
  return Number(execFileSync(webref, [join(s.work, 'search'), file], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] }));
}

// One finger's drag from canvas pixel to canvas pixel in whole CSS pixels;
// with second, another finger touches that pixel, moves and lifts halfway.
export async function touchdrag([fx, fy, tx, ty], second = null) {
  const [x0, y0] = await at(fx, fy);
  const [x1, y1] = await at(tx, ty);
  const finger = await s.page.touchscreen.touchStart(x0, y0);
  for (let i = 1; i <= 6; i++) {
    await finger.move(Math.round(x0 + (x1 - x0) * i / 6), Math.round(y0 + (y1 - y0) * i / 6));
    if (i === 3 && second) {
      const [x2, y2] = await at(...second);
      const other = await s.page.touchscreen.touchStart(x2, y2);
      await other.move(x2 + 40, y2 + 30);
      await other.end();
    }
  }
  await finger.end();
}

// A tap on the on-screen key button that sends key.
export async function tapkey(key) {
  const b = await s.page.$(`#keys button[data-key="${key}"]`);
  await b.tap();
}

// The text of a slot's preset file in the page's file system.
export async function presettext(slot) {
  return s.page.evaluate((slot) => FS.readFile(`/home/web_user/.spumexpreset${slot}`, { encoding: 'utf8' }), slot);
}
