// A small client of classic WebDriver (HTTP, one command at a time) for the
// browsers puppeteer cannot drive, such as WebKitGTK's MiniBrowser through
// WebKitWebDriver. It presents the part of puppeteer's Browser and Page that
// the browser tests call, so that they read the same whatever the engine.
// WebDriver has no events: the page's errors are kept by a recorder put into
// the page with each command and handed to the page's listeners afterwards.
import { spawn } from 'node:child_process';
import { EventEmitter } from 'node:events';
import { createServer } from 'node:net';

const ELEMENT = 'element-6066-11e4-a52e-4f735466cecf';

// Puppeteer's names of the keys that type no character of their own, as
// WebDriver's code points.
const special = {
  Shift: '\uE008', Control: '\uE009', Alt: '\uE00A', Meta: '\uE03D',
  Escape: '\uE00C', Enter: '\uE007', Tab: '\uE004', Backspace: '\uE003', Delete: '\uE017',
  Space: ' ', Insert: '\uE016', Home: '\uE011', End: '\uE010', PageUp: '\uE00E', PageDown: '\uE00F',
  ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014', ArrowDown: '\uE015',
};
for (let i = 1; i <= 12; i++) special[`F${i}`] = String.fromCharCode(0xE030 + i);

// The WebDriver value of a puppeteer key name: 'Escape', 'Digit1', 'KeyC', 'x', '!'.
export function keyvalue(name) {
  if (Object.hasOwn(special, name)) return special[name];
  const m = /^(?:Digit([0-9])|Key([A-Z]))$/.exec(name);
  if (m) return m[1] ?? m[2].toLowerCase();
  if ([...name].length === 1) return name;
  throw new Error(`webdriver.mjs: no WebDriver key for '${name}'`);
}

// Put into the page before every script: keeps the errors the page reports
// (console.error, uncaught errors and rejections, resources that failed to
// load, refusals of the page's policy) until the next command takes them.
const recorder = `if (!window.__spumexrecorder) {
  const log = window.__spumexrecorder = [];
  const text = (v) => (v instanceof Error ? v.message : String(v));
  const error = console.error;
  console.error = function (...a) {
    log.push({ kind: 'console', text: a.map(text).join(' '), url: location.href });
    return error.apply(this, a);
  };
  addEventListener('error', (e) => {
    if (e instanceof ErrorEvent) log.push({ kind: 'pageerror', text: e.message });
    else if (e.target && (e.target.src || e.target.href)) log.push({ kind: 'requestfailed', url: e.target.src || e.target.href });
  }, true);
  addEventListener('unhandledrejection', (e) => log.push({ kind: 'pageerror', text: text(e.reason) }));
  addEventListener('securitypolicyviolation', (e) =>
    log.push({ kind: 'console', text: 'refused by the policy: ' + e.violatedDirective + ' ' + e.blockedURI, url: location.href }));
}`;

// The source of a function that puppeteer's evaluate would run for fn: fn
// itself, or for a string, the expression or, failing that, the script
// (whose value is undefined).
function source(fn) {
  if (typeof fn !== 'string') return fn.toString();
  try {
    new Function(`return (${fn}\n);`);  // parsed here only, never run
    return `() => (${fn}\n)`;
  } catch {
    return `() => {\n${fn}\n}`;
  }
}

// A script that runs the function of that source with the script's
// arguments and hands back its value (awaited) and what the recorder kept.
function script(source) {
  return `${recorder}
const done = arguments[arguments.length - 1];
const take = () => window.__spumexrecorder.splice(0);
Promise.resolve().then(() => (${source}).apply(null, Array.prototype.slice.call(arguments, 0, -1)))
  .then((v) => done({ value: v === undefined ? null : v, undef: v === undefined, log: take() }),
        (e) => done({ error: e && e.message !== undefined ? String(e.message) : String(e), log: take() }));`;
}

// Polls fn in page until it returns a true value, which comes back as
// puppeteer's handle does; a page between two documents is asked again.
export async function waitfor(page, closed, fn, { timeout = 30000, polling } = {}, ...args) {
  const until = Date.now() + timeout;
  let last = null;
  for (;;) {
    try {
      const v = await page.evaluate(fn, ...args);
      if (v) return { jsonValue: async () => v, dispose: async () => {} };
      last = null;
    } catch (e) {
      if (closed()) throw e;
      last = e;
    }
    if (Date.now() > until) {
      throw new Error(`Waiting failed: ${timeout}ms exceeded${last ? ` (last: ${last.message})` : ''}`);
    }
    await sleep(typeof polling === 'number' ? polling : 50);
  }
}

async function freeport() {
  const server = createServer();
  await new Promise((ok, fail) => server.listen(0, '127.0.0.1', ok).on('error', fail));
  const { port } = server.address();
  await new Promise((ok) => server.close(ok));
  return port;
}

const sleep = (ms) => new Promise((ok) => setTimeout(ok, ms));

