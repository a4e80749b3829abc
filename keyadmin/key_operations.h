// The key administration's operations as outcomes, for any front end (the
// window, the command line): the status and identity of a key, unlocking
// it to read its login password, and the changes of its passwords.
//
// Each operation opens the key again (OpenKey: the chosen key, or the first
// one found; with a serial number expected, below), stops at the first
// exchange that gets no reply, settles a pending key-password repair for
// that key first (below), and wipes the key link's report buffers when it
// ends. Nothing here reaches a window or a terminal: each front end presents
// the outcomes in its own way.
//
// A front end that acts on a key chosen by its serial number (keyadmin-cli,
// the page; not the window, which takes the first key found) asks the key
// link for that key and no other (ExpectKeySerial, key_link.h):
//
//   ExpectAnyKey();                    // choosing: any key may answer
//   ChooseKeyPath(path);               // one of ListKeyPaths()
//   SerialNumber serial;
//   if (!FindKeySerial(serial)) ...    // none: keyLink.discoveryFailure says why
//   ...                                // the one the user named? the only one?
//   ExpectKeySerial(serial);           // from now on this key and no other
//   ...                                // ask the user (it may take minutes)
//   UnlockLoginPassword(...);          // or ChangeKeyField(...), ReadKeyStatus(...)
//   ...                                // NotFound: keyLink.discoveryFailure says why
//   CloseKey();
//
// A front end that knows the serial number beforehand may expect it before
// FindKeySerial, which then gives false, with OtherKey, for another key.
//
// FindKeySerial costs four exchanges and leaves the key open. The operation
// then goes on over that connection when it still answers its presence test
// (serial byte 1, one exchange): a handle that answers is the same key. A
// handle that fails at once (the key was pulled out) makes the operation
// find the key again, and the key link reads the serial number of whatever
// it finds there before anything else. So does every exchange that finds
// the key again after a lost link, and an operation that starts with the
// key closed (the four exchanges of the check in place of the presence
// test). Another key there is closed again, nothing else read from it or
// written to it: the operation ends as NotFound, with
// keyLink.discoveryFailure OtherKey, keyLink.keySerial the serial number
// found and keyLink.expectedSerial the one expected; no repair is carried
// out on it. With one key, choosing and then the display cost 4 + 1 + 24
// exchanges, choosing and a change 4 + 1 + 25, where the window's display
// costs 25 and its change 26.
//
// With a serial number expected, each operation knows the key's serial
// number: a change that is interrupted keeps its repair under it, and a
// repair pending for it is settled first whatever the operation. A front
// end that waits for a key to come back for its repair can expect
// PendingRepairSerial() and read the status of each key that arrives.

// Typed texts are asked for through TakeText functions, and only when the
// operation needs them (after the key has answered), so that a front end
// that reads its edits late reads none for a missing key. Texts go to and
// come from the password buffers (passwordBuffers); the front end wipes them
// (WipePasswordBuffers) once it has presented the outcome.
#pragma once

#include <array>
#include <cstdint>

#include "key_identity.h"
#include "password_buffers.h"

// The key model generation this program opens.
inline constexpr std::uint8_t kKeyGeneration = 8;

// Fills `text` with a typed text: at most 11 bytes, zeros after it.
using TakeText = void (*)(TextField& text);

// A key-password change that was interrupted leaves the field new bytes up
// to the cell that failed and old bytes from it on: neither password
// unlocks the key. The program then keeps, in memory only, the key's serial
// number, the old field and the new one, and the next operation that finds
// that key puts it right before it goes on: a field that holds the new bytes
// settles it; one that the interrupted writes could have left gets the old
// bytes back, every echo checked. One repair is pending at a time.
//
// The serial number kept is the one the operation read (with a serial
// number expected, or when a repair was already pending); otherwise the one
// that ReadKeyStatus last put into keyIdentity (the window's change reads no
// serial number when nothing is pending).
// A key with that serial number whose field the interrupted writes could not
// have left is not written to: it is another key, or its key password was
// set since.
enum class RepairOutcome : std::uint8_t {
    None,                 // nothing pending for this key (another key's repair stays pending,
                          // as does one whose field the interrupted writes could not have left)
    NewKeyPasswordHolds,  // the interrupted change had taken effect after all
    OldKeyPasswordBack,   // the old field is back: the old key password unlocks the key again
    FactoryInitialBack,   // an interrupted first key password: the key is factory-initial again
    NotRepaired,          // reading the field, or putting the old one back, was refused or
                          // interrupted: still pending
};

