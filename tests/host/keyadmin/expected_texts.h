// The texts the tests expect, in code page 949. They live in a source of
// their own, compiled to code page 949, because the standard headers that
// the other test sources include do not all convert to it.
#pragma once

namespace expected {

// Status box.
extern const char kNotFoundStatus[];
extern const char kAttachedStatus[];
extern const char kInitialStatus[];

// Message boxes.
extern const char kViewCaption[];
extern const char kKeyCaption[];
extern const char kLoginCaption[];
extern const char kNotFound[];
extern const char kWrongPassword[];
extern const char kShownBefore[];  // the login-password text around the password
extern const char kShownAfter[];
extern const char kMismatch[];
extern const char kChangeFailed[];
extern const char kLoginChanged[];
extern const char kKeyChanged[];

// A change that met a fault, and the repair of an interrupted key password.
extern const char kLoginChangeFailed[];     // the login password must be set again
extern const char kKeyChangeInterrupted[];  // replug, refresh: the old one comes back
extern const char kKeyChangeNotRepaired[];  // the restore was refused
extern const char kLoginChangedKeySilent[];
extern const char kKeyChangedKeySilent[];
extern const char kOtherKeyRepairPending[];
extern const char kRepairNewHolds[];
extern const char kRepairOldBack[];
extern const char kRepairFactoryBack[];
extern const char kNotRepaired[];

// Hangul typed into the edits.
extern const char kGaNaDaRaMa[];     // 10 bytes
extern const char kGaNaDaRaMaBa[];   // 12 bytes
extern const char kAGaNaDaRaMa[];    // 11 bytes
extern const char kAGaNaDaRaMaBa[];  // 13 bytes
extern const char kTtomTimes5[];     // 10 bytes, trail bytes 'c'
extern const char kTtomTimes6[];     // 12 bytes

}  // namespace expected
