// The JSON document a command writes with --json: one object on standard
// output. Texts from the key are given converted from code page 949 and as
// the key's raw bytes in hex, so that any bytes the key holds are shown.
#pragma once

#include <nlohmann/json.hpp>

#include "key_choice.h"

using JsonDocument = nlohmann::ordered_json;

// A key's facts: device, serial, state, login ID (text and hex).
JsonDocument KeyFactsJson(const KeyFacts& key);

// A text field of the key as "<name>" (text) and "<name>Hex" (raw bytes).
void PutField(JsonDocument& object, const char* name, const TextField& field);

// Writes the document, indented, and a line end; then wipes every text in
// it, and every buffer the serializer escaped them in. False when the
// output could not be written.
bool WriteJsonDocument(JsonDocument& document);
