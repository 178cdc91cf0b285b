// The web version as a user meets it in a browser: every compared frame equals
// the desktop program's, presets last across reloads, Escape ends the program.
// The tests run in order in one browser profile: the first stores the blocks
// that every later start loads from slot 0, so no ball makes a frame uncertain.
import assert from 'node:assert/strict';
import { after, afterEach, before, test } from 'node:test';
import { canvas, click, drag, equalframe, hosesteps, key, move, newpage, open, s, setup, state, takeerrors, teardown } from './harness.mjs';

before(setup);
after(teardown);
// Neither an error nor a refusal of the page's policy may reach the console.
afterEach(() => assert.equal(takeerrors(), ''));

async function expectframe(name, timeoutms) {
  const why = await equalframe(name, timeoutms);
  assert.equal(why, '', `${name}: ${why}`);
}

async function park(name = 'start640') {
  const [px, py] = s.manifest.frames[name].mouse;
  await move(px, py);
}

test('x clears the scene, and blocks stored with shift+1 come back after a reload', async () => {
  await open();
  await click(...s.manifest.park);
  await key('x');
  await expectframe('x', 10000);  // once the balls in flight have fallen out
  for (const d of s.manifest.blockdrags) await drag(d);
  await key('Digit1', true);
  // Escape is handled after the store has been written back.
  await key('Escape');
  await s.page.waitForFunction(() => document.body.dataset.state === 'ended');
  await open();
  await park();
  await expectframe('start640');
});

for (const width of [333, 640, 1024]) {
  test(`the first frame at width ${width}`, async () => {
    await open(`?width=${width}`);
    await park(`start${width}`);
    await expectframe(`start${width}`);
  });
}

// The on-screen buttons send the keys as the keyboard does.
for (const way of ['keyboard', 'buttons']) {
  test(`c, f and h, one after another, from the ${way}`, async () => {
    await open();
    await click(...s.manifest.park);
    await expectframe('start640');
    if (way === 'buttons') await s.page.click('#showkeys');
    for (const k of ['c', 'f', 'h']) {
      if (way === 'buttons') await s.page.click(`#keys [data-key="${k}"]`);
      else await key(k);
      await expectframe(`key${k}`);
    }
  });
}

test('the eye demo looks at the pointer', async () => {
  await open();
  await park('eyes');
  await key('e');
  await expectframe('eyes');
});

// The hose is dragged out while paused, so the simulation steps from a known
// scene; the frame seen later must be the one some number of steps gives.
test('a hose dragged out sprays the balls the desktop program computes', async () => {
  await open();
  await click(...s.manifest.park);
  await key('p');
  await drag(s.manifest.hosedrag);
  const paused = await canvas();
  await key('p');
  let seen = paused;
  for (let i = 0; i < 200 && seen.equals(paused); i++) seen = await canvas();
  assert.ok(!seen.equals(paused), 'nothing moved after the pause');
  await new Promise((ok) => setTimeout(ok, 300));  // some balls in the air
  const steps = hosesteps(await canvas());
  assert.ok(steps > 0, `matched after ${steps} steps`);
});

test('Escape shows the frame rate and offers to start again', async () => {
  await open();
  await key('Escape');
  await s.page.waitForFunction(() => document.body.dataset.state === 'ended');
  const [out, hidden] = await s.page.evaluate(() =>
    [document.getElementById('output').textContent, document.getElementById('restart').hidden]);
  const fps = /^fps = (\d+)$/m.exec(out);
  assert.ok(fps && Number(fps[1]) > 0, `no frame-rate line in:\n${out}`);
  assert.equal(hidden, false, 'no restart button');
  await s.page.click('#restart');
  await s.page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 30000 });
  assert.equal(await state(), 'running');
});

// The check after each test hears the page in every engine: each kind of
// error it looks for arrives, at once or with the page's next command.
test('errors, refusals of the policy and missing files in the page reach the check', async () => {
  await open();
  for (const [kind, make, want] of [
    ['console.error', () => console.error('spumex test error'), /console: spumex test error/],
    ['an uncaught error', () => { setTimeout(() => { throw new Error('spumex test throw'); }); }, /spumex test throw/],
    ['a rejection nobody handles', () => { Promise.reject(new Error('spumex test rejection')); }, /spumex test rejection/],
    ['an inline script', () => { document.body.append(Object.assign(document.createElement('script'), { textContent: '0' })); }, /script-src/],
    ['a missing file', () => { document.body.append(Object.assign(document.createElement('img'), { src: 'spumex-missing.png' })); }, /spumex-missing\.png/],
  ]) {
    await s.page.evaluate(make);
    for (let i = 0; i < 100 && !want.test(s.errors.join('\n')); i++) {
      await s.page.evaluate(() => new Promise((ok) => setTimeout(ok, 50)));
    }
    assert.match(takeerrors(), want, kind);
  }
});

// Acts on another tab from now on; a tab in front gets its display frames.
async function use(page) {
  s.page = page;
  await page.bringToFront();
}

async function quit() {
  await key('Escape');  // handled once the stores before it are written back
  await s.page.waitForFunction(() => document.body.dataset.state === 'ended');
}

// Last, as it leaves slot 0 empty. Tab B opens before tab A stores, then
// stores other slots and, later than A, the same one; a reload finds every
// store, the later one where both stored. Then a store the browser refuses.
test('two tabs store into one profile, and neither loses what the other stored', async () => {
  const a = s.page;
  await open();
  const b = await newpage();
  await use(b);
  await open();
  await use(a);
  await click(...s.manifest.park);
  await key('x');
  await key('Digit1', true);  // the empty scene into slots 0 and 2
  await key('Digit3', true);
  await quit();
  await use(b);
  await key('Digit2', true);  // the stored blocks into slots 1 and 2
  await key('Digit3', true);
  await quit();
  await b.close();

  await use(a);
  await open();
  await park();
  await expectframe('x');
  for (const [slot, frame] of [['2', 'start640'], ['1', 'x'], ['3', 'start640']]) {
    await key(`Digit${slot}`);
    await expectframe(frame);
  }

  await s.page.evaluate(() => {
    IDBObjectStore.prototype.put = () => { throw new DOMException('full', 'QuotaExceededError'); };
  });
  await key('Digit5', true);
  await s.page.waitForFunction(() => /^Couldn't store preset 4 in \S*\.spumexpreset4: No space left on device$/m
    .test(document.getElementById('output').textContent));
  await key('Digit1');
  await expectframe('x');
  await key('Digit5');  // the slot in memory holds the scene all the same
  await expectframe('start640');
});
