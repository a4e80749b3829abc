// Puts the page together as one file, keyadmin.html, that loads nothing
// from anywhere: the template with its style, the core (emscripten's
// JavaScript and its WebAssembly, base64) and the page's modules in one
// inline module script, the window's banner as a PNG data URL, and a
// Content-Security-Policy that allows exactly these inline parts and no
// connection. Refuses a page over the size limit.
//
//   node build_page.mjs OUT TEMPLATE STYLE BANNER.bmp CORE.js CORE.wasm MODULE.js...
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { deflateSync } from 'node:zlib';

const kMaxPageBytes = 150 * 1024;

const [out, template, style, banner, coreJs, coreWasm, ...modules] = process.argv.slice(2);

function crc32(bytes) {
  let crc = ~0;
  for (const byte of bytes) {
    crc ^= byte;
    for (let k = 0; k < 8; ++k) crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
  }
  return ~crc >>> 0;
}

function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'latin1');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}

// A 24-bit bottom-up BMP as a PNG.
function pngOfBmp(bmp) {
  const offset = bmp.readUInt32LE(10);
  const width = bmp.readInt32LE(18);
  const height = bmp.readInt32LE(22);
  if (bmp.readUInt16LE(28) !== 24) throw new Error(`${banner}: not a 24-bit bitmap`);
  const stride = Math.ceil((width * 3) / 4) * 4;
  const rows = Buffer.alloc(height * (1 + width * 3));
  for (let y = 0; y < height; ++y) {
    const from = offset + (height - 1 - y) * stride;
    const to = y * (1 + width * 3);
    for (let x = 0; x < width; ++x) {
      rows[to + 1 + 3 * x] = bmp[from + 3 * x + 2];
      rows[to + 2 + 3 * x] = bmp[from + 3 * x + 1];
      rows[to + 3 + 3 * x] = bmp[from + 3 * x];
    }
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 2, 0, 0, 0], 8);
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', deflateSync(rows, { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

// The page's modules as one module: each one's imports are the others'
// exports, all in one scope.
function joinedModules() {
  return modules
    .map((file) =>
      readFileSync(file, 'utf8')
        .replace(/^import .*;\n/gm, '')
        .replace(/^export /gm, ''),
    )
    .join('\n');
}

const sha256 = (text) => `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;

const styleText = readFileSync(style, 'utf8');
const script = `${readFileSync(coreJs, 'utf8')}\n${joinedModules()}`;
const csp = [
  "default-src 'none'",
  `script-src ${sha256(script)} 'wasm-unsafe-eval'`,
  `style-src ${sha256(styleText)}`,
  'img-src data:',
  "connect-src 'none'",
  "base-uri 'none'",
  "form-action 'none'",
].join('; ');

const page = readFileSync(template, 'utf8')
  .replace('@CSP@', () => csp)
  .replace('@STYLE@', () => styleText)
  .replace('@BANNER@', () => `data:image/png;base64,${pngOfBmp(readFileSync(banner)).toString('base64')}`)
  .replace('@WASM@', () => readFileSync(coreWasm).toString('base64'))
  .replace('@SCRIPT@', () => script);

const size = Buffer.byteLength(page, 'utf8');
if (size > kMaxPageBytes) {
  console.error(`${out}: ${size} bytes, over the limit of ${kMaxPageBytes}`);
  process.exit(1);
}
writeFileSync(out, page);
console.log(`${out}: ${size} bytes`);
