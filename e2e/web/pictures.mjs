// The README's pictures of the web version: the scene in slot 0 of the page
// a moment after it started, in a desktop window (DIR/web.png) and on
// Chromium's Pixel 5 (DIR/phone.png).
// Use: node e2e/web/pictures.mjs SCENEFILE DIR (the site: build-web/site, or SPUMEX_SITE)
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { KnownDevices } from 'puppeteer-core';
import { chromium, s, serve } from './harness.mjs';

const [scenefile, dir] = process.argv.slice(2);
const base = await serve(0);
const work = mkdtempSync(join(tmpdir(), 'spumex-phone-'));
const browser = await chromium(join(work, 'profile'));
try {
  const page = await browser.newPage();
  const running = () => page.waitForFunction(() => document.body.dataset.state === 'running', { timeout: 60000 });
  await page.goto(base);
  await running();
  await page.evaluate((text) => new Promise((ok, fail) => {
    FS.writeFile('/home/web_user/.spumexpreset0', text);
    FS.syncfs(false, (e) => (e ? fail(e) : ok()));
  }), readFileSync(scenefile, 'utf8'));
  const phone = KnownDevices['Pixel 5'];
  for (const [name, become] of [
    ['web.png', () => page.setViewport({ width: 1200, height: 600 })],
    ['phone.png', () => page.emulate({ ...phone, viewport: { ...phone.viewport, deviceScaleFactor: 2 } })],
  ]) {
    await become();
    await page.goto(base);
    await running();
    await new Promise((ok) => setTimeout(ok, 3000));
    await page.screenshot({ path: join(dir, name) });
  }
} finally {
  await browser.close();
  s.server.kill();
  rmSync(work, { recursive: true, force: true });
}
