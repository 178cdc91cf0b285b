// The released site as someone hosts it: the site tarball (SPUMEX_SITE_TARBALL)
// unpacked into the document root of Debian's nginx, its folder renamed to
// spumex, so the page is at /spumex/. nginx runs with its own configuration on
// a free loopback port, as an unprivileged user when this is root, with
// Debian's mime.types as a default installation has them.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { chmodSync, chownSync, mkdirSync, mkdtempSync, readdirSync, renameSync, rmSync, writeFileSync } from 'node:fs';
import { connect, createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { after, afterEach, before, test } from 'node:test';
import { equalframe, move, open, s, serveby, setup, takeerrors, teardown, unserve } from './harness.mjs';

const top = resolve(import.meta.dirname ?? new URL('.', import.meta.url).pathname, '../..');
const tarball = process.env.SPUMEX_SITE_TARBALL;
const nobody = 65534;

// A loopback port nothing listens on, as the system gives it.
function freeport() {
  return new Promise((ok) => {
    const probe = createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => ok(port));
    });
  });
}

// The harness's server (start, stop): nginx, with the unpacked tarball at /spumex/.
function nginx() {
  const dir = mkdtempSync(join(tmpdir(), 'spumex-nginx-'));
  const www = join(dir, 'www');
  const state = join(dir, 'state');
  chmodSync(dir, 0o755);
  mkdirSync(www);
  mkdirSync(state);
  execFileSync('tar', ['-xzf', tarball, '-C', www]);
  const folders = readdirSync(www);
  assert.equal(folders.length, 1, `the tarball holds one folder, not ${folders.join(', ')}`);
  renameSync(join(www, folders[0]), join(www, 'spumex'));
  const root = process.getuid() === 0;
  if (root) chownSync(state, nobody, nobody);
  let proc = null;
  // Started; resolves once nginx accepts connections, rejects if it ends first.
  const run = (port) => new Promise((ok, fail) => {
    const conf = join(state, 'nginx.conf');
    writeFileSync(conf, `daemon off;
worker_processes 1;
pid ${state}/nginx.pid;
error_log stderr;
events { worker_connections 64; }
http {
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  access_log ${state}/access.log;
${['client_body', 'proxy', 'fastcgi', 'uwsgi', 'scgi'].map((t) => `  ${t}_temp_path ${state}/${t};`).join('\n')}
  server {
    listen 127.0.0.1:${port};
    root ${www};
  }
}
`);
    proc = spawn('/usr/sbin/nginx', ['-p', state, '-c', conf],
      { stdio: ['ignore', 'inherit', 'inherit'], ...(root ? { uid: nobody, gid: nobody } : {}) });
    proc.once('exit', (code) => fail(new Error(`nginx ended with status ${code}`)));
    const attempt = () => {
      if (proc.exitCode !== null) return;
      const c = connect(port, '127.0.0.1', () => ok(c.end())).on('error', () => setTimeout(attempt, 20));
    };
    attempt();
  });
  return {
    dir,
    async start(port) {
      // Another program may take a free port before nginx does.
      for (let tries = 1; ; tries++) {
        const p = port || await freeport();
        try {
          await run(p);
          return `http://127.0.0.1:${p}/spumex/`;
        } catch (e) {
          if (port || tries === 5) throw e;
        }
      }
    },
    async stop() {
      if (!proc || proc.exitCode !== null || proc.signalCode !== null) return;
      const gone = new Promise((ok) => proc.once('exit', ok));
      proc.kill('SIGTERM');
      await gone;
    },
  };
}

let server;
before(async () => {
  assert.ok(tarball, 'SPUMEX_SITE_TARBALL names the site tarball');
  server = nginx();
  serveby(server);
  await setup();
});
after(async () => {
  await teardown();
  if (server) rmSync(server.dir, { recursive: true, force: true });
});
afterEach(() => assert.equal(takeerrors(), ''));

// The types the page cannot do without: a page, scripts and styles a strict
// policy accepts, and WebAssembly that compiles while it streams in.
test('each file of the site comes from /spumex/ with the type the browser needs', async () => {
  const want = {
    '': /^text\/html/, 'index.html': /^text\/html/, 'page.js': /^(text|application)\/javascript/,
    'share.js': /^(text|application)\/javascript/, 'spumex.js': /^(text|application)\/javascript/,
    'sw.js': /^(text|application)\/javascript/, 'page.css': /^text\/css/, 'spumex.wasm': /^application\/wasm$/,
    'icon.svg': /^image\/svg\+xml$/, 'icon-192.png': /^image\/png$/,
  };
  for (const [file, type] of Object.entries(want)) {
    const r = await fetch(s.base + file);
    assert.equal(r.status, 200, file);
    assert.match(r.headers.get('content-type'), type, file);
  }
});

// Opened from a link to the reference frames' scene, as tools/scenelink.sh
// makes it for this address; after one visit the kept copy starts it again
// with nginx stopped.
test('the first frame at width 640 under /spumex/, installable, and again with nginx stopped', async () => {
  const link = execFileSync(join(top, 'tools/scenelink.sh'), [join(s.refs, 'home/.spumexpreset0'), s.base], { encoding: 'utf8' }).trim();
  const first = async (when) => {
    await s.page.goto('about:blank');
    await open(link.slice(s.base.length));
    await move(...s.manifest.park);
    assert.equal(await equalframe('start640'), '', when);
  };
  await first('served');
  const cdp = await s.page.createCDPSession();
  const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
  assert.deepEqual(installabilityErrors, []);
  await s.page.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: 30000 });
  await unserve();
  await assert.rejects(fetch(s.base), 'nginx has stopped');
  // nginx's answers carry no Cache-Control: the browser's own cache may hold
  // them for a while after their files' date, so only the worker may answer.
  await cdp.send('Network.clearBrowserCache');
  await first('nginx stopped');
});
