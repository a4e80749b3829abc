// Writing the JSON document without leaving a copy of a secret behind: the
// serializer writes into a buffer of ours that goes straight to the output,
// and lives in a room of ours that is wiped after it.
#include "json_document.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "console.h"
#include "key_cell_map.h"
#include "key_state_names.h"
#include "text_conversion.h"
#include "wipe_bytes.h"

namespace {

using Serializer = nlohmann::detail::serializer<JsonDocument>;

// The serializer's output, in pieces of at most a buffer's length.
class ConsoleOutput : public nlohmann::detail::output_adapter_protocol<char> {
public:
    ~ConsoleOutput() override { Flush(); }
    void write_character(char c) override {
        if (used_ == buffer_.size()) Flush();
        buffer_[used_++] = c;
    }
    void write_characters(const char* s, std::size_t length) override {
        for (std::size_t i = 0; i < length; ++i) write_character(s[i]);
    }
    void Flush() {
        written_ = WriteOut(std::string_view(buffer_.data(), used_)) && written_;
        WipeBytes(buffer_.data(), buffer_.size());
        used_ = 0;
    }
    bool written() const { return written_; }

private:
    std::array<char, 1024> buffer_;
    std::size_t used_ = 0;
    bool written_ = true;
};

void WipeTexts(JsonDocument& value) {
    if (value.is_string()) {
        std::string& text = value.get_ref<std::string&>();
        WipeBytes(text.data(), text.size());
    }
    if (value.is_structured())
        for (JsonDocument& element : value) WipeTexts(element);
}

}  // namespace

void PutField(JsonDocument& object, const char* name, const TextField& field) {
    DisplayText text;
    DisplayField(field, ControlCharacters::Keep, text);
    object[name] = text.data();
    WipeBytes(text.data(), text.size());
    object[std::string(name) + "Hex"] = HexOf(field.data(), strnlen(field.data(), kFieldCells));
}

JsonDocument KeyFactsJson(const KeyFacts& key) {
    JsonDocument facts = JsonDocument::object();
    facts["device"] = key.path;
    if (Answered(key)) {
        facts["serial"] = SerialText(key.identity.serial);
    } else {
        facts["serial"] = nullptr;
    }
    facts["state"] = StateName(key);
    if (Answered(key)) PutField(facts, "loginId", key.identity.loginId);
    return facts;
}

bool WriteJsonDocument(JsonDocument& document) {
    auto output = std::make_shared<ConsoleOutput>();
    alignas(Serializer) std::array<unsigned char, sizeof(Serializer)> room;
    auto* serializer =
        new (room.data()) Serializer(output, ' ', nlohmann::detail::error_handler_t::replace);
    serializer->dump(document, true, false, 2);
    serializer->~Serializer();
    WipeBytes(room.data(), room.size());
    output->write_character('\n');
    output->Flush();
    WipeTexts(document);
    return output->written();
}
