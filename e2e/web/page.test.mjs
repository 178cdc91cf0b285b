// The page as people meet it on phones, tablets and large screens: touch,
// the key buttons, the canvas fitted to the screen, installing, offline
// starts, and what assistive technology finds.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { deflateRawSync } from 'node:zlib';
import { after, afterEach, before, test } from 'node:test';
import { KnownDevices } from 'puppeteer-core';
import { cannot, drag, equalframe, key, move, newpage, open, presettext, s, serve, setup, takeerrors, tapkey, teardown, touchdrag, unserve } from './harness.mjs';

const top = resolve(import.meta.dirname ?? new URL('.', import.meta.url).pathname, '../..');

before(setup);
after(teardown);
afterEach(() => assert.equal(takeerrors(), ''));

const phone = KnownDevices['Pixel 5'];

// The device where the engine emulates one, else only its window's size:
// null, or why the window cannot take that size.
async function become(device) {
  if (s.can.emulation) return s.page.emulate(device).then(() => null);
  return s.page.setViewport({ width: device.viewport.width, height: device.viewport.height })
    .then(() => null, (e) => `${s.engine}: ${e.message}`);
}

test('on a phone, touch drags and the on-screen Shift and digit store what the mouse and keyboard would',
  { skip: cannot('touch') }, async (t) => {
  const cannotbe = await become(phone);
  if (cannotbe) return t.skip(cannotbe);
  // The key buttons shown in both rounds, so that the page is laid out alike.
  const begin = async () => {
    await open();
    if (await s.page.$eval('#keys', (k) => k.hidden)) await s.page.click('#showkeys');
  };
  await begin();
  const start = await presettext(0).catch(() => '');
  const drags = [s.manifest.hosedrag, ...s.manifest.blockdrags];
  // The page scrolled a little, and a second finger during the block drag:
  // neither changes where anything goes.
  const scroll = () => s.page.evaluate(() => { window.scrollTo(0, 8); return window.scrollY; });
  assert.equal(await scroll(), 8);
  for (const d of drags) await touchdrag(d, d === drags[1] ? s.manifest.park : null);
  await tapkey('Shift');
  const label = await s.page.$eval('#keys [data-key="3"]', (b) => b.getAttribute('aria-label'));
  assert.equal(label, 'Store preset 3');
  await tapkey('3');
  await s.page.waitForFunction(() => document.querySelector('#keys [data-key="Shift"]').getAttribute('aria-pressed') === 'false');
  const bytouch = await s.page.waitForFunction(() => {
    try { return FS.readFile('/home/web_user/.spumexpreset2', { encoding: 'utf8' }); } catch { return false; }
  }).then((h) => h.jsonValue());

  await begin();
  assert.equal(await scroll(), 8);
  for (const d of drags) await drag(d);
  await key('Digit4', true);
  await s.page.waitForFunction(() => {
    try { return FS.readFile('/home/web_user/.spumexpreset3', { encoding: 'utf8' }) !== ''; } catch { return false; }
  });
  assert.equal(bytouch, await presettext(3));
  assert.match(bytouch, /^hose:.*\n(.*\n)*block:/, 'the drags made no hose and block');
  assert.notEqual(bytouch, start);
});

// Portrait and landscape, phone and tablet, and a large desktop window.
for (const [name, device] of [
  ['Pixel 5', phone], ['Pixel 5 landscape', KnownDevices['Pixel 5 landscape']],
  ['iPad Mini', KnownDevices['iPad Mini']], ['iPad Mini landscape', KnownDevices['iPad Mini landscape']],
  ['a 2200 x 1700 window', null],
]) {
  test(`the whole canvas is in view on ${name}, nothing runs off sideways`, async (t) => {
    if (!device) await s.page.setViewport({ width: 2200, height: 1700, isMobile: false, hasTouch: false, deviceScaleFactor: 1 });
    const cannotbe = device ? await become(device) : null;
    if (cannotbe) return t.skip(cannotbe);
    await open();
    const l = await s.page.evaluate(() => {
      const c = document.getElementById('canvas');
      const r = c.getBoundingClientRect();
      return {
        scroll: document.documentElement.scrollWidth, width: document.documentElement.clientWidth,
        left: r.left, right: r.right, scale: r.width / c.width, rendering: getComputedStyle(c).imageRendering,
        keys: !document.getElementById('keys').hidden,
      };
    });
    assert.ok(l.scroll <= l.width, `the page is ${l.scroll} pixels wide in a ${l.width} pixel window`);
    assert.ok(l.left >= 0 && l.right <= l.width, `the canvas spans ${l.left} to ${l.right}`);
    assert.equal(l.rendering, 'pixelated');
    if (s.can.emulation) assert.equal(l.keys, device !== null, 'key buttons shown on touch screens only');
    if (!device) assert.equal(l.scale, 3, 'a 640 pixel canvas is three times as large in a 2200 pixel window');
  });
}