// Opens the key (the chosen path, or the first key found) and reads its
// serial number, serial byte 1 doubling as the presence test: four
// exchanges (with a serial number expected, those of the check). The key
// stays open, so that the operation that follows goes on over this
// connection. False when no key answered, with keyLink.discoveryFailure
// saying why (None: it was found but did not answer); `serial` is then
// undefined.
bool FindKeySerial(SerialNumber& serial);

// Whether a repair is pending, and for which key.
bool KeyPasswordRepairPending();
SerialNumber PendingRepairSerial();

// Wipes a pending repair without carrying it out (the program ends).
void ForgetKeyPasswordRepair();

// The status and identity of the key.
struct StatusResult {
    KeyStatus status;  // NotFound unless every read succeeded
    RepairOutcome repair;
};

// Opens the key and, when it answers, reads its serial number, settles a
// repair pending for it, reads its login ID and whether it is
// factory-initial. `identity` gets status, serial and login ID only when
// every read succeeded; otherwise only its status becomes NotFound.
StatusResult ReadKeyStatus(KeyIdentity& identity);

// Unlocking the key with a typed key password.
enum class UnlockOutcome : std::uint8_t { Unlocked, NotFound, WrongKeyPassword };

struct UnlockResult {
    UnlockOutcome outcome;
    RepairOutcome repair;
};

// Reads the stored key password, compares the typed one with it and, when
// they are the same, reads the login password into
// passwordBuffers.loginPassword.
UnlockResult UnlockLoginPassword(TakeText typedKeyPassword);

// Changing a password.
enum class PasswordField : std::uint8_t { LoginPassword, KeyPassword };

// How a key password change treats a factory-initial key (cell 40 holds
// 0x0D), which has no key password to type.
enum class FirstKeyPassword : std::uint8_t {
    Allowed,  // a factory-initial key takes its first key password (the window)
    Refused,  // only a key with a key password is changed
    Only,     // only a factory-initial key takes one; any other key is left alone
};

struct ChangeRequest {
    PasswordField field;
    FirstKeyPassword firstKeyPassword;  // key password only
    TakeText newPassword;
    TakeText confirmation;        // key password only: the new one typed again
    TakeText currentKeyPassword;  // not asked for with FirstKeyPassword::Only
    // Asked once every text is taken, just before the first write: false
    // ends the change with nothing written (Stopped). None: the change goes
    // on (the window).
    bool (*mayWrite)() = nullptr;
};

enum class ChangeOutcome : std::uint8_t {
    Changed,                // every cell echoed its byte and the key answered after
    ChangedKeySilentAfter,  // every cell echoed, but the key did not answer after:
                            // the new password is on the key (a key password's
                            // repair finds it there at the next contact)
    NotFound,
    ConfirmationMismatch,  // found before any cell was read
    WrongKeyPassword,
    WrongKeyState,  // FirstKeyPassword::Only on a key with a key password, or
                    // Refused on a factory-initial key; nothing written
    RepairPending,  // a key password change while a repair is still pending (this
                    // key's, NotRepaired, or another key's): nothing asked for or
                    // written, so that the pending repair keeps its old field
    Refused,        // a cell echoed another byte; the writes stopped there (a key
                    // password gets its old bytes back: Old when every one
                    // echoed, or when the field read back holds them)
    Interrupted,    // the key stopped answering during the writes, or while a
                    // key password's old bytes were put back
    Stopped,        // mayWrite said no: nothing written
};

// What the changed field holds afterwards, as far as the program knows.
enum class FieldAfter : std::uint8_t {
    Old,  // nothing was written, or the old bytes were all put back
    New,
    Mixed,  // new bytes, then old ones: a login password must be set again; a
            // key password waits for its repair (KeyPasswordRepairPending())
};
// A key password that is not Old afterwards (Mixed, or New after
// ChangedKeySilentAfter) leaves a pending repair.

struct ChangeResult {
    ChangeOutcome outcome;
    FieldAfter after;
    bool firstKeyPassword;  // the key was factory-initial: the change wrote its first
                            // key password (taken when the outcome is Changed)
    RepairOutcome repair;   // of an earlier interrupted change, settled first
};

// Changes the field. A key password: the new one and its confirmation are
// asked for first and compared before any cell is read; then the stored key
// password is read and the current one asked for (not with Only, nor with
// Refused on a factory-initial key). A login password: the current key
// password is asked for after the stored one is read, the new login
// password once they matched.
ChangeResult ChangeKeyField(const ChangeRequest& request);
