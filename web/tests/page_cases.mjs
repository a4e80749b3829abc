// The browser tests of the page, one case each (run_page_test.mjs runs one
// by name; ctest runs each as a test of its own). Outcomes are checked
// against what the virtual key holds: its cells, read from its key file
// after each change.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { execFileSync } from 'node:child_process';
import { check, checkEqual, fieldBytes, isRoot, kSkipped, openPage, paths, startXvfb } from './page_harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));

const inUse = { serial: '4b41d001', keyPassword: '1234', loginId: 'demo-user', loginPassword: 'pw-1' };
const initial = { serial: '4b41d0a1' };
const ascii = (text) => Buffer.from(text, 'latin1');

// Each command, with a key in use and a factory-initial one: what the user
// types, what the page says, and what the key holds afterwards.
const kCommandRows = [
  {
    name: 'show-login-password',
    key: inUse,
    command: 'show-login',
    values: { current: '1234' },
    notices: ["로그인 암호는 'pw-1' 입니다."],
    after: {},
  },
  {
    name: 'show-login-password-english',
    key: inUse,
    locale: 'en-US',
    command: 'show-login',
    values: { current: '1234' },
    notices: ['login password: pw-1'],
    after: {},
  },
  {
    name: 'change-login-password',
    key: inUse,
    command: 'change-login',
    values: { current: '1234', 'new-login': 'new-pw' },
    notices: ['로그인 암호가 변경 되었습니다.'],
    after: { loginPassword: ascii('new-pw') },
  },
  {
    name: 'change-key-password',
    key: inUse,
    command: 'change-key',
    values: { current: '1234', 'new-key': '5678', confirm: '5678' },
    notices: ['인증키 암호가 변경 되었습니다.'],
    after: { keyPassword: ascii('5678') },
  },
  {
    name: 'first-key-password',
    key: initial,
    command: 'change-key',
    values: { 'new-key': 'first1', confirm: 'first1' },
    notices: ['인증키 암호가 변경 되었습니다.'],
    after: { keyPassword: ascii('first1') },
    commandsAfter: { 'show-login': true, 'change-login': true, 'change-key': true },
  },
  {
    name: 'wrong-key-password-show',
    key: inUse,
    command: 'show-login',
    values: { current: '9999' },
    notices: ['인증키 암호가 틀렸습니다.'],
    after: {},
  },
  {
    name: 'wrong-key-password-change',
    key: inUse,
    locale: 'en-US',
    command: 'change-login',
    values: { current: '123', 'new-login': 'stolen' },
    notices: ['The key password is wrong.'],
    after: {},
  },
  {
    name: 'confirmation-mismatch',
    key: inUse,
    command: 'change-key',
    values: { current: '1234', 'new-key': '5678', confirm: '5679' },
    notices: ['변경할 암호와 암호 확인이 일치하지 않습니다.'],
    after: {},
  },
];

function commandCase(row) {
  return async () => {
    const t = await openPage({ keys: [row.key], locale: row.locale });
    try {
      await t.idle();
      const before = t.cells(0);
      await t.screenshot(`${row.name}-1-before`);
      await t.submit(row.command, row.values);
      for (const id of Object.keys(row.values)) checkEqual(await t.page.inputValue(`#${id}`), '', `${id} emptied as its text was taken`);
      const first = await t.notice();
      await t.screenshot(`${row.name}-2-notice`);
      await t.closeNotice();
      const shown = [first.text, ...(await t.notices()).map((notice) => notice.text)];
      checkEqual(JSON.stringify(shown), JSON.stringify(row.notices), 'the page said');
      checkEqual(await t.page.textContent('#notice-text'), '', 'the dialog erased its text');
      const expected = Buffer.from(before);
      for (const [name, bytes] of Object.entries(row.after)) fieldBytes(bytes).copy(expected, { loginId: 16, loginPassword: 28, keyPassword: 40 }[name]);
      check(t.cells(0).equals(expected), `the key holds ${t.cells(0).toString('hex')}, expected ${expected.toString('hex')}`);
      for (const [id, enabled] of Object.entries(row.commandsAfter || {}))
        checkEqual(await t.page.isEnabled(`#${id}`), enabled, `${id} enabled afterwards`);
      await t.screenshot(`${row.name}-3-after`);
    } finally {
      await t.close();
    }
  };
}

