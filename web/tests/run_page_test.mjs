// Runs one browser test of the page by name (`--list` names them all).
//   node run_page_test.mjs CASE
// Needs root (the managed policy goes under /etc/chromium); elsewhere the
// test is skipped (exit 77). Paths come from the environment, as ctest sets
// them: KEYADMIN_PAGE, KEYADMIN_VIRTUAL_HIDRAW, KEYADMIN_CLI and
// KEYADMIN_SCREENSHOTS.
import { cases } from './page_cases.mjs';
import { isRoot, kSkipped, paths } from './page_harness.mjs';

const name = process.argv[2];
if (name === '--list') {
  console.log(Object.keys(cases).join('\n'));
  process.exit(0);
}
if (!cases[name]) {
  console.error(`no test named ${name}`);
  process.exit(2);
}
if (!isRoot()) {
  console.log(`${name}: skipped: the managed policy that grants the key needs root`);
  process.exit(kSkipped);
}
for (const [what, file] of Object.entries({ page: paths.page, virtualHidraw: paths.virtualHidraw, cli: paths.cli }))
  if (!file) {
    console.error(`${name}: KEYADMIN_${what} is not set`);
    process.exit(2);
  }

const started = Date.now();
try {
  const outcome = await cases[name]();
  if (outcome === kSkipped) process.exit(kSkipped);
  console.log(`${name}: passed in ${Date.now() - started} ms`);
  process.exit(0);
} catch (error) {
  console.error(`${name}: FAILED: ${error.stack || error}`);
  process.exit(1);
}
