// The page's start and its wiring: the core (the key link and the key
// administration in WebAssembly, created by createKeyCore), the device
// layer, the view and the user's commands. Every call into the core that
// reaches a key runs in one queue, one at a time, as the core requires.

const kVendorId = 0x10f7;
const kProductId = 0x81e1;
const kNewPasswordEdit = { changeLogin: 1, changeKey: 2, firstKey: 2 };


function coreBinary() {
  const text = byId('core-wasm').textContent.trim();
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

async function startPage() {
  const tables = { ko: {}, en: {} };
  let language = (navigator.languages && navigator.languages[0]) || navigator.language || '';
  language = language.toLowerCase().startsWith('ko') ? 'ko' : 'en';
  const texts = {
    current: () => tables[language],
    language: () => language,
    typed: typedText,
    decode: decodeCp949,
  };
  const view = createView(texts);

  let queue = Promise.resolve();
  let core = null;

  // The core's text of a NUL-terminated string in its memory.
  const textAt = (pointer) => core.UTF8ToString(pointer);
  const bytesAt = (pointer) => {
    const bytes = core.HEAPU8.subarray(pointer, pointer + 16);
    return decodeCp949(bytes);
  };

  function render() {
    const keys = [];
    for (let i = 0; i < core._PageKeyCount(); ++i)
      keys.push({
        serial: textAt(core._PageKeySerial(i)),
        state: textAt(core._PageKeyState(i)),
        loginId: bytesAt(core._PageKeyLoginId(i)),
        chosen: core._PageKeyChosen(i) !== 0,
      });
    view.showKeys(keys, (i) => run(() => core._PageChooseKey(i)));
    view.showIdentity(textAt(core._PageSerialLine()), bytesAt(core._PageLoginId()));
  }

  // The page is busy while a task waits or runs.
  let pending = 0;
  function run(task) {
    ++pending;
    view.busy(true);
    queue = queue.then(async () => {
      try {
        await task();
      } catch (error) {
        view.pageView.showStatus(String(error && error.message ? error.message : error));
      } finally {
        render();
        if (--pending === 0) view.busy(false);
      }
    });
    return queue;
  }

  const lookAtKeys = () => run(() => core.ccall('PageLookAtKeys', null, [], [], { async: true }));

  function useLanguage(chosen) {
    language = chosen;
    core._PageUseLanguage(language === 'ko' ? 1 : 0);
    view.applyTexts();
    render();
  }

  core = await createKeyCore({
    wasmBinary: coreBinary(),
    pageView: view.pageView,
    print: () => {},
    printErr: () => {},
  });
  // Both languages' texts, read once: the switch then needs no call into a
  // core that may be busy.
  for (const [name, korean] of [['ko', 1], ['en', 0]]) {
    core._PageUseLanguage(korean);
    for (const element of document.querySelectorAll('[data-text],[data-label]')) {
      for (const key of [element.dataset.text, element.dataset.label].filter(Boolean)) {
        const name8 = core.ccall('PageTextNamed', 'string', ['string'], [key]);
        tables[name][key] = name8;
      }
    }
    for (const key of ['bytesLeft', 'tooLong', 'notCp949', 'firstKey', 'chooserFailed', 'noWebHid'])
      tables[name][key] = core.ccall('PageTextNamed', 'string', ['string'], [key]);
  }
  useLanguage(language);
  byId('language').addEventListener('click', () => useLanguage(language === 'ko' ? 'en' : 'ko'));

  if (!('hid' in navigator) || !window.isSecureContext) {
    view.noWebHid(tables.ko.noWebHid, tables.en.noWebHid);
    return;
  }
  const platform = (navigator.userAgentData && navigator.userAgentData.platform) || navigator.platform || '';
  core._PageOnLinux(/linux/i.test(platform) && !/android/i.test(platform) ? 1 : 0);

  const devices = createKeyDevices(navigator.hid, lookAtKeys);
  core.keyDevices = devices;

  byId('connect').addEventListener('click', async () => {
    try {
      if (await devices.request(kVendorId, kProductId)) lookAtKeys();
      else view.pageView.showStatus(view.text('chooserFailed'));
    } catch (error) {
      view.pageView.showStatus(view.text('chooserFailed'));
    }
  });
  byId('refresh').addEventListener('click', () => {
    view.closeForm(false);
    lookAtKeys();
  });
  byId('show-login').addEventListener('click', () => view.setForm('show'));
  byId('change-login').addEventListener('click', () => view.setForm('changeLogin'));
  byId('change-key').addEventListener('click', () => view.setForm(view.keyStatus() === 2 ? 'firstKey' : 'changeKey'));
  byId('cancel').addEventListener('click', () => view.closeForm(true));
  byId('password-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const form = view.form();
    const showing = form === 'show';
    const submitter = event.submitter ? event.submitter.id : showing ? 'ok' : 'change';
    if ((submitter === 'ok') !== showing || view.refusal()) return;
    // The fields are emptied as soon as their text is taken.
    const taken = view.enabledFields().map(([edit, input]) => [edit, texts.typed(input.value).bytes]);
    view.emptyFields();
    run(async () => {
      for (const [edit, bytes] of taken) {
        const at = core._PageTypedText(edit);
        core.HEAPU8.fill(0, at, at + 16);
        core.HEAPU8.set(bytes, at);
        bytes.fill(0);
      }
      if (showing) await core.ccall('PageShowLoginPassword', null, [], [], { async: true });
      else await core.ccall('PageChangePassword', null, ['number'], [kNewPasswordEdit[form]], { async: true });
    });
  });

  await devices.start();
  lookAtKeys();
}

startPage();