export const cases = Object.fromEntries(kCommandRows.map((row) => [row.name, commandCase(row)]));

cases['factory-initial-commands'] = async () => {
  const t = await openPage({ keys: [initial] });
  try {
    await t.idle();
    checkEqual(await t.status(), '초기화 상태의 인증키입니다.\r\n인증키 비밀번호를 설정해야 사용이 가능합니다.', 'status');
    checkEqual(await t.page.isEnabled('#show-login'), false, 'show-login on a factory-initial key');
    checkEqual(await t.page.isEnabled('#change-login'), false, 'change-login on a factory-initial key');
    await t.page.click('#change-key');
    checkEqual(await t.page.isEnabled('#current'), false, 'no current key password to type');
    checkEqual(await t.page.textContent('#form-heading'), '인증키 암호 설정', 'form');
    await t.screenshot('factory-initial-form');
  } finally {
    await t.close();
  }
};

// Typed texts as the window takes them: at most 11 bytes of code page 949,
// a Hangul syllable 2; refused, never cut, with a count of bytes left.
cases['typed-text-limits'] = async () => {
  const t = await openPage({ keys: [inUse] });
  try {
    await t.idle();
    const before = t.cells(0);
    await t.page.click('#change-login');
    await t.page.fill('#current', '1234');
    await t.page.fill('#new-login', '가나다라마a');
    checkEqual(await t.page.textContent('#new-login-bytes'), '0바이트 남음', 'bytes left at 11');
    await t.page.fill('#new-login', '가나다라마바');
    check((await t.page.textContent('#new-login-bytes')).includes('11바이트를 넘습니다'), 'a text of 12 bytes is over');
    checkEqual(await t.page.getAttribute('#new-login', 'aria-invalid'), 'true', 'the field says it is invalid');
    await t.page.click('#change');
    check((await t.page.textContent('#form-error')).includes('이 암호는 쓰지 않았습니다'), 'the form refuses it');
    checkEqual(await t.page.inputValue('#new-login'), '가나다라마바', 'the text is kept to be mended, not cut');
    await t.screenshot('typed-text-limits-1-too-long');
    await t.page.fill('#new-login', 'pw\u{1F511}');
    await t.page.click('#change');
    check((await t.page.textContent('#form-error')).includes('코드 페이지 949로 쓸 수 없는 문자'), 'a character code page 949 lacks is refused');
    await t.idle();
    check(t.cells(0).equals(before), 'nothing reached the key');
    await t.page.fill('#new-login', '한글암호1');
    await t.page.click('#change');
    checkEqual((await t.notice()).text, '로그인 암호가 변경 되었습니다.', 'the page said');
    await t.closeNotice();
    await t.idle();
    check(t.field(0, 'loginPassword').equals(fieldBytes([0xc7, 0xd1, 0xb1, 0xdb, 0xbe, 0xcf, 0xc8, 0xa3, 0x31])), `the key holds the window's bytes: ${t.field(0, 'loginPassword').toString('hex')}`);
  } finally {
    await t.close();
  }
  // The command line reads the same bytes as the same text.
  const shown = t.cli(0, ['show-login-password'], '1234\n');
  checkEqual(shown.code, 0, `keyadmin-cli show-login-password: ${shown.stdout}`);
  check(shown.stdout.includes('login password: 한글암호1'), `keyadmin-cli shows it: ${shown.stdout}`);
};

