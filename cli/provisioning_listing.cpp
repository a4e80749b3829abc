// The listing of init --each in its three forms. The JSON document is
// written by hand around values that nlohmann's JSON escapes, so that each
// key's entry goes out as the key is set; a password is printable ASCII and
// is written as it is, never copied.
#include "provisioning_listing.h"

#include <nlohmann/json.hpp>

#include "console.h"
#include "messages.h"

namespace {

constexpr std::string_view kResultNames[] = {"set", "skipped", "failed"};

std::string_view NameOf(KeyResult result) {
    return kResultNames[static_cast<int>(result)];
}

std::string Quoted(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Csv(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Serial(const KeyFacts& key) {
    return Answered(key) ? SerialText(key.identity.serial) : "";
}

// Who the entry is about, for a person.
std::string Who(const KeyFacts& key) {
    return Answered(key) ? Serial(key) : key.path;
}

std::string Said(KeyResult result, const std::string& detail) {
    if (result == KeyResult::Set) return Say(Message::EachSet);
    if (result == KeyResult::Skipped) return Say(Message::EachSkipped);
    return Say(Message::EachFailed, {detail});
}

void Write(Listing& listing, std::string_view text) {
    listing.written = WriteOut(text) && listing.written;
}

}  // namespace

void BeginListing(Listing& listing) {
    if (listing.format == PasswordListing::Csv)
        Write(listing, "serial,key_password,outcome,message\n");
    if (listing.format == PasswordListing::Json) Write(listing, "{\n  \"keys\": [");
}

bool BeginEntry(Listing& listing, const KeyFacts& key, const TextField* password) {
    const std::string_view shown = password ? password->data() : "";
    const bool before = listing.written;
    listing.written = true;
    switch (listing.format) {
        case PasswordListing::Lines:
            Write(listing, Who(key) + "  ");
            if (password) {
                Write(listing, shown);
                Write(listing, "  ");
            }
            break;
        case PasswordListing::Csv:
            Write(listing, Serial(key) + ",");
            Write(listing, shown);
            Write(listing, ",");
            break;
        case PasswordListing::Json:
            Write(listing, std::string(listing.entries ? "," : "") + "\n    {\"serial\": " +
                               (Answered(key) ? Quoted(Serial(key)) : "null") +
                               ", \"device\": " + Quoted(key.path) + ", ");
            if (password) {
                Write(listing, "\"keyPassword\": \"");
                Write(listing, shown);
                Write(listing, "\", ");
            }
            break;
    }
    listing.entries = true;
    const bool entry = listing.written;
    listing.written = before && entry;
    return entry;
}

void EndEntry(Listing& listing, const KeyFacts& key, KeyResult result, const std::string& detail) {
    switch (listing.format) {
        case PasswordListing::Lines:
            Write(listing, Said(result, detail) + "\n");
            break;
        case PasswordListing::Csv:
            Write(listing, std::string(NameOf(result)) + "," + Csv(detail) + "\n");
            break;
        case PasswordListing::Json:
            WriteErr(Who(key) + "  " + Said(result, detail) + "\n");
            Write(listing, "\"outcome\": \"" + std::string(NameOf(result)) +
                               "\", \"message\": " + Quoted(detail) + "}");
            break;
    }
}

bool EndListing(Listing& listing, ExitCode code, const ListingCounts& counts) {
    const std::string summary =
        Say(Message::EachSummary, {std::to_string(counts.set), std::to_string(counts.skipped),
                                   std::to_string(counts.failed)});
    switch (listing.format) {
        case PasswordListing::Lines:
            Write(listing, summary + "\n");
            break;
        case PasswordListing::Csv:
            WriteErr(summary + "\n");
            break;
        case PasswordListing::Json:
            Write(listing, std::string(listing.entries ? "\n  " : "") +
                               "],\n  \"summary\": {\"set\": " + std::to_string(counts.set) +
                               ", \"skipped\": " + std::to_string(counts.skipped) +
                               ", \"failed\": " + std::to_string(counts.failed) +
                               "},\n  \"outcome\": \"" + std::string(EntryOf(code).name) +
                               "\",\n  \"exitCode\": " + std::to_string(static_cast<int>(code)) +
                               ",\n  \"message\": " + Quoted(summary) + "\n}\n");
            break;
    }
    return listing.written;
}
