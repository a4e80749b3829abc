// The page's view: its texts in the language in use, the list of keys, the
// information and status of the chosen key, the password form and the
// dialogs. The core presents its outcomes through the functions of
// `pageView` (keyadmin's window operations, web/page_window_ops.cpp); the
// view decides nothing about them.

const kFields = ['current', 'new-login', 'new-key', 'confirm']; // in the core's PasswordEdit order

// What each form shows, as the window's panel modes: the fields and buttons
// enabled, and where the focus goes.
const kForms = {
  show: { heading: 'showLogin', current: true, newLogin: null, newKey: false, confirm: false, ok: true },
  changeLogin: { heading: 'changeLogin', current: true, newLogin: true, newKey: null, confirm: false, ok: false },
  changeKey: { heading: 'changeKey', current: true, newLogin: null, newKey: true, confirm: true, ok: false },
  firstKey: { heading: 'firstKey', current: false, newLogin: null, newKey: true, confirm: true, ok: false },
};

const byId = (id) => document.getElementById(id);

export function createView(texts) {
  let keyStatus = 0;
  let form = null;
  let noticeClosed = null;

  function text(name) {
    return texts.current()[name] || '';
  }

  function applyTexts() {
    document.documentElement.lang = texts.language();
    for (const element of document.querySelectorAll('[data-text]'))
      element.textContent = text(element.dataset.text);
    for (const element of document.querySelectorAll('[data-label]'))
      element.setAttribute('aria-label', text(element.dataset.label));
    byId('language').lang = texts.language() === 'ko' ? 'en' : 'ko';
    if (form) byId('form-heading').textContent = text(kForms[form].heading);
    for (const name of kFields) countBytes(byId(name));
  }

  function fieldOf(edit) {
    return byId(kFields[edit]);
  }

  // How many of the 11 bytes are left, or why the text is refused.
  function countBytes(input) {
    const counter = byId(`${input.id}-bytes`);
    const typed = texts.typed(input.value);
    if (typed.bytes) typed.bytes.fill(0);
    input.setAttribute('aria-invalid', typed.refused ? 'true' : 'false');
    counter.textContent = typed.refused ? text(typed.refused) : text('bytesLeft').replace('%s', typed.left);
    return typed.refused;
  }

  function setForm(name) {
    form = name;
    const shape = kForms[name];
    byId('password-form').hidden = false;
    byId('form-heading').textContent = text(shape.heading);
    byId('new-login-field').hidden = shape.newLogin === null;
    byId('new-key-field').hidden = shape.newKey === null;
    byId('current').disabled = !shape.current;
    byId('new-login').disabled = !shape.newLogin;
    byId('new-key').disabled = !shape.newKey;
    byId('confirm').disabled = !shape.confirm;
    for (const name of ['new-login', 'new-key', 'confirm']) byId(name).value = '';
    if (!shape.current) byId('current').value = '';
    byId('ok').disabled = !shape.ok;
    byId('change').disabled = shape.ok;
    byId('form-error').textContent = '';
    for (const field of kFields) countBytes(byId(field));
    const typedBefore = byId('current').value !== '';
    const next = shape.newLogin ? 'new-login' : 'new-key';
    byId(!shape.current || (typedBefore && name !== 'show') ? next : 'current').focus();
  }

  function closeForm(emptyFields) {
    if (emptyFields) for (const name of kFields) byId(name).value = '';
    byId('password-form').hidden = true;
    form = null;
  }

  // The dialog the core waits on; its text is erased when it closes.
  function showDialog(caption, message, warning) {
    const dialog = byId('notice');
    byId('notice-caption').textContent = caption;
    byId('notice-text').textContent = message;
    dialog.classList.toggle('warning', warning);
    dialog.showModal();
    byId('notice-close').focus();
    return new Promise((resolve) => {
      noticeClosed = resolve;
    });
  }

  byId('notice').addEventListener('close', () => {
    byId('notice-caption').textContent = '';
    byId('notice-text').textContent = '';
    const resolve = noticeClosed;
    noticeClosed = null;
    if (resolve) resolve();
  });

  for (const name of kFields) byId(name).addEventListener('input', (event) => countBytes(event.target));

  return {
    text,
    applyTexts,
    setForm,
    closeForm,
    form: () => form,
    keyStatus: () => keyStatus,

    // The enabled fields of the form: [PasswordEdit, input].
    enabledFields() {
      return kFields.map((name, edit) => [edit, byId(name)]).filter(([, input]) => !input.disabled && !input.closest('[hidden]'));
    },

    // Refuses the form when a field's text does not fit; says why.
    refusal() {
      for (const [, input] of this.enabledFields()) {
        const refused = countBytes(input);
        if (refused) {
          byId('form-error').textContent = text(refused);
          input.focus();
          return refused;
        }
      }
      byId('form-error').textContent = '';
      return null;
    },

    emptyFields() {
      for (const name of kFields) byId(name).value = '';
      for (const name of kFields) countBytes(byId(name));
    },

    busy(on) {
      document.body.setAttribute('aria-busy', on ? 'true' : 'false');
      byId('key-choice').disabled = on;
    },

    noWebHid(korean, english) {
      byId('no-webhid').hidden = false;
      byId('no-webhid-ko').textContent = korean;
      byId('no-webhid-en').textContent = english;
      for (const id of ['connect', 'refresh', 'show-login', 'change-login', 'change-key']) byId(id).disabled = true;
    },

    // The keys as the core last looked at them.
    showKeys(keys, onChoose) {
      const list = byId('key-list');
      list.replaceChildren();
      byId('no-keys').hidden = keys.length > 0;
      keys.forEach((key, i) => {
        const item = document.createElement('li');
        const label = document.createElement('label');
        const radio = document.createElement('input');
        radio.type = 'radio';
        radio.name = 'key';
        radio.value = String(i);
        radio.checked = key.chosen;
        radio.disabled = key.serial === '';
        radio.addEventListener('change', () => onChoose(i));
        const serial = document.createElement('span');
        serial.className = 'serial';
        serial.textContent = key.serial || '?? ?? ?? ??';
        const state = document.createElement('span');
        state.textContent = key.state;
        const loginId = document.createElement('span');
        loginId.textContent = key.loginId;
        label.append(radio, serial, state, loginId);
        item.append(label);
        list.append(item);
      });
    },

    showIdentity(serialLine, loginId) {
      byId('serial-line').textContent = serialLine;
      byId('login-id').textContent = loginId;
    },

    // For the core.
    pageView: {
      showStatus(message) {
        byId('status').textContent = message;
      },
      showNotice(caption, message, warning) {
        return showDialog(caption, message, warning);
      },
      showLoginPassword(caption, format, bytes) {
        const shown = showDialog(caption, format.replace('%s', texts.decode(bytes)), false);
        bytes.fill(0);
        return shown;
      },
      emptyField(edit) {
        fieldOf(edit).value = '';
        countBytes(fieldOf(edit));
      },
      enableCommands(showLogin, changeLogin, changeKey, status) {
        keyStatus = status;
        byId('show-login').disabled = !showLogin;
        byId('change-login').disabled = !changeLogin;
        byId('change-key').disabled = !changeKey;
      },
    },
  };
}