test('installable, and after one visit it starts with the server gone', { skip: cannot('serviceworker') }, async () => {
  await open();
  if (s.can.cdp) {
    const cdp = await s.page.createCDPSession();
    const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors, []);
  }
  await s.page.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: 30000 });
  const port = await unserve();
  try {
    await open();
    assert.match(await s.page.$eval('#output', (o) => o.textContent), /^Spumex/);
  } finally {
    await serve(port);
  }
});

// axe-core's rules with the page's own policy left on: its source is run
// through the browser's debugging channel, which the policy does not govern.
const axe = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
async function violations() {
  await s.page.evaluate(axe);
  const found = await s.page.evaluate(async () => (await window.axe.run(document)).violations);
  return found.filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => `${v.id}: ${v.help} (${v.nodes.map((n) => n.target.join(' ')).join(', ')})`);
}

test('axe finds nothing serious while loading, running and ended, keys shown', async () => {
  // Loading lasts while the program's WebAssembly is held back, where the
  // engine can hold it and keep the site's offline copy out of the way.
  if (s.can.interception && s.can.serviceworkerbypass) {
    await s.page.setBypassServiceWorker(true);
    await s.page.setRequestInterception(true);
    const held = [];
    const hold = (r) => (r.url().endsWith('.wasm') ? held.push(r) : r.continue());
    s.page.on('request', hold);
    await s.page.goto(s.base);
    assert.equal(await s.page.evaluate(() => document.body.dataset.state), 'loading');
    assert.deepEqual(await violations(), [], 'loading');
    s.page.off('request', hold);
    for (const r of held) await r.continue();
    await s.page.setRequestInterception(false);
    await s.page.setBypassServiceWorker(false);
    await s.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 30000 });
  } else {
    await open();
  }
  await s.page.click('#showkeys');
  assert.deepEqual(await violations(), [], 'running');
  await s.page.click('#keys [data-key="Escape"]');
  await s.page.waitForFunction(() => document.body.dataset.state === 'ended');
  assert.deepEqual(await violations(), [], 'ended');
});

// A page of a fresh profile at address, running, where the engine makes one;
// else a page of the same profile. Close it with the returned function.
async function fresh(address) {
  const context = s.browser.createBrowserContext ? await s.browser.createBrowserContext() : null;
  s.page = await newpage(context ?? s.browser);
  await s.page.goto(address);
  await s.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 30000 });
  const page = s.page;
  return () => (context ?? page).close();
}
// The stored preset files and their texts, as the page read them at start.
const stored = () => s.page.evaluate(() => FS.readdir('/home/web_user').filter((n) => n.startsWith('.spumexpreset'))
  .map((n) => [n, FS.readFile(`/home/web_user/${n}`, { encoding: 'utf8' })]).sort().join('\n'));

test('a desktop preset made a link, and the share button\'s link, open to the desktop\'s pixels and store nothing', async () => {
  const first = s.page;
  // The blocks the reference frames start from, as the desktop stored them.
  let address = execFileSync(join(top, 'tools/scenelink.sh'), [join(s.refs, 'home/.spumexpreset0'), s.base], { encoding: 'utf8' }).trim();
  for (const made of ['tools/scenelink.sh', 'the share button']) {
    const done = await fresh(s.base);
    const before = await stored();
    // Opened as a new address, not as a change of this page's fragment.
    await s.page.goto('about:blank');
    await s.page.goto(address);
    await s.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 30000 });
    await move(...s.manifest.park);
    assert.equal(await equalframe('start640'), '', made);
    assert.equal(await stored(), before, made);
    await s.page.click('[data-action="share"]');
    address = await s.page.waitForFunction(() => document.getElementById('share-link').value).then((h) => h.jsonValue());
    assert.ok(address.length < 2000, `a ${address.length} character link`);
    await done();
  }
  s.page = first;
});

