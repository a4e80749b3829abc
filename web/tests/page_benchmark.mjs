// The page against keyadmin-cli, each command on the same virtual key in one
// run of virtual-hidraw: the time of each command, the exchanges it made
// (output reports in virtual-hidraw's log, between markers) and the time
// per exchange. Not a test: it prints a table and asserts nothing.
//   node page_benchmark.mjs [ROUNDS]   (KEYADMIN_PAGE, _VIRTUAL_HIDRAW, _CLI)
//
// The page's time runs from the click (or the form's submission) to the
// dialog of its outcome (or the end of the look), on the page's own clock;
// keyadmin-cli's from its start to its end, as a script sees it. A marker
// between two phases is an open of the foreign device hidraw1.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { openPage, paths } from './page_harness.mjs';

// An even number of rounds: the key password changes back and forth.
const rounds = 2 * Math.ceil(Number(process.argv[2] || 10) / 2);
const key = { serial: '4b41d001', keyPassword: '1234', loginId: 'bench', loginPassword: 'pw-1' };

const kCommands = [
  { name: 'status / refresh', page: { click: 'refresh' }, cli: () => [['status'], ''] },
  { name: 'show login password', page: { command: 'show-login', values: () => ({ current: '1234' }) }, cli: () => [['show-login-password'], '1234\n'] },
  {
    name: 'change login password',
    page: { command: 'change-login', values: (i) => ({ current: '1234', 'new-login': `pw-${i % 2}` }) },
    cli: (i) => [['set-login-password'], `1234\npw-${i % 2}\n`],
  },
  {
    name: 'change key password',
    page: { command: 'change-key', values: (i) => (i % 2 ? { current: '5678', 'new-key': '1234', confirm: '1234' } : { current: '1234', 'new-key': '5678', confirm: '5678' }) },
    cli: (i) => [['set-key-password'], i % 2 ? '5678\n1234\n1234\n' : '1234\n5678\n5678\n'],
  },
];

const t = await openPage({ keys: [key], devices: ['--foreign'], log: true });
let testbed;
const underTestbed = () => ({ ...process.env, LD_PRELOAD: 'libumockdev-preload.so.0', UMOCKDEV_DIR: testbed, LANG: 'C.UTF-8' });
const marker = () => execFileSync('sh', ['-c', ': <>/dev/hidraw1'], { env: underTestbed() });
const results = [];
try {
  await t.idle();
  testbed = fs.readFileSync(`${t.dir}/testbed`, 'utf8').trim();
  // The page's clock: from the user's action to the outcome.
  await t.page.evaluate(() => {
    window.benchmark = [];
    let started = 0;
    const start = () => (started = performance.now());
    document.querySelector('#password-form').addEventListener('submit', start, true);
    document.querySelector('#refresh').addEventListener('click', start, true);
    const done = () => started && (window.benchmark.push(performance.now() - started), (started = 0));
    new MutationObserver(() => document.querySelector('#notice').open && done()).observe(document.querySelector('#notice'), { attributes: true });
    new MutationObserver(() => document.body.getAttribute('aria-busy') === 'false' && done()).observe(document.body, { attributes: true });
  });
  for (const command of kCommands) {
    marker();
    await t.page.evaluate(() => (window.benchmark = []));
    for (let i = 0; i < rounds; ++i) {
      if (command.page.click) {
        await t.page.click(`#${command.page.click}`);
        await t.idle();
        continue;
      }
      await t.submit(command.page.command, command.page.values(i));
      await t.notices();
      await t.idle();
    }
    const pageTimes = await t.page.evaluate(() => window.benchmark);
    // The page keeps its connection open; on the fake nodes every open
    // shares one queue of replies, so it lets go before keyadmin-cli runs
    // (a real hidraw node gives each open its own).
    await t.page.evaluate(async () => {
      for (const device of await navigator.hid.getDevices()) if (device.opened) await device.close();
    });
    marker();
    await t.page.click('#cancel').catch(() => {});
    const cliTimes = [];
    for (let i = 0; i < rounds; ++i) {
      const [args, input] = command.cli(i);
      const started = process.hrtime.bigint();
      execFileSync(paths.cli, args, { input, env: underTestbed(), stdio: ['pipe', 'ignore', 'ignore'] });
      cliTimes.push(Number(process.hrtime.bigint() - started) / 1e6);
    }
    marker();
    results.push({ name: command.name, pageTimes, cliTimes });
  }
} finally {
  await t.close();
}

// Output reports of the key between the markers: page, command line, page, ...
const log = fs.readFileSync(`${t.dir}/log`, 'utf8').split('\n');
const phases = [];
let writes = null;
for (const line of log) {
  if (line === 'hidraw1 open') {
    if (writes !== null) phases.push(writes);
    writes = 0;
  } else if (writes !== null && /^hidraw0 write \d+$/.test(line)) ++writes;
}
const mean = (values) => values.reduce((a, b) => a + b, 0) / values.length;
console.log(`rounds per command: ${rounds}; Chromium ${execFileSync('/usr/bin/chromium', ['--version'], { encoding: 'utf8' }).trim()}`);
console.log('| command | page ms | page exchanges | page ms/exchange | cli ms | cli exchanges | cli ms/exchange | page/cli per exchange |');
console.log('|---|---|---|---|---|---|---|---|');
results.forEach((result, i) => {
  const pageExchanges = phases[2 * i] / rounds;
  const cliExchanges = phases[2 * i + 1] / rounds;
  const pagePer = mean(result.pageTimes) / pageExchanges;
  const cliPer = mean(result.cliTimes) / cliExchanges;
  console.log(`| ${result.name} | ${mean(result.pageTimes).toFixed(1)} | ${pageExchanges} | ${pagePer.toFixed(3)} | ${mean(result.cliTimes).toFixed(1)} | ${cliExchanges} | ${cliPer.toFixed(3)} | ${(pagePer / cliPer).toFixed(2)} |`);
});
