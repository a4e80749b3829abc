// What every browser test of the page stands on: the page served on the
// loopback (or opened from disk), the managed policy that grants the
// virtual key to the test's exact origin (installed for the run, removed
// after it), Debian's Chromium launched by playwright-core as the command of
// virtual-hidraw (browser_on_virtual_keys.sh), the keys' memory in key files
// that the test reads after each change, and the control FIFO through which
// the test plugs keys in, pulls them out or gives them faults.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const kPolicyFolder = '/etc/chromium/policies/managed';
export const kSkipped = 77;

export const paths = {
  page: process.env.KEYADMIN_PAGE,
  virtualHidraw: process.env.KEYADMIN_VIRTUAL_HIDRAW,
  cli: process.env.KEYADMIN_CLI,
  screenshots: process.env.KEYADMIN_SCREENSHOTS,
};

export class Failure extends Error {}

export function check(condition, what) {
  if (!condition) throw new Failure(what);
}

export function checkEqual(actual, expected, what) {
  if (actual !== expected) throw new Failure(`${what}: got ${JSON.stringify(actual)}, expected ${JSON.stringify(expected)}`);
}

// The words of virtual-hidraw for a key: its memory in `file`, made new.
function keyWords(key, file) {
  // A key file of an earlier run: the key as it was left.
  if (key.fromFile) return ['--key', `file=${file}`];
  const words = ['--key', `serial=${key.serial}`, `file=${file}`, 'new'];
  if (key.keyPassword !== undefined) words.push(`key-password=${key.keyPassword}`);
  if (key.loginId !== undefined) words.push(`login-id=${key.loginId}`);
  if (key.loginPassword !== undefined) words.push(`login-password=${key.loginPassword}`);
  if (key.plugLater) words.push('plug-after-ms=86400000');
  if (key.unplugAfter !== undefined) words.push(`unplug-after=${key.unplugAfter}`);
  if (key.silentAfter !== undefined) words.push(`silent-after=${key.silentAfter}`);
  if (key.mode !== undefined) words.push(`mode=${key.mode}`);
  return words;
}

// The 59 cells of a key file as bytes.
export function cellsOf(file) {
  const line = fs.readFileSync(file, 'utf8').split('\n').find((l) => l.startsWith('cells '));
  return Buffer.from(line.slice(6), 'hex');
}

export const fields = { loginId: 16, loginPassword: 28, keyPassword: 40 };

// A 12-cell field as written: the text's bytes, its terminator, zeros.
export function fieldBytes(bytes) {
  const field = Buffer.alloc(12);
  Buffer.from(bytes).copy(field);
  return field;
}

