// The window's own texts as the tests expect them, in code page 949. Kept
// in a source of their own, compiled to code page 949 (the texts of the key
// administration's messages come from the host tests' expected_texts.h).
#pragma once

namespace expected {

extern const char kFontFace[];

// Menu 106.
extern const char kMenuPopup[];
extern const char kMenuView[];
extern const char kMenuChangeLogin[];
extern const char kMenuChangeKey[];
extern const char kMenuExit[];

// Buttons.
extern const char kRefreshButton[];
extern const char kOkButton[];
extern const char kChangeButton[];
extern const char kCancelButton[];

// The painted identity lines and form labels.
extern const char kSerialLinePrefix[];  // up to the first serial digit
extern const char kSerialLineNoKey[];
extern const char kLoginLinePrefix[];  // up to the login ID
extern const char kLoginLineNoKey[];
extern const char kSiteLinePrefix[];  // up to the web address
extern const char kKeyPasswordLabel[];
extern const char kNewPasswordLabel[];
extern const char kConfirmLabel[];

}  // namespace expected
