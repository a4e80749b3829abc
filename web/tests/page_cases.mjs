// The browser tests of the page, one case each (run_page_test.mjs runs one
// by name; ctest runs each as a test of its own). Outcomes are checked
// against what the virtual key holds: its cells, read from its key file
// after each change.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { execFileSync } from 'node:child_process';
import { check, checkEqual, fieldBytes, isRoot, kSkipped, openPage, startXvfb } from './page_harness.mjs';

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
