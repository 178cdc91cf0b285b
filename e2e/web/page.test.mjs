// The page as people meet it on phones, tablets and large screens: touch,
// the key buttons, the canvas fitted to the screen, installing, offline
// starts, and what assistive technology finds.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { after, afterEach, before, test } from 'node:test';
import { KnownDevices } from 'puppeteer-core';
import { drag, key, open, presettext, s, serve, setup, takeerrors, tapkey, teardown, touchdrag, unserve } from './harness.mjs';

before(setup);
after(teardown);
afterEach(() => assert.equal(takeerrors(), ''));

const phone = KnownDevices['Pixel 5'];

test('on a phone, touch drags and the on-screen Shift and digit store what the mouse and keyboard would', async () => {
  await s.page.emulate(phone);
  await open();
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

  await open();
  await scroll();
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
  test(`the whole canvas is in view on ${name}, nothing runs off sideways`, async () => {
    if (device) await s.page.emulate(device);
    else await s.page.setViewport({ width: 2200, height: 1700, isMobile: false, hasTouch: false, deviceScaleFactor: 1 });
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
    assert.equal(l.keys, device !== null, 'key buttons shown on touch screens only');
    if (!device) assert.equal(l.scale, 3, 'a 640 pixel canvas is three times as large in a 2200 pixel window');
  });
}

test('installable, and after one visit it starts with the server gone', async () => {
  await open();
  const cdp = await s.page.createCDPSession();
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  assert.deepEqual(installabilityErrors, []);
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
  // Loading lasts while the program's WebAssembly is held back.
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
  await s.page.click('#showkeys');
  assert.deepEqual(await violations(), [], 'running');
  await s.page.click('#keys [data-key="Escape"]');
  await s.page.waitForFunction(() => document.body.dataset.state === 'ended');
  assert.deepEqual(await violations(), [], 'ended');
});
