// The listing of init --each: one entry per key, as lines, as CSV, or as a
// JSON document written as it goes. An entry is written in two parts: the
// key (its serial number, or its device when it did not answer, and with
// --random its password) before the key is changed, so that no key ever
// takes a password that was not written out first; its outcome after.
#pragma once

#include <cstdint>
#include <string>

#include "commands.h"
#include "key_choice.h"

enum class KeyResult : std::uint8_t { Set, Skipped, Failed };

struct ListingCounts {
    unsigned set = 0, skipped = 0, failed = 0;
};

struct Listing {
    PasswordListing format;
    bool entries = false;  // an entry was begun (JSON: the next is after a comma)
    bool written = true;   // every part so far was written
};

// The CSV header, or the JSON document's head.
void BeginListing(Listing& listing);

// The first part of a key's entry; false when it could not be written (the
// key must then not be changed).
bool BeginEntry(Listing& listing, const KeyFacts& key, const TextField* password);

// The rest: the outcome, and what to tell of it.
void EndEntry(Listing& listing, const KeyFacts& key, KeyResult result, const std::string& detail);

// The summary (the JSON document's end); false when anything of the listing
// could not be written.
bool EndListing(Listing& listing, ExitCode code, const ListingCounts& counts);