function servePage(html, requests) {
  const server = http.createServer((request, response) => {
    requests.push(request.url);
    if (request.url !== '/') {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': 'text/html; charset=utf-8', 'cache-control': 'no-store' });
    response.end(html);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

function processAlive(pid) {
  try {
    process.kill(pid, 0);
    return true;
  } catch (error) {
    return error.code === 'EPERM';
  }
}

// Chromium takes one of several policies that set the same field: a policy
// left by a test run that was killed would hide this run's.
function removeStalePolicies() {
  for (const name of fs.existsSync(kPolicyFolder) ? fs.readdirSync(kPolicyFolder) : []) {
    const match = /^keyadmin-test-(\d+)\.json$/.exec(name);
    if (match && !processAlive(Number(match[1]))) fs.rmSync(path.join(kPolicyFolder, name), { force: true });
  }
}

let installedPolicy = null;
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP'])
  process.on(signal, () => {
    if (installedPolicy) fs.rmSync(installedPolicy, { force: true });
    process.exit(128 + os.constants.signals[signal]);
  });
process.on('exit', () => {
  if (installedPolicy) fs.rmSync(installedPolicy, { force: true });
});

function installPolicy(origin) {
  removeStalePolicies();
  const file = path.join(kPolicyFolder, `keyadmin-test-${process.pid}.json`);
  installedPolicy = file;
  fs.mkdirSync(kPolicyFolder, { recursive: true });
  const policy = { WebHidAllowDevicesForUrls: [{ devices: [{ vendor_id: 0x10f7, product_id: 0x81e1 }], urls: [origin] }] };
  fs.writeFileSync(file, JSON.stringify(policy));
  return file;
}

// The page in a browser with its keys; see startPage. Chromium under
// umockdev's preload now and then never commits its first navigation (a
// few times in a hundred starts, whatever the page): such a start is tried
// once more, and says so.
export async function openPage(options) {
  try {
    return await startPage(options, 25000);
  } catch (error) {
    if (!(error.name === 'TimeoutError' && /goto/.test(error.message))) throw error;
    console.log("the browser did not load the page within 25 s; starting it once more");
    return startPage(options, 45000);
  }
}

// The page in a browser with its keys. `options`: keys (see keyWords),
// locale, origin ('http', 'file' or 'insecure': a host that is not the
// loopback, where the page is no secure context), headless, display.
async function startPage(options, loadLimitMs) {
  const { chromium } = await import('playwright-core');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'keyadmin-page-'));
  const keys = (options.keys || []).map((key, i) => ({ ...key, file: key.fromFile || path.join(dir, `key${i}`) }));
  const requests = [];
  const html = fs.readFileSync(paths.page);
  const server = await servePage(html, requests);
  const port = server.address().port;
  const pageFile = path.join(dir, 'keyadmin.html');
  fs.copyFileSync(paths.page, pageFile);
  const origin = options.origin || 'http';
  const url =
    origin === 'file' ? `file://${pageFile}` : origin === 'insecure' ? `http://keyadmin.test:${port}/` : `http://127.0.0.1:${port}/`;
  const policy = options.policy === false ? null : installPolicy(origin === 'file' ? url : `http://127.0.0.1:${port}`);
  const control = path.join(dir, 'control');
  const env = {
    ...process.env,
    KEYADMIN_VIRTUAL_HIDRAW: paths.virtualHidraw,
    KEYADMIN_DEVICES: [...keys.flatMap((key, i) => keyWords(key, keys[i].file)), ...(options.devices || [])].join(' '),
    KEYADMIN_CONTROL: control,
    KEYADMIN_CELLS: path.join(dir, 'cells'),
    KEYADMIN_TESTBED: path.join(dir, 'testbed'),
    KEYADMIN_LOG: options.log ? path.join(dir, 'log') : '',
  };
  if (options.display) env.DISPLAY = options.display;
  const launch = {
    executablePath: path.join(here, 'browser_on_virtual_keys.sh'),
    headless: options.headless !== false,
    args: ['--no-sandbox', '--disable-gpu', '--host-resolver-rules=MAP keyadmin.test 127.0.0.1', ...(options.args || [])],
    env,
    timeout: 60000,
  };
  const look = { locale: options.locale || 'ko-KR', viewport: { width: 900, height: 820 } };
  let browser;
  let context;
  try {
    if (options.asNobody) {
      // Chromium as another user than root, who may not open a node of
      // mode 0600: its profile in a folder of that user's own.
      const profile = path.join(dir, 'profile');
      fs.mkdirSync(profile);
      fs.chmodSync(dir, 0o755);
      fs.chownSync(profile, 65534, 65534);
      env.HOME = profile;
      env.KEYADMIN_CHROMIUM = path.join(here, 'chromium_as_nobody.sh');
      context = await chromium.launchPersistentContext(profile, { ...launch, ...look });
      browser = context;
    } else {
      browser = await chromium.launch(launch);
      context = await browser.newContext(look);
    }
  } catch (error) {
    if (policy) fs.rmSync(policy, { force: true });
    server.close();
    throw error;
  }
  const page = context.pages()[0] || (await context.newPage());
  const consoleLines = [];
  const pageRequests = [];
  page.on('console', (message) => consoleLines.push(message.text()));
  page.on('pageerror', (error) => consoleLines.push(`pageerror: ${error.message}`));
  page.on('request', (request) => pageRequests.push(request.url()));
  const session = new PageSession({ page, browser, context, server, policy, dir, keys, controlFifo: control, url, requests, pageRequests, consoleLines });
  try {
    await page.goto(url, { waitUntil: 'commit', timeout: loadLimitMs });
  } catch (error) {
    await session.close();
    throw error;
  }
  return session;
}

export class PageSession {
  constructor(parts) {
    Object.assign(this, parts);
    this.doneLines = 0;
    this.shots = 0;
  }

  // Carries out a command of virtual-hidraw's control channel and waits
  // until it has been.
  async control(command) {
    fs.appendFileSync(this.controlFifo, `${command}\n`);
    const done = `${this.controlFifo}.done`;
    for (let waited = 0; waited < 10000; waited += 20) {
      const lines = fs.existsSync(done) ? fs.readFileSync(done, 'utf8').split('\n').filter(Boolean) : [];
      if (lines.length > this.doneLines) {
        this.doneLines = lines.length;
        check(lines[lines.length - 1] === command, `virtual-hidraw carried out "${command}": ${lines[lines.length - 1]}`);
        return;
      }
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
    throw new Failure(`virtual-hidraw did not carry out "${command}"`);
  }

  cells(key) {
    return cellsOf(this.keys[key].file);
  }

  field(key, name) {
    const at = fields[name];
    return this.cells(key).subarray(at, at + 12);
  }

  // Waits until the page has no task left.
  async idle() {
    await this.page.waitForFunction(() => document.body.getAttribute('aria-busy') === 'false', null, { timeout: 20000 });
  }

  // Waits for the page's dialog: {caption, text}.
  async notice() {
    await this.page.waitForSelector('dialog#notice[open]', { timeout: 20000 });
    return {
      caption: await this.page.textContent('#notice-caption'),
      text: await this.page.textContent('#notice-text'),
    };
  }

  async closeNotice(how = 'click') {
    if (how === 'escape') await this.page.keyboard.press('Escape');
    else await this.page.click('#notice-close');
    await this.page.waitForSelector('dialog#notice:not([open])', { state: 'attached' });
  }

  // Every dialog the page shows until it is idle: their texts, in order.
  async notices() {
    const seen = [];
    for (;;) {
      const open = await this.page.waitForFunction(
        () => document.querySelector('dialog#notice').open || document.body.getAttribute('aria-busy') === 'false',
        null,
        { timeout: 20000 },
      );
      await open.dispose();
      if (!(await this.page.$('dialog#notice[open]'))) return seen;
      seen.push(await this.notice());
      await this.closeNotice();
    }
  }

  status() {
    return this.page.textContent('#status');
  }

  // Opens a form from its command, fills the fields and presses its button.
  async submit(command, values, button) {
    await this.page.click(`#${command}`);
    for (const [id, value] of Object.entries(values)) await this.page.fill(`#${id}`, value);
    await this.page.click(`#${button || (command === 'show-login' ? 'ok' : 'change')}`);
  }

  async screenshot(name) {
    if (!paths.screenshots) return;
    fs.mkdirSync(paths.screenshots, { recursive: true });
    await this.page.screenshot({ path: path.join(paths.screenshots, `${name}.png`), fullPage: true });
  }

  async close() {
    try {
      await this.browser.close();
    } finally {
      if (this.policy) fs.rmSync(this.policy, { force: true });
      installedPolicy = null;
      this.server.close();
    }
  }

  // keyadmin-cli under virtual-hidraw on this session's key file `key`,
  // once the browser has let go of it: its output and exit code.
  cli(key, args, input) {
    return runCli(this.keys[key].file, args, input);
  }
}

export function runCli(keyFile, args, input) {
  try {
    const stdout = execFileSync(paths.virtualHidraw, ['--key', `file=${keyFile}`, '--', paths.cli, ...args], {
      input,
      encoding: 'utf8',
      env: { ...process.env, LANG: 'C.UTF-8', LC_ALL: 'C.UTF-8' },
      stdio: ['pipe', 'pipe', 'pipe'],
    });
    return { code: 0, stdout };
  } catch (error) {
    return { code: error.status, stdout: `${error.stdout}${error.stderr}` };
  }
}

// A virtual X server of its own, for the visible browser.
export async function startXvfb() {
  const display = `:${90 + (process.pid % 9)}`;
  const server = spawn('Xvfb', [display, '-screen', '0', '1280x900x24', '-nolisten', 'tcp'], { stdio: 'ignore' });
  for (let waited = 0; waited < 5000; waited += 100) {
    if (fs.existsSync(`/tmp/.X11-unix/X${display.slice(1)}`)) return { display, stop: () => server.kill() };
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  server.kill();
  throw new Failure('Xvfb did not start');
}

export function isRoot() {
  return typeof process.getuid === 'function' && process.getuid() === 0;
}