// A key password set in the page unlocks the key in keyadmin-cli, and one
// set with keyadmin-cli unlocks it in the page.
cases['key-password-shared-with-cli'] = async () => {
  let t = await openPage({ keys: [inUse] });
  try {
    await t.idle();
    await t.submit('change-key', { current: '1234', 'new-key': '열쇠암호7', confirm: '열쇠암호7' });
    checkEqual((await t.notice()).text, '인증키 암호가 변경 되었습니다.', 'the page said');
    await t.closeNotice();
  } finally {
    await t.close();
  }
  const file = t.keys[0].file;
  const unlocked = t.cli(0, ['show-login-password'], '열쇠암호7\n');
  checkEqual(unlocked.code, 0, `keyadmin-cli unlocks with the page's key password: ${unlocked.stdout}`);
  const changed = t.cli(0, ['set-key-password'], '열쇠암호7\n새암호\n새암호\n');
  checkEqual(changed.code, 0, `keyadmin-cli set-key-password: ${changed.stdout}`);
  t = await openPage({ keys: [{ fromFile: file }] });
  try {
    await t.idle();
    await t.submit('show-login', { current: '새암호' });
    checkEqual((await t.notice()).text, "로그인 암호는 'pw-1' 입니다.", "the page unlocks with keyadmin-cli's key password");
    await t.closeNotice();
  } finally {
    await t.close();
  }
};

const keyA = { serial: '4b41d001', keyPassword: '1111', loginId: 'user-a', loginPassword: 'pw-a' };
const keyB = { serial: '4b41d002', keyPassword: '1111', loginId: 'user-b', loginPassword: 'pw-b' };

// Every granted key listed by serial number; nothing acts until one is
// chosen, and then only on that one.
cases['several-keys'] = async () => {
  const t = await openPage({ keys: [keyA, keyB] });
  try {
    await t.idle();
    const serials = await t.page.$$eval('#key-list .serial', (spans) => spans.map((span) => span.textContent));
    checkEqual(JSON.stringify(serials), JSON.stringify(['4B 41 D0 01', '4B 41 D0 02']), 'the keys listed');
    checkEqual(await t.status(), '인증키가 여러 개 연결되어 있습니다. 고유번호로 하나를 고르십시오.', 'status');
    checkEqual(await t.page.isEnabled('#change-login'), false, 'no command before a key is chosen');
    await t.screenshot('several-keys-1-listed');
    // Each key in turn: the one chosen changes, the other not.
    for (const [item, serial, loginId, changed, other] of [
      [2, '4B 41 D0 02', 'user-b', 1, 0],
      [1, '4B 41 D0 01', 'user-a', 0, 1],
    ]) {
      await t.page.check(`#key-list li:nth-child(${item}) input`);
      await t.idle();
      checkEqual(await t.page.textContent('#serial-line'), serial, 'the chosen key shown');
      checkEqual(await t.page.textContent('#login-id'), loginId, 'its login ID');
      const untouched = t.cells(other);
      await t.submit('change-login', { current: '1111', 'new-login': `only-${loginId}` });
      checkEqual((await t.notice()).text, '로그인 암호가 변경 되었습니다.', `${serial}: the page said`);
      await t.closeNotice();
      await t.idle();
      check(t.field(changed, 'loginPassword').equals(fieldBytes(ascii(`only-${loginId}`))), `${serial}: the chosen key changed`);
      check(t.cells(other).equals(untouched), `${serial}: the other key unchanged`);
    }
    await t.screenshot('several-keys-2-changed');
  } finally {
    await t.close();
  }
};

// Key A is swapped for key B while the user types: the change reaches
// neither.
cases['key-swapped-before-change'] = async () => {
  const t = await openPage({ keys: [keyA, { ...keyB, plugLater: true }] });
  try {
    await t.idle();
    checkEqual(await t.page.textContent('#serial-line'), '4B 41 D0 01', 'key A shown');
    const a = t.cells(0);
    const b = t.cells(1);
    await t.page.click('#change-login');
    await t.page.fill('#current', '1111');
    await t.page.fill('#new-login', 'for-a');
    await t.control('unplug 0');
    await t.control('plug 1');
    await t.page.waitForFunction(() => document.querySelector('#key-list').textContent.includes('4B 41 D0 02'));
    await t.idle();
    await t.page.click('#change');
    const shown = await t.notices();
    checkEqual(shown[0] && shown[0].text, 'USB 인증키를 찾지 못했습니다', 'the page said');
    await t.screenshot('key-swapped-before-change');
    check(t.cells(1).equals(b), "key B's cells unchanged");
    check(t.cells(0).equals(a), "key A's cells unchanged");
    check((await t.status()).includes('4B 41 D0 01'), `the status names the chosen key: ${await t.status()}`);
  } finally {
    await t.close();
  }
};

