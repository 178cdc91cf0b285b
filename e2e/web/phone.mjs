// The README's picture of the web version on a phone: the scene in slot 0 of
// the page on Chromium's Pixel 5, a moment after it started.
// Use: node e2e/web/phone.mjs SCENEFILE OUT.png (the site: build-web/site, or SPUMEX_SITE)
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { KnownDevices } from 'puppeteer-core';
import { chromium, s, serve } from './harness.mjs';

const [scenefile, out] = process.argv.slice(2);
const base = await serve(0);
const work = mkdtempSync(join(tmpdir(), 'spumex-phone-'));
const browser = await chromium(join(work, 'profile'));
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
  s.server.kill();
  rmSync(work, { recursive: true, force: true });
}
