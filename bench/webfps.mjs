// Driver of bench/webfps.sh: the web version, the present-only page and the
// web version with its presenting timed, in one headless Chromium, width by
// width, in an order that turns from round to round.
// Use: node bench/webfps.mjs SITE CEILINGSITE TIMEDSITE SCENEFILE SECONDS ROUNDS WIDTH...
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const top = resolve(new URL('.', import.meta.url).pathname, '..');
const puppeteer = createRequire(join(top, 'e2e/web/package.json'))('puppeteer-core');
const [site, ceilingsite, timedsite, scenefile, secs, nrounds, ...widthargs] = process.argv.slice(2);
const seconds = Number(secs), rounds = Number(nrounds), widths = widthargs.map(Number);

function serve(dir) {
  const p = spawn(process.execPath, [join(top, 'web/serve.mjs'), dir, '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((ok) => {
    let text = '';
    p.stdout.on('data', (d) => {
      const m = /http:\/\/127\.0\.0\.1:\d+\//.exec(text += d);
      if (m) ok([p, m[0]]);
    });
  });
}

// Each pass of the program's loop runs inside one animation-frame callback,
// from the callback's start to its next request: the page's own time per frame.
function busyclock() {
  const raf = window.requestAnimationFrame.bind(window);
  let since = -1;
  window.busy = { ms: 0, n: 0 };
  window.requestAnimationFrame = (cb) => {
    if (since >= 0) {
      window.busy.ms += performance.now() - since;
      window.busy.n++;
      since = -1;
    }
    return raf((t) => {
      since = performance.now();
      cb(t);
    });
  };
}