// A key that takes reports and answers none costs one limit, and the page
// stays responsive meanwhile.
cases['silent-key'] = async () => {
  const t = await openPage({ keys: [inUse] });
  try {
    await t.idle();
    const before = t.cells(0);
    await t.control('silent 0');
    const started = Date.now();
    await t.submit('show-login', { current: '1234' });
    await t.page.waitForFunction(() => document.body.getAttribute('aria-busy') === 'true');
    const asked = Date.now();
    await t.page.click('#language');
    checkEqual(await t.page.textContent('h1'), 'USB key administration', 'the page answers while the key is silent');
    check(Date.now() - asked < 1500, `the language switched in ${Date.now() - asked} ms`);
    await t.screenshot('silent-key-1-waiting');
    const notice = await t.notice();
    const waited = Date.now() - started;
    checkEqual(notice.text, 'No key is attached.', 'the page said');
    check(waited >= 2900 && waited < 6500, `one limit: ${waited} ms`);
    await t.screenshot('silent-key-2-not-found');
    await t.closeNotice();
    await t.idle();
    check(t.cells(0).equals(before), 'the key unchanged');
    checkEqual(await t.page.textContent('#serial-line'), 'xx xx xx xx', 'no key known after it fell silent');
  } finally {
    await t.close();
  }
};

// A key that refuses its writes: the key password is back as it was, the
// login password must be set again.
const kRefusedRows = [
  ['change-key', { current: '1234', 'new-key': '5678', confirm: '5678' }, '암호를 변경 도중에 오류가 생겼습니다.'],
  ['change-login', { current: '1234', 'new-login': 'refused' }, '암호를 변경 도중에 오류가 생겼습니다.\r\n로그인 암호를 다시 설정해 주십시오.'],
];

cases['refused-writes'] = async () => {
  const t = await openPage({ keys: [inUse] });
  try {
    await t.idle();
    const before = t.cells(0);
    await t.control('refuse-writes 0');
    for (const [command, values, said] of kRefusedRows) {
      await t.submit(command, values);
      checkEqual((await t.notice()).text, said, `${command}: the page said`);
      await t.screenshot(`refused-writes-${command}`);
      await t.closeNotice();
      await t.idle();
      check(t.cells(0).equals(before), `${command}: the key holds what it held`);
    }
  } finally {
    await t.close();
  }
};

// Exchanges of the page's first look at a key (presence, serial number,
// login ID, factory mark) and of a change's start with the chosen key's
// serial number checked (serial number, presence, key password).
const kLookExchanges = 17;
const kChangeExchangesBeforeWrites = 4 + 1 + 12;

// The key is pulled out while its key password is written: the page says
// neither password unlocks it, and puts the old one back when the key is
// plugged in again with the page still open.
cases['pulled-during-key-password-change'] = async () => {
  const cellsWritten = 2;
  const t = await openPage({ keys: [{ ...inUse, unplugAfter: kLookExchanges + kChangeExchangesBeforeWrites + cellsWritten }] });
  try {
    await t.idle();
    await t.submit('change-key', { current: '1234', 'new-key': '5678', confirm: '5678' });
    const interrupted = await t.notice();
    check(interrupted.text.startsWith('암호를 변경 도중에 오류가 생겼습니다.\r\n인증키 암호 변경이 중단되었습니다.'), `the page said: ${interrupted.text}`);
    await t.screenshot('pulled-1-interrupted');
    await t.closeNotice();
    await t.idle();
    check(t.field(0, 'keyPassword').equals(fieldBytes(ascii('5634'))), `the key holds part new, part old: ${t.field(0, 'keyPassword')}`);
    checkEqual(await t.page.$$eval('#key-list li', (items) => items.length), 0, 'the key is gone');
    await t.control('plug 0');
    const repaired = await t.notice();
    checkEqual(repaired.text, '중단되었던 인증키 암호 변경을 되돌렸습니다. 이전 인증키 암호로 사용할 수 있습니다.', 'the page said');
    await t.screenshot('pulled-2-repaired');
    await t.closeNotice();
    await t.idle();
    check(t.field(0, 'keyPassword').equals(fieldBytes(ascii('1234'))), 'the old key password is back');
    await t.submit('show-login', { current: '1234' });
    checkEqual((await t.notice()).text, "로그인 암호는 'pw-1' 입니다.", 'the old key password unlocks the key');
    await t.closeNotice();
  } finally {
    await t.close();
  }
};