// Starts the driver on a free loopback port and a session of the browser it
// starts. capabilities go into alwaysMatch as they are, e.g.
// { 'webkitgtk:browserOptions': { binary, args: ['--automation'] } }.
export async function launch({ driver, capabilities = {}, env = process.env, stderr = 'ignore', timeout = 30000 }) {
  const port = await freeport();
  // A process group of its own, so that closing ends the browser it started too.
  const child = spawn(driver, [`--port=${port}`], { env, stdio: ['ignore', stderr, stderr], detached: true });
  const end = () => {
    process.off('exit', end);
    try {
      process.kill(-child.pid);
    } catch { /* the group has ended */ }
  };
  process.on('exit', end);
  let exited = null;
  child.on('exit', (code, signal) => { exited = signal ?? code; });
  const url = `http://127.0.0.1:${port}`;
  const until = Date.now() + timeout;
  for (;;) {
    if (exited !== null) throw new Error(`webdriver.mjs: ${driver} ended (${exited}) before it answered`);
    try {
      const r = await fetch(`${url}/status`);
      if (r.ok && (await r.json()).value?.ready) break;
    } catch { /* not listening yet */ }
    if (Date.now() > until) {
      end();
      throw new Error(`webdriver.mjs: ${driver} did not answer on port ${port} within ${timeout} ms`);
    }
    await sleep(50);
  }
  const browser = new Browser(url, child, end);
  try {
    const session = await browser.send('POST', '/session', {
      capabilities: { alwaysMatch: { pageLoadStrategy: 'normal', ...capabilities } },
    }, timeout);
    browser.session = `/session/${session.sessionId}`;
    browser.capabilities = session.capabilities;
    // Scripts may poll the page for a while; a page load may take a while.
    await browser.command('POST', '/timeouts', { script: 120000, pageLoad: 60000, implicit: 0 });
  } catch (e) {
    end();
    throw e;
  }
  return browser;
}

class Browser {
  constructor(url, child, end) {
    this.url = url;
    this.child = child;
    this.end = end;
    this.session = '';
    this.capabilities = {};
    this.current = null;   // the window that commands now go to
    this.queue = Promise.resolve();
    this.pages = 0;
  }

  // A command and its answer; a driver that has not answered within
  // timeout (a browser that died before it connected) is an error.
  async send(method, path, body = method === 'POST' ? {} : undefined, timeout = 180000) {
    let r, text;
    try {
      r = await fetch(this.url + path, {
        method,
        signal: AbortSignal.timeout(timeout),
        headers: body === undefined ? {} : { 'Content-Type': 'application/json; charset=utf-8' },
        body: body === undefined ? undefined : JSON.stringify(body),
      });
      text = await r.text();
    } catch (e) {
      if (e.name !== 'TimeoutError') throw e;
      throw new Error(`WebDriver ${method} ${path}: no answer within ${timeout} ms`);
    }
    let value;
    try {
      ({ value } = JSON.parse(text));
    } catch {
      throw new Error(`WebDriver ${method} ${path}: status ${r.status}, ${text.slice(0, 200)}`);
    }
    if (!r.ok) {
      const e = new Error(`WebDriver ${method} ${path}: ${value?.error}: ${value?.message}`);
      e.code = value?.error;
      throw e;
    }
    return value;
  }

  command(method, path, body) {
    return this.send(method, this.session + path, body);
  }

  // Runs steps(command) with the commands going to window handle, after
  // every command queued before it: each command acts on the current window,
  // and two pages' commands must not interleave their switches.
  inwindow(handle, steps) {
    const run = this.queue.then(async () => {
      if (handle !== null && this.current !== handle) {
        await this.command('POST', '/window', { handle });
        this.current = handle;
      }
      return steps((method, path, body) => this.command(method, path, body));
    });
    this.queue = run.catch(() => {});
    return run;
  }

  // The first page is the window the session opened with; later ones are new
  // windows (a tab behind another is hidden and gets no display frames),
  // opened from a window still open: after a close the driver has none.
  async newPage() {
    const handle = this.pages++ === 0
      ? await this.inwindow(null, (cmd) => cmd('GET', '/window'))
      : await this.inwindow(null, async (cmd) => {
        if (this.current === null) {
          this.current = (await cmd('GET', '/window/handles'))[0];
          await cmd('POST', '/window', { handle: this.current });
        }
        return (await cmd('POST', '/window/new', { type: 'window' })).handle;
      });
    return new Page(this, handle);
  }

  async version() {
    return `${this.capabilities.browserName}/${this.capabilities.browserVersion}`;
  }

  // Ends the session, which closes the browser, then the driver and
  // whatever is left of its process group.
  async close() {
    const ended = new Promise((ok) => (this.child.exitCode !== null || this.child.signalCode !== null ? ok() : this.child.once('exit', ok)));
    try {
      if (this.session) await this.queue.then(() => this.command('DELETE', ''));
    } finally {
      this.end();
      await ended;
    }
  }
}

