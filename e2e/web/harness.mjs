// Browser harness: the built site on a loopback port, Debian's Chromium
// headless through puppeteer-core, the canvas's pixels read in the page, and
// the reference frames that spumexwebref draws through the desktop code.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import puppeteer from 'puppeteer-core';

const top = resolve(import.meta.dirname ?? new URL('.', import.meta.url).pathname, '../..');
export const site = process.env.SPUMEX_SITE || join(top, 'build-web/site');
export const webref = process.env.SPUMEX_WEBREF || join(top, 'build/e2e/spumexwebref');
const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

// Everything one test file holds: work folder, server, browser, page, and
// the console errors seen since the last check.
export const s = { work: '', refs: '', server: null, base: '', browser: null, page: null, errors: [], manifest: null };

// Another server than serve.mjs, when serveby names one before setup: an
// object whose start(port) serves the site on that loopback port (0: a free
// one) and gives the page's address, and whose stop() ends that.
let other = null;
export function serveby(server) {
  other = server;
}

// The reference frames, the server on a free port, the browser with a fresh profile.
export async function setup() {
  s.work = mkdtempSync(join(tmpdir(), 'spumex-web-'));
  s.refs = join(s.work, 'refs');
  execFileSync(webref, [s.refs], { stdio: ['ignore', 'ignore', 'inherit'] });
  s.manifest = JSON.parse(readFileSync(join(s.refs, 'frames.json'), 'utf8'));
  s.base = await serve(0);
  s.browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: join(s.work, 'profile'),
    args: ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync',
      ...(process.getuid?.() === 0 ? ['--no-sandbox'] : [])],
  });
  s.page = await newpage();
}

// Another tab of the same browser profile (or of context, a fresh one),
// watched for errors like the first; the helpers below act on whichever page
// s.page holds.
export async function newpage(context = s.browser) {
  const page = await context.newPage();
  // A large window: the canvas is scaled up by a whole multiple.
  await page.setViewport({ width: 2200, height: 1700 });
  page.on('console', (m) => {
    if (m.type() === 'error') s.errors.push(`console: ${m.text()} (${m.location()?.url ?? ''})`);
  });
  page.on('pageerror', (e) => s.errors.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => s.errors.push(`request failed: ${r.url()} ${r.failure()?.errorText}`));
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
  await s.browser?.close();
  s.server?.kill();
  await other?.stop();
  if (s.work) rmSync(s.work, { recursive: true, force: true });
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

// Viewport position of canvas pixel (px, py) on the scaled canvas: the whole
// CSS pixel at or before the pixel's centre, which lies inside it whenever a
// pixel is a CSS pixel or more wide, however an engine rounds.
export async function at(px, py) {
  return s.page.evaluate((px, py) => {
    const c = document.getElementById('canvas');
    const b = c.getBoundingClientRect();
    return [Math.floor(b.left + (px + 0.5) * b.width / c.width), Math.floor(b.top + (py + 0.5) * b.height / c.height)];
  }, px, py);
}

export async function move(px, py) {
  const [x, y] = await at(px, py);
  await s.page.mouse.move(x, y);
}

export async function click(px, py) {
  await move(px, py);
  await s.page.mouse.down();
  await s.page.mouse.up();
}

export async function drag([fx, fy, tx, ty]) {
  await move(fx, fy);
  await s.page.mouse.down();
  const [x, y] = await at(tx, ty);
  await s.page.mouse.move(x, y, { steps: 6 });
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
