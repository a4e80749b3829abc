// The page's texts in Korean and English. Korean is the window's wherever
// the window has the text (keyadmin/admin_texts.h, compiled as UTF-8 here),
// English the command line's wherever it has one (cli/messages.h); the
// page's own texts (its buttons, the browser without WebHID) sit beside
// them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "key_identity.h"
#include "key_link.h"

enum class PageLanguage : std::uint8_t { Korean, English };

void UsePageLanguage(PageLanguage language);

// The page's own text called `name` (a data-text attribute of the page), in
// the language in use; "" for a name it does not know.
std::string PageText(std::string_view name);

// One of the window's texts (a status, a message, a caption) as the page
// shows it: the text itself in Korean, its English otherwise, each "%s" of
// the English replaced by `serial`.
std::string WindowText(const char* windowText, std::string_view serial);

// The serial number as the window shows it: "4B 41 D0 01".
std::string SerialLine(const SerialNumber& serial);

// Why a key could not be looked at, in the language in use; "" for none.
// `linux` adds the udev rule that gives the user at the computer the key.
std::string FailureText(DiscoveryFailure failure, std::string_view path, bool linux);

// The state of a listed key, in a word or two.
std::string StateText(KeyStatus status, DiscoveryFailure failure);

// Another key answered where the chosen one was expected.
std::string OtherKeyText(std::string_view expected, std::string_view found);

// The key the user chose is not attached, others are.
std::string ChosenKeyGoneText(std::string_view serial);