const work = mkdtempSync(join(tmpdir(), 'spumex-webfps-'));
const [server1, base] = await serve(site);
const [server2, ceilingbase] = await serve(ceilingsite);
const [server3, timedbase] = await serve(timedsite);
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: join(work, 'profile'),
  args: ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', ...(process.getuid?.() === 0 ? ['--no-sandbox'] : [])],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 2200, height: 1700 });
  await page.evaluateOnNewDocument(busyclock);
  const running = () => page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 60000 });

  // The display's rate: animation frames of a page that draws nothing.
  await page.goto(base + 'nothing-here');
  const display = await page.evaluate(() => new Promise((ok) => {
    let n = 0;
    const t0 = performance.now();
    const tick = () => (performance.now() - t0 < 2000 ? (n++, requestAnimationFrame(tick)) : ok(n / 2));
    requestAnimationFrame(tick);
  }));

  // The benchmark scene in slot 0 of both programs' pages (each its own
  // origin), through the program's own file system and its storage in the
  // browser; the next start loads it.
  const scene = readFileSync(scenefile, 'utf8');
  for (const at of [base, timedbase]) {
    await page.goto(at);
    await running();
    await page.evaluate((text) => new Promise((ok, fail) => {
      FS.writeFile((ENV.HOME || '/home/web_user') + '/.spumexpreset0', text);
      FS.syncfs(false, (e) => (e ? fail(e) : ok()));
    }), scene);
  }

  // One run of a page: its frame rate from the program's own line, and its
  // time per frame (the timed page's own clock where it has one) and per
  // present, over the frames after a second for the browser's compiler to
  // settle.
  async function run(at, width, options = '') {
    await page.goto(`${at}?width=${width}${options}`);
    await running();
    const clocks = () => page.evaluate(() => {
      const b = window.timedbusy || window.busy;
      return {
        busy: b.ms, frames: b.n,
        present: typeof _spumex_presentms === 'function' ? _spumex_presentms() : 0,
        presents: typeof _spumex_presents === 'function' ? _spumex_presents() : 0,
      };
    });
    await new Promise((ok) => setTimeout(ok, 1000));
    const a = await clocks();
    await new Promise((ok) => setTimeout(ok, seconds * 1000));
    const z = await clocks();
    const frames = z.frames - a.frames, presents = z.presents - a.presents;
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.body.dataset.state === 'ended', { timeout: 30000 });
    const out = await page.evaluate(() => document.getElementById('output').textContent);
    const m = /^fps = (\d+)$/m.exec(out);
    if (!m) throw new Error(`no frame-rate line at width ${width}:\n${out}`);
    const ms = frames ? (z.busy - a.busy) / frames : 0;
    const present = presents ? (z.present - a.present) / presents : 0;
    return { fps: Number(m[1]), ms, present, work: ms - present };
  }

  const median = (a) => {
    const v = [...a].sort((x, y) => x - y);
    return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
  };
  const ms = (v) => v.toFixed(3);
  console.log(`webfps: display rate ${display} frames/s, ${rounds} rounds of ${seconds} s per run`);
  // c: present-only, p: the site, t: timed at the display's rate, f: timed flat out
  const pages = [['c', ceilingbase, ''], ['p', base, ''], ['t', timedbase, ''], ['f', timedbase, '&flatout']];
  const results = Object.fromEntries(widths.map((w) => [w, []]));
  for (let r = 1; r <= rounds; r++) {
    for (const w of widths) {
      const x = {};
      for (let i = 0; i < pages.length; i++) {
        const [k, at, options] = pages[(i + r) % pages.length];
        x[k] = await run(at, w, options);
      }
      const { p, c, t, f } = x;
      results[w].push(x);
      console.log(`round ${r}, width ${w}: present-only ${c.fps} fps (${ms(c.ms)} ms a frame), ` +
        `spumex ${p.fps} fps (${ms(p.ms)} ms a frame), ${(100 * p.fps / c.fps).toFixed(1)} %; ` +
        `timed: ${t.fps} fps, ${ms(t.present)} ms presenting, ${ms(t.work)} the rest; ` +
        `flat out: ${f.fps} fps, ${ms(f.present)} ms presenting, ${ms(f.work)} the rest`);
    }
  }
  console.log(`median over ${rounds} rounds (64 hoses into 64 blocks; ms a frame, the page's own time;` +
    ' work: a timed frame less its presenting, at the display\'s rate and flat out):');
  console.log('  width   present-only   spumex   ratio   present-only ms   spumex ms   work ms  steps' +
    '   flat-out fps   work ms  steps');
  for (const w of widths) {
    const x = results[w];
    const med = (k, f) => median(x.map((v) => f(v[k])));
    const q = median(x.map((v) => 100 * v.p.fps / v.c.fps));
    const tw = med('t', (v) => v.work), fw = med('f', (v) => v.work), ff = med('f', (v) => v.fps);
    console.log(`  ${String(w).padStart(5)}   ${String(med('c', (v) => v.fps)).padStart(12)}   ` +
      `${String(med('p', (v) => v.fps)).padStart(6)}   ${q.toFixed(1).padStart(5)} %   ` +
      `${ms(med('c', (v) => v.ms)).padStart(15)}   ${ms(med('p', (v) => v.ms)).padStart(9)}   ` +
      `${ms(tw).padStart(7)}  ${(100 / med('t', (v) => v.fps)).toFixed(2).padStart(5)}   ` +
      `${String(ff).padStart(12)}   ${ms(fw).padStart(7)}  ${(100 / ff).toFixed(2).padStart(5)}`);
    if (w === 640) console.log(`webwork640 = ${ms(fw)}\nwebwork640display = ${ms(tw)}`);
  }

  // A low-end phone: Chromium's Pixel 5 (touch, 393 x 851, three device
  // pixels a CSS pixel) with its processor slowed six times, the page
  // against the present-only page in the same conditions.
  const slow = Number(process.env.THROTTLE || 6);
  const slowwidths = [640, 1024];
  const cdp = await page.createCDPSession();
  await page.emulate(puppeteer.KnownDevices['Pixel 5']);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: slow });
  const slowed = Object.fromEntries(slowwidths.map((w) => [w, []]));
  for (let r = 1; r <= rounds; r++) {
    for (const w of slowwidths) {
      const x = {};
      for (const [k, at] of r % 2 ? [['c', ceilingbase], ['p', base]] : [['p', base], ['c', ceilingbase]]) x[k] = await run(at, w);
      slowed[w].push(x);
      console.log(`round ${r}, width ${w}, phone, processor ${slow}x slower: present-only ${x.c.fps} fps, ` +
        `spumex ${x.p.fps} fps, ${(100 * x.p.fps / x.c.fps).toFixed(1)} %`);
    }
  }
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: 1 });
  console.log(`median over ${rounds} rounds, phone with the processor ${slow}x slower:`);
  console.log('  width   present-only   spumex   ratio   present-only ms   spumex ms');
  for (const w of slowwidths) {
    const x = slowed[w];
    const med = (k, f) => median(x.map((v) => f(v[k])));
    const q = median(x.map((v) => 100 * v.p.fps / v.c.fps));
    console.log(`  ${String(w).padStart(5)}   ${String(med('c', (v) => v.fps)).padStart(12)}   ` +
      `${String(med('p', (v) => v.fps)).padStart(6)}   ${q.toFixed(1).padStart(5)} %   ` +
      `${ms(med('c', (v) => v.ms)).padStart(15)}   ${ms(med('p', (v) => v.ms)).padStart(9)}`);
  }
} finally {
  await browser.close();
  server1.kill();
  server2.kill();
  server3.kill();
  rmSync(work, { recursive: true, force: true });
}