class Page extends EventEmitter {
  constructor(browser, handle) {
    super();
    this.browser = browser;
    this.handle = handle;
    this.closed = false;
    const page = this;
    const pointer = { x: 0, y: 0 };
    const actions = (type, id, list, parameters) =>
      page.run((cmd) => cmd('POST', '/actions', { actions: [{ type, id, ...(parameters ? { parameters } : {}), actions: list }] }));
    const pointeractions = (list) => actions('pointer', 'mouse', list, { pointerType: 'mouse' });
    const keyactions = (list) => actions('key', 'keyboard', list);
    this.mouse = {
      // As puppeteer: steps moves from the last position in equal parts,
      // each at whole pixels, as WebDriver takes them.
      async move(x, y, { steps = 1 } = {}) {
        const list = [];
        for (let i = 1; i <= steps; i++) {
          list.push({
            type: 'pointerMove', origin: 'viewport', duration: 0,
            x: Math.round(pointer.x + ((x - pointer.x) * i) / steps),
            y: Math.round(pointer.y + ((y - pointer.y) * i) / steps),
          });
        }
        pointer.x = x;
        pointer.y = y;
        await pointeractions(list);
      },
      down: ({ button = 0 } = {}) => pointeractions([{ type: 'pointerDown', button }]),
      up: ({ button = 0 } = {}) => pointeractions([{ type: 'pointerUp', button }]),
    };
    this.keyboard = {
      down: (key) => keyactions([{ type: 'keyDown', value: keyvalue(key) }]),
      up: (key) => keyactions([{ type: 'keyUp', value: keyvalue(key) }]),
      press: (key) => keyactions([{ type: 'keyDown', value: keyvalue(key) }, { type: 'keyUp', value: keyvalue(key) }]),
    };
  }

  // One or more commands on this page's window.
  async run(steps) {
    if (this.closed) throw new Error('webdriver.mjs: the page is closed');
    return this.browser.inwindow(this.handle, steps);
  }

  // Hands what the recorder kept to the listeners, as puppeteer's events.
  report(log = []) {
    for (const r of log) {
      if (r.kind === 'console') {
        this.emit('console', { type: () => 'error', text: () => r.text, location: () => ({ url: r.url }) });
      } else if (r.kind === 'pageerror') {
        this.emit('pageerror', new Error(r.text));
      } else if (r.kind === 'requestfailed') {
        this.emit('requestfailed', { url: () => r.url, failure: () => ({ errorText: 'the resource did not load' }) });
      }
    }
  }

  async evaluate(fn, ...args) {
    return this.call(source(fn), args);
  }

  async call(source, args) {
    const out = await this.run((cmd) => cmd('POST', '/execute/async', { script: script(source), args }));
    this.report(out?.log);
    if (out && 'error' in out) throw new Error(`Evaluation failed: ${out.error}`);
    return out?.undef ? undefined : out?.value;
  }

  // fn(element, ...args) for the first element that selector finds.
  async $eval(selector, fn, ...args) {
    return this.call(`(selector, ...args) => {
      const e = document.querySelector(selector);
      if (!e) throw new Error('no element matches ' + selector);
      return (${source(fn)})(e, ...args);
    }`, [selector, ...args]);
  }

  async waitForFunction(fn, options, ...args) {
    return waitfor(this, () => this.closed, fn, options, ...args);
  }

  async goto(url) {
    await this.run((cmd) => cmd('POST', '/url', { url }));
    await this.evaluate(() => undefined);  // the recorder into the new document
    return null;
  }

  async reload() {
    await this.run((cmd) => cmd('POST', '/refresh'));
    await this.evaluate(() => undefined);
    return null;
  }

  async click(selector) {
    await this.run(async (cmd) => {
      const e = await cmd('POST', '/element', { using: 'css selector', value: selector });
      await cmd('POST', `/element/${e[ELEMENT]}/click`, {});
    });
  }

  // The window is sized so that its viewport (the page's innerWidth and
  // innerHeight) is the size asked for, whatever the browser's own bars take.
  async setViewport({ width, height, deviceScaleFactor = 1, isMobile = false, hasTouch = false }) {
    if (deviceScaleFactor !== 1 || isMobile || hasTouch) {
      throw new Error('webdriver.mjs: WebDriver has no device emulation (scale factor, mobile, touch)');
    }
    for (let i = 0; i < 3; i++) {
      const [w, h] = await this.evaluate(() => [innerWidth, innerHeight]);
      if (w === width && h === height) return;
      const rect = await this.run((cmd) => cmd('GET', '/window/rect'));
      await this.run((cmd) => cmd('POST', '/window/rect', {
        width: rect.width + width - w, height: rect.height + height - h,
      }));
    }
    const [w, h] = await this.evaluate(() => [innerWidth, innerHeight]);
    if (w !== width || h !== height) throw new Error(`webdriver.mjs: the viewport is ${w}x${h}, not ${width}x${height}`);
  }

  // Switching to a window brings it in front, where it gets display frames.
  async bringToFront() {
    await this.run(async () => {});
  }

  async close() {
    if (this.closed) return;
    await this.run((cmd) => cmd('DELETE', '/window'));
    this.browser.current = null;
    this.closed = true;
  }
}