// A key plugged in later appears by itself; pulled out, it goes.
cases['key-arriving-and-leaving'] = async () => {
  const t = await openPage({ keys: [{ ...inUse, plugLater: true }] });
  try {
    await t.idle();
    checkEqual(await t.status(), 'USB 인증키를 찾지 못했습니다.\r\n', 'no key at first');
    await t.screenshot('arriving-1-no-key');
    await t.control('plug 0');
    await t.page.waitForFunction(() => document.querySelector('#serial-line').textContent === '4B 41 D0 01', null, { timeout: 15000 });
    await t.idle();
    checkEqual(await t.status(), '인증키가 연결되어 있습니다.\r\n', 'the key arrived');
    await t.screenshot('arriving-2-arrived');
    await t.control('unplug 0');
    await t.page.waitForFunction(() => document.querySelectorAll('#key-list li').length === 0, null, { timeout: 15000 });
    await t.idle();
    checkEqual(await t.page.textContent('#serial-line'), 'xx xx xx xx', 'the key left');
    checkEqual(await t.page.isEnabled('#show-login'), false, 'no command without a key');
  } finally {
    await t.close();
  }
};

// A whole session leaves nothing behind: no request beyond the page
// itself, nothing in any storage, the URL and history as they were, no
// secret on the console, every field and the dialog emptied.
cases['nothing-sent-or-kept'] = async () => {
  const t = await openPage({ keys: [inUse] });
  try {
    await t.idle();
    const history = await t.page.evaluate(() => history.length);
    await t.submit('show-login', { current: '1234' });
    checkEqual((await t.notice()).text, "로그인 암호는 'pw-1' 입니다.", 'the login password shown');
    await t.closeNotice('escape');
    await t.submit('change-login', { current: '1234', 'new-login': 'secret-2' });
    await t.notices();
    await t.idle();
    checkEqual(JSON.stringify(t.pageRequests), JSON.stringify([t.url]), 'requests of the page');
    checkEqual(JSON.stringify(t.requests), JSON.stringify(['/']), 'requests the server saw');
    const kept = await t.page.evaluate(async () => ({
      local: localStorage.length,
      session: sessionStorage.length,
      cookie: document.cookie,
      databases: (await indexedDB.databases()).length,
      caches: (await caches.keys()).length,
      history: history.length,
      href: location.href,
      fields: [...document.querySelectorAll('input[type=password], input[type=text]')].map((input) => input.value + '|' + input.autocomplete),
      dialog: document.querySelector('#notice-text').textContent,
    }));
    checkEqual(JSON.stringify(kept), JSON.stringify({ local: 0, session: 0, cookie: '', databases: 0, caches: 0, history, href: t.url, fields: ['|off', '|off', '|off', '|off'], dialog: '' }), 'what the page keeps');
    for (const secret of ['1234', 'pw-1', 'secret-2'])
      check(!t.consoleLines.some((line) => line.includes(secret)), `no "${secret}" on the console: ${t.consoleLines.join(' / ')}`);
    const policy = await t.page.evaluate(() => document.querySelector('meta[http-equiv="Content-Security-Policy"]').content);
    check(policy.includes("connect-src 'none'") && policy.includes("default-src 'none'"), `the page allows no connection: ${policy}`);
    const fetched = await t.page.evaluate(() => fetch('/').then(() => 'fetched', (error) => 'refused'));
    checkEqual(fetched, 'refused', 'a connection from the page');
  } finally {
    await t.close();
  }
};

