// The README's picture of the web version on a phone: the scene in slot 0 of
// the page on Chromium's Pixel 5, a moment after it started.
// Use: node e2e/web/phone.mjs SITE SCENEFILE OUT.png
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import puppeteer, { KnownDevices } from 'puppeteer-core';

const [site, scenefile, out] = process.argv.slice(2);
const top = resolve(import.meta.dirname ?? new URL('.', import.meta.url).pathname, '../..');
const server = spawn(process.execPath, [join(top, 'web/serve.mjs'), site, '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
const base = await new Promise((ok) => {
  let text = '';
  server.stdout.on('data', (d) => {
    const m = /http:\/\/127\.0\.0\.1:\d+\//.exec(text += d);
    if (m) ok(m[0]);
  });
});
const work = mkdtempSync(join(tmpdir(), 'spumex-phone-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: join(work, 'profile'),
  args: ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', ...(process.getuid?.() === 0 ? ['--no-sandbox'] : [])],
});
try {
  const page = await browser.newPage();
  await page.emulate({ ...KnownDevices['Pixel 5'], viewport: { ...KnownDevices['Pixel 5'].viewport, deviceScaleFactor: 2 } });
  const running = () => page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 60000 });
  await page.goto(base);
  await running();
  await page.evaluate((text) => new Promise((ok, fail) => {
    FS.writeFile('/home/web_user/.spumexpreset0', text);
    FS.syncfs(false, (e) => (e ? fail(e) : ok()));
  }), readFileSync(scenefile, 'utf8'));
  await page.goto(base);
  await running();
  await new Promise((ok) => setTimeout(ok, 3000));
  await page.screenshot({ path: out });
} finally {
  await browser.close();
  server.kill();
  rmSync(work, { recursive: true, force: true });
}
