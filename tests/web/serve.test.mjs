// The web version's server: content types the browser insists on, nothing
// outside the served folder, loopback only. node --test tests/web/serve.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { request } from 'node:http';

const server = join(dirname(fileURLToPath(import.meta.url)), '../../web/serve.mjs');

// A folder beside a secret file, served on a port the system picks.
async function start() {
  const top = mkdtempSync(join(tmpdir(), 'serve-'));
  const site = join(top, 'site');
  mkdirSync(site);
  writeFileSync(join(top, 'secret'), 'outside');
  for (const name of ['index.html', 'spumex.js', 'spumex.wasm', 'page.css', 'icon.svg', 'manifest.webmanifest']) writeFileSync(join(site, name), name);
  const child = spawn(process.execPath, [server, site, '0', '?width=333']);
  const line = await new Promise((resolve, reject) => {
    child.stdout.once('data', (d) => resolve(String(d)));
    child.once('exit', (code) => reject(new Error(`server exited with ${code}`)));
  });
  return { child, line };
}

// method and raw path as sent (no client-side clean-up of ..)
function fetchraw(port, method, path) {
  return new Promise((resolve, reject) => {
    const req = request({ host: '127.0.0.1', port, method, path }, (res) => {
      let body = '';
      res.on('data', (d) => (body += d));
      res.on('end', () => resolve({ status: res.statusCode, type: res.headers['content-type'], body }));
    });
    req.on('error', reject);
    req.end();
  });
}

test('serves the site with the types a browser needs, and nothing beside it', async () => {
  const { child, line } = await start();
  try {
    const m = /^Spumex is at http:\/\/127\.0\.0\.1:(\d+)\/\?width=333\n$/.exec(line);
    assert.ok(m, `address line: ${line}`);
    const port = Number(m[1]);
    const cases = [
      ['GET', '/', 200, 'text/html; charset=utf-8', 'index.html'],
      ['GET', '/index.html?width=800', 200, 'text/html; charset=utf-8', 'index.html'],
      ['GET', '/spumex.wasm', 200, 'application/wasm', 'spumex.wasm'],
      ['GET', '/spumex.js', 200, 'text/javascript; charset=utf-8', 'spumex.js'],
      ['GET', '/page.css', 200, 'text/css; charset=utf-8', 'page.css'],
      ['GET', '/icon.svg', 200, 'image/svg+xml', 'icon.svg'],
      ['GET', '/manifest.webmanifest', 200, 'application/manifest+json', 'manifest.webmanifest'],
      ['HEAD', '/spumex.wasm', 200, 'application/wasm', ''],
      ['GET', '/missing.js', 404, undefined, undefined],
      ['GET', '/../secret', 404, undefined, undefined],
      ['GET', '/%2e%2e/secret', 404, undefined, undefined],
      ['GET', '/..%2fsecret', 403, undefined, undefined],
      ['GET', '/%E0%A4%A', 400, undefined, undefined],
      ['POST', '/index.html', 405, undefined, undefined],
    ];
    for (const [method, path, status, type, body] of cases) {
      const r = await fetchraw(port, method, path);
      assert.equal(r.status, status, `${method} ${path}`);
      if (type !== undefined) assert.equal(r.type, type, `${method} ${path}`);
      if (body !== undefined) assert.equal(r.body, body, `${method} ${path}`);
      assert.ok(!r.body.includes('outside'), `${method} ${path} reached outside the site`);
    }
  } finally {
    child.kill();
  }
});
