// The page as scripts/web shows it without a display: opened in headless
// Chromium with the given virtual keys, granted by the managed policy, and
// saved as a screenshot once the page has looked at its keys.
//   node page_snapshot.mjs OUT.png KEYFILE [--second-key]
import { openPage } from './page_harness.mjs';

const [out, keyFile, ...more] = process.argv.slice(2);
const keys = [{ fromFile: keyFile }];
if (more.includes('--second-key'))
  keys.push({ serial: '4b41d002', keyPassword: '5678', loginId: 'second-user', loginPassword: 'second-pass' });
const t = await openPage({ keys, origin: 'file' });
try {
  await t.idle();
  await t.page.screenshot({ path: out, fullPage: true });
  console.log(`the page: ${await t.status()}`.trim());
} finally {
  await t.close();
}
