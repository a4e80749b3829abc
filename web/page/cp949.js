// Code page 949 (Unified Hangul Code), the window's code page, in the page.
// The browser decodes it (TextDecoder's 'euc-kr' is the Encoding Standard's
// windows-949) but writes only UTF-8, so the encoder is the decoder's
// inverse, built once: every lead and trail byte pair decoded in one go.

const kMaxTypedBytes = 11;
const cp949Decoder = new TextDecoder('euc-kr');
let cp949Encoding = null; // code point -> two bytes

function buildEncoding() {
  const pairs = [];
  for (let lead = 0x81; lead <= 0xfe; ++lead)
    for (let trail = 0x41; trail <= 0xfe; ++trail) pairs.push(lead, trail, 0x0a);
  // A pair that is no character decodes to U+FFFD (and gives back an ASCII
  // trail byte), so each line holds one character exactly when the pair is one.
  const lines = cp949Decoder.decode(new Uint8Array(pairs)).split('\n');
  const encoding = new Map();
  for (let i = 0; i < lines.length - 1; ++i) {
    const line = lines[i];
    if (line.length !== 1 || line === '\ufffd') continue;
    const code = line.codePointAt(0);
    if (!encoding.has(code)) encoding.set(code, [pairs[3 * i], pairs[3 * i + 1]]);
  }
  return encoding;
}

// The text in code page 949: {bytes}, or {bytes: null} when a character has
// no code there. The caller wipes the bytes once they have served.
export function encodeCp949(text) {
  if (!cp949Encoding) cp949Encoding = buildEncoding();
  const bytes = [];
  for (const character of text) {
    const code = character.codePointAt(0);
    if (code < 0x80) {
      bytes.push(code);
      continue;
    }
    const pair = cp949Encoding.get(code);
    if (!pair) {
      bytes.fill(0);
      return { bytes: null };
    }
    bytes.push(pair[0], pair[1]);
  }
  const encoded = Uint8Array.from(bytes);
  bytes.fill(0);
  return { bytes: encoded };
}

// What a typed text is worth to the key: its bytes, how many of the 11 are
// left, and why it is refused ('tooLong', 'notCp949'), if it is.
export function typedText(text) {
  const { bytes } = encodeCp949(text);
  if (!bytes) return { bytes: null, left: null, refused: 'notCp949' };
  const left = kMaxTypedBytes - bytes.length;
  return { bytes, left, refused: left < 0 ? 'tooLong' : null };
}

// Bytes from the key (up to the first zero) as text.
export function decodeCp949(bytes) {
  const end = bytes.indexOf(0);
  return cp949Decoder.decode(end < 0 ? bytes : bytes.subarray(0, end));
}
