// What a command ends with, and how it is written: lines for a person
// (results on standard output, failures on standard error), or one JSON
// document on standard output; and the names the two outputs give to keys,
// their states and the repairs' outcomes.
#pragma once

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "key_commands.h"
#include "key_operations.h"
#include "wipe_bytes.h"

struct ChangeMade {
    PasswordField field;
    bool firstKeyPassword;
    FieldAfter after;  // what the field holds afterwards
};

struct Outcome {
    ExitCode code = ExitCode::Success;
    std::vector<std::string> messages;         // for a person, in order
    std::vector<KeyFacts> keys;                // every key listed
    bool listing = false;                      // the keys are what the command shows, none too
    std::optional<KeyFacts> key;               // the key looked at or acted on
    bool keyFactsShown = false;                // the lines give the key's facts (status)
    const TextField* loginPassword = nullptr;  // shown; the command wipes it afterwards
    std::optional<ChangeMade> change;
    std::optional<RepairOutcome> repair;  // of a repair waited for
};

// Ends the outcome with a failure and what to tell of it.
inline void Fail(Outcome& outcome, ExitCode code, std::string message) {
    outcome.code = code;
    outcome.messages.push_back(std::move(message));
}

enum class OutputFormat : std::uint8_t { Lines, Json };

// Writes the outcome: its exit code, or Failure when it could not be
// written.
ExitCode Present(const Outcome& outcome, OutputFormat format);

// The serial number as the user reads and types it: 8 hex digits, serial
// byte 1 first ("4b41d001").
std::string SerialText(const SerialNumber& serial);

// What a repair's outcome means for the user; NotRepaired at the end of the
// wait: that the key is left so. Empty for None.
std::string RepairMessage(RepairOutcome repair, const std::string& serial);

// A key field as UTF-8, zero-terminated, character by character, so that
// one byte the code page does not know spoils nothing around it: every byte
// that is not part of a code page 949 character becomes U+FFFD, and so does
// a control character when the text is for a terminal.
using DisplayText = std::array<char, 64>;
enum class ControlCharacters : std::uint8_t { Keep, Replace };
void DisplayField(const TextField& field, ControlCharacters controls, DisplayText& text);

// The JSON documents, through nlohmann's JSON. Every text of a document, and
// every text its dump is made in, is wiped when it is freed, so that a
// secret in it leaves no copy behind.
template <typename T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(std::size_t count) { return std::allocator<T>().allocate(count); }
    void deallocate(T* data, std::size_t count) {
        WipeBytes(data, count * sizeof(T));
        std::allocator<T>().deallocate(data, count);
    }
    template <typename U>
    bool operator==(const WipingAllocator<U>&) const {
        return true;
    }
};

using WipedString = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;
using JsonDocument = nlohmann::basic_json<nlohmann::ordered_map, std::vector, WipedString, bool,
                                          std::int64_t, std::uint64_t, double, WipingAllocator>;

// Which part of an object WriteJson writes: all of it; or its head, without
// its closing brace, and then, after a comma, the tail of another object,
// without its opening brace, which together make one object written in two
// steps.
enum class JsonPart : std::uint8_t { Whole, Head, Tail };

// Writes `value` as its dump indented by two spaces, each line after the
// first indented `depth` levels more (its place in a document written as it
// goes), and a line end after the document's last part (depth 0). False when
// the output could not be written.
bool WriteJson(const JsonDocument& value, JsonPart part = JsonPart::Whole, unsigned depth = 0);
