// Driver of bench/webfps.sh: the web version and the present-only page in one
// headless Chromium, width by width, rounds in alternating order.
// Use: node bench/webfps.mjs SITE CEILINGSITE SCENEFILE SECONDS ROUNDS WIDTH...
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

const top = resolve(new URL('.', import.meta.url).pathname, '..');
const puppeteer = createRequire(join(top, 'e2e/web/package.json'))('puppeteer-core');
const [site, ceilingsite, scenefile, secs, nrounds, ...widthargs] = process.argv.slice(2);
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

  // The benchmark scene in slot 0, through the program's own file system and
  // its storage in the browser; the next start loads it.
  await page.goto(base);
  await running();
  const scene = readFileSync(scenefile, 'utf8');
  await page.evaluate((text) => new Promise((ok, fail) => {
    FS.writeFile((ENV.HOME || '/home/web_user') + '/.spumexpreset0', text);
    FS.syncfs(false, (e) => (e ? fail(e) : ok()));
  }), scene);

  async function run(at, width) {
    await page.goto(`${at}?width=${width}`);
    await running();
    await new Promise((ok) => setTimeout(ok, seconds * 1000));
    const b = await page.evaluate(() => window.busy);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => document.body.dataset.state === 'ended', { timeout: 30000 });
    const out = await page.evaluate(() => document.getElementById('output').textContent);
    const m = /^fps = (\d+)$/m.exec(out);
    if (!m) throw new Error(`no frame-rate line at width ${width}:\n${out}`);
    return { fps: Number(m[1]), ms: b.n ? b.ms / b.n : 0 };
  }

  const median = (a) => {
    const v = [...a].sort((x, y) => x - y);
    return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
  };
  console.log(`webfps: display rate ${display} frames/s, ${rounds} rounds of ${seconds} s per run`);
  const results = Object.fromEntries(widths.map((w) => [w, []]));
  for (let r = 1; r <= rounds; r++) {
    for (const w of widths) {
      let p, c;
      if (r % 2) { c = await run(ceilingbase, w); p = await run(base, w); }
      else { p = await run(base, w); c = await run(ceilingbase, w); }
      results[w].push({ p, c });
      console.log(`round ${r}, width ${w}: present-only ${c.fps} fps (${c.ms.toFixed(3)} ms a frame), ` +
        `spumex ${p.fps} fps (${p.ms.toFixed(3)} ms a frame), ${(100 * p.fps / c.fps).toFixed(1)} %`);
    }
  }
  console.log(`median over ${rounds} rounds (64 hoses into 64 blocks; ms: the page's own time per frame):`);
  console.log('  width   present-only   spumex   ratio    present-only ms   spumex ms   spumex work ms');
  for (const w of widths) {
    const x = results[w];
    const cf = median(x.map((v) => v.c.fps)), pf = median(x.map((v) => v.p.fps));
    const q = median(x.map((v) => 100 * v.p.fps / v.c.fps));
    const cm = median(x.map((v) => v.c.ms)), pm = median(x.map((v) => v.p.ms));
    const wm = median(x.map((v) => v.p.ms - v.c.ms));
    console.log(`  ${String(w).padStart(5)}   ${String(cf).padStart(12)}   ${String(pf).padStart(6)}   ` +
      `${q.toFixed(1).padStart(5)} %   ${cm.toFixed(3).padStart(15)}   ${pm.toFixed(3).padStart(9)}   ${wm.toFixed(3).padStart(14)}`);
    if (w === 640) console.log(`webwork640 = ${wm.toFixed(3)}`);
  }
} finally {
  await browser.close();
  server1.kill();
  server2.kill();
  rmSync(work, { recursive: true, force: true });
}