// A browser without WebHID (here: the page over plain http from a host
// that is not this one, no secure context) says so in both languages.
cases['browser-without-webhid'] = async () => {
  const t = await openPage({ keys: [inUse], origin: 'insecure', locale: 'en-US' });
  try {
    await t.page.waitForSelector('#no-webhid:not([hidden])');
    const korean = await t.page.textContent('#no-webhid-ko');
    const english = await t.page.textContent('#no-webhid-en');
    check(korean.includes('WebHID가 없습니다') && korean.includes('keyadmin-cli'), `the Korean message: ${korean}`);
    check(english.includes('it has no WebHID') && english.includes('keyadmin.exe'), `the English message: ${english}`);
    checkEqual(await t.page.isEnabled('#connect'), false, 'nothing to connect');
    await t.screenshot('browser-without-webhid');
  } finally {
    await t.close();
  }
};

// Opened from disk, the page reaches the key as well.
cases['opened-from-disk'] = async () => {
  const t = await openPage({ keys: [inUse], origin: 'file' });
  try {
    await t.idle();
    checkEqual(await t.page.textContent('#serial-line'), '4B 41 D0 01', 'the key from a file:// page');
    await t.submit('show-login', { current: '1234' });
    checkEqual((await t.notice()).text, "로그인 암호는 'pw-1' 입니다.", 'the page said');
    await t.closeNotice();
  } finally {
    await t.close();
  }
};

// The language follows the browser's, and the switch changes it.
cases['language-switch'] = async () => {
  const t = await openPage({ keys: [inUse], locale: 'en-GB' });
  try {
    await t.idle();
    checkEqual(await t.page.getAttribute('html', 'lang'), 'en', 'English for an English browser');
    checkEqual(await t.status(), 'attached', 'status in English');
    checkEqual(await t.page.textContent('#refresh'), 'Refresh', 'button in English');
    await t.screenshot('language-1-english');
    await t.page.click('#language');
    checkEqual(await t.page.getAttribute('html', 'lang'), 'ko', 'Korean after the switch');
    checkEqual(await t.page.textContent('#refresh'), '새로고침', "the window's button text");
    await t.page.click('#refresh');
    await t.idle();
    checkEqual(await t.status(), '인증키가 연결되어 있습니다.\r\n', "the window's status text");
  } finally {
    await t.close();
  }
};

// Usable by keyboard and screen reader: axe-core finds no violation in the
// page's states, and the dialog takes the focus and closes with Escape.
cases['accessibility'] = async () => {
  const axe = fs.readFileSync(path.join(here, 'node_modules/axe-core/axe.min.js'), 'utf8');
  const t = await openPage({ keys: [inUse] });
  const audit = async (state) => {
    const found = await t.page.evaluate(`${axe}; axe.run(document, { resultTypes: ['violations'] }).then((r) => r.violations.map((v) => v.id + ': ' + v.nodes.map((n) => n.target.join(' ')).join(', ')))`);
    checkEqual(JSON.stringify(found), '[]', `axe-core violations (${state})`);
  };
  try {
    await t.idle();
    await audit('start');
    await t.page.focus('#change-key');
    await t.page.keyboard.press('Enter');
    checkEqual(await t.page.evaluate(() => document.activeElement.id), 'current', 'the form takes the focus');
    await t.page.keyboard.type('1234');
    await t.page.keyboard.press('Tab');
    await t.page.keyboard.type('5678');
    await t.page.keyboard.press('Tab');
    await t.page.keyboard.type('5670');
    await audit('form');
    await t.screenshot('accessibility-1-form');
    await t.page.focus('#change');
    await t.page.keyboard.press('Enter');
    await t.notice();
    checkEqual(await t.page.evaluate(() => document.activeElement.id), 'notice-close', 'the dialog takes the focus');
    await t.page.keyboard.press('Tab');
    check(await t.page.evaluate(() => document.querySelector('#notice').contains(document.activeElement) || document.activeElement === document.body), 'the focus stays in the dialog');
    await audit('dialog');
    await t.screenshot('accessibility-2-dialog');
    await t.closeNotice('escape');
    checkEqual(await t.page.textContent('#notice-text'), '', 'Escape closed and erased the dialog');
  } finally {
    await t.close();
  }
};