test('a link with no usable scene says so in one line, starts without it and stores nothing', async () => {
  const code = (text) => deflateRawSync(text).toString('base64url');
  const full = code(readFileSync(join(s.refs, 'home/.spumexpreset0')));
  const none = 'This link holds no usable scene: Spumex starts without it.';
  const cases = [
    ['not base64url', 'ab$c', none],
    ['not deflate', Buffer.from('hello').toString('base64url'), none],
    ['cut short', full.slice(0, full.length >> 1), none],
    ['over 65,535 bytes inflated', code(Buffer.alloc(65536, 'x')), none],
    ['a zero byte', code('block:1,2,3\n\0'), none],
    ['lines the preset reader skips', code('hose:1,2,3\nblock:1,2,3\nhose :1,2,3,4,5,6\n'),
      'This link\u2019s scene has 2 lines Spumex cannot read: Spumex starts without it.'],
  ];
  const first = s.page;
  const done = await fresh(s.base);
  const plain = await s.page.evaluate(() => Module.scenetext());
  const before = await stored();
  for (const [name, fragment, line] of cases) {
    await s.page.goto('about:blank');
    await s.page.goto(`${s.base}#scene=${fragment}`);
    await s.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 30000 });
    assert.equal(await s.page.$eval('#status', (p) => p.textContent), line, name);
    assert.equal(await s.page.evaluate(() => Module.scenetext()), plain, name);
    assert.equal(await stored(), before, name);
  }
  await done();
  s.page = first;
});

// The download the page would make, caught in the page: name and bytes, and
// the canvas's pixels when the page asked it for a picture (null when the
// page hides the button instead, finding it cannot do this).
async function catchdownload(action) {
  await s.page.evaluate(() => {
    const text = (d) => {
      let bin = '';
      for (let i = 0; i < d.length; i += 0x8000) bin += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
      return btoa(bin);
    };
    window.caught = null;
    let shown = '';
    const picture = HTMLCanvasElement.prototype.toBlob;
    HTMLCanvasElement.prototype.toBlob = function (...args) {
      shown = text(this.getContext('2d').getImageData(0, 0, this.width, this.height).data);
      return picture.apply(this, args);
    };
    const made = URL.createObjectURL;
    let blob = null;
    URL.createObjectURL = (b) => {
      blob = b;
      return made(b);
    };
    HTMLAnchorElement.prototype.click = function () {
      const name = this.download;
      blob.arrayBuffer().then((b) => {
        window.caught = { name, data: text(new Uint8Array(b)), shown };
      });
    };
  });
  await s.page.click(`[data-action="${action}"]`);
  const got = await s.page.waitForFunction((button) => window.caught || (document.querySelector(button).hidden && 'hidden'),
    { timeout: 20000 }, `[data-action="${action}"]`).then((h) => h.jsonValue());
  if (got === 'hidden') return null;
  return { name: got.name, data: Buffer.from(got.data, 'base64'), shown: Buffer.from(got.shown, 'base64') };
}

test('the picture is the canvas pixel for pixel, and the clip holds frames of its size', async () => {
  await open('?width=333');
  const png = await catchdownload('picture');
  assert.match(png.name, /^spumex-.*\.png$/);
  const file = join(s.work, 'picture.png');
  writeFileSync(file, png.data);
  const rgba = execFileSync('convert', [file, '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 24 });
  assert.equal(png.shown.length, 333 * 249 * 4);
  assert.ok(rgba.equals(png.shown), 'the PNG differs from the canvas');
  const shown = !(await s.page.$eval('[data-action="clip"]', (b) => b.hidden));
  const webm = shown ? await catchdownload('clip') : null;
  if (!webm) {
    assert.equal(s.engine, 'webkit', 'only WebKit records no WebM');
    // Offered, but refused when asked: the page says so in one line.
    if (shown) assert.match(await s.page.$eval('#status', (p) => p.textContent), /^This browser cannot record a clip: .+\.$/);
    return;
  }
  assert.match(webm.name, /^spumex-.*\.webm$/);
  writeFileSync(join(s.work, 'clip.webm'), webm.data);
  const probe = execFileSync('ffprobe', ['-v', 'error', '-count_frames', '-select_streams', 'v:0',
    '-show_entries', 'stream=width,height,nb_read_frames', '-of', 'csv=p=0', join(s.work, 'clip.webm')], { encoding: 'utf8' });
  const [w, h, frames] = probe.trim().split(',').map(Number);
  assert.deepEqual([w, h], [333, 249]);
  assert.ok(frames > 1, `${frames} frames`);
});