// On Linux, a key the browser may not open gets the command line's udev
// message: the rule, and the commands that install it.
cases['permission-denied'] = async () => {
  const t = await openPage({ keys: [{ ...inUse, mode: '0600' }], asNobody: true, locale: 'en-US' });
  try {
    await t.idle();
    const status = await t.status();
    check(status.includes('cannot be opened: permission denied'), `the status says why: ${status}`);
    check(status.includes('70-keyadmin-usb-key.rules') && status.includes('udevadm'), `and names the udev rule: ${status}`);
    const state = await t.page.textContent('#key-list');
    check(state.includes('permission denied'), `the list says it too: ${state}`);
    await t.screenshot('permission-denied');
  } finally {
    await t.close();
  }
};

// The browser's own chooser, in a visible Chromium under Xvfb, with no
// policy granting the key: "Connect a key" opens it, filtered to the key;
// the key's row and "Connect" are clicked as a user clicks them (xdotool,
// at their place in Chromium's bubble below the address bar).
const kChooserRow = [212, 175];
const kChooserConnect = [503, 510];

cases['chooser'] = async () => {
  const x = await startXvfb();
  const env = { ...process.env, DISPLAY: x.display };
  const xdotool = (...args) => execFileSync('xdotool', args, { env, encoding: 'utf8' });
  let t;
  try {
    t = await openPage({ keys: [inUse], policy: false, headless: false, display: x.display });
    await t.idle();
    checkEqual(await t.page.$$eval('#key-list li', (items) => items.length), 0, 'no key granted before');
    await t.page.click('#connect');
    await t.page.waitForTimeout(1500);
    const window = xdotool('search', '--onlyvisible', '--name', 'Chromium').trim().split('\n')[0];
    const geometry = Object.fromEntries(
      xdotool('getwindowgeometry', '--shell', window)
        .trim()
        .split('\n')
        .map((line) => line.split('='))
        .map(([name, value]) => [name, Number(value)]),
    );
    const click = ([dx, dy]) => xdotool('mousemove', String(geometry.X + dx), String(geometry.Y + dy), 'click', '1');
    if (paths.screenshots) execFileSync('import', ['-window', 'root', path.join(paths.screenshots, 'chooser-1-open.png')], { env });
    click(kChooserRow);
    await t.page.waitForTimeout(300);
    click(kChooserConnect);
    await t.page.waitForFunction(() => document.querySelector('#serial-line').textContent === '4B 41 D0 01', null, { timeout: 15000 });
    await t.idle();
    checkEqual(await t.status(), '인증키가 연결되어 있습니다.\r\n', 'the chosen key taken up');
    if (paths.screenshots) execFileSync('import', ['-window', 'root', path.join(paths.screenshots, 'chooser-2-connected.png')], { env });
  } finally {
    if (t) await t.close();
    x.stop();
  }
};

// Every cell of the new key password echoed, and then the key fell silent:
// the page says the change took effect and the key did not answer after it,
// and the key holds the new key password; plugged back, the page finds the
// new key password in force.
cases['silent-after-key-password-change'] = async () => {
  const t = await openPage({ keys: [{ ...inUse, silentAfter: kLookExchanges + kChangeExchangesBeforeWrites + 12 }] });
  try {
    await t.idle();
    await t.submit('change-key', { current: '1234', 'new-key': '5678', confirm: '5678' });
    const said = await t.notice();
    checkEqual(said.text, '인증키 암호가 변경 되었습니다.\r\n변경 후 인증키가 응답하지 않습니다. 인증키를 다시 꽂고 새로고침 버튼을 누르십시오.', 'the page said');
    await t.screenshot('silent-after-change');
    await t.closeNotice();
    await t.idle();
    check(t.field(0, 'keyPassword').equals(fieldBytes(ascii('5678'))), 'the key holds the new key password');
    await t.control('unplug 0');
    await t.page.waitForFunction(() => document.querySelectorAll('#key-list li').length === 0, null, { timeout: 15000 });
    await t.idle();
    await t.control('plug 0');
    checkEqual((await t.notice()).text, '중단되었던 인증키 암호 변경이 완료되어 있습니다. 새 인증키 암호로 사용할 수 있습니다.', 'the repair found the new key password');
    await t.closeNotice();
  } finally {
    await t.close();
  }
};
