// A typed line turned into a password.
#include "typed_line.h"

#include <string_view>

#include "text_conversion.h"
#include "wipe_bytes.h"

void KeepByte(TypedLine& line, char byte) {
    if (line.length < line.bytes.size())
        line.bytes[line.length++] = byte;
    else
        line.cut = true;
}

void DropLineEnd(TypedLine& line) {
    if (line.length > 0 && line.bytes[line.length - 1] == '\r') --line.length;
}

LineRead ReadTypedLine(ReadByte next, TypedLine& line) {
    bool any = false;
    for (;;) {
        char byte = 0;
        const ByteRead read = next(byte);
        if (read == ByteRead::Interrupted) return LineRead::Interrupted;
        if (read == ByteRead::Ended) return any ? LineRead::Line : LineRead::Ended;
        any = true;
        if (byte == '\n') break;
        KeepByte(line, byte);
        WipeBytes(&byte, 1);
    }
    DropLineEnd(line);
    return LineRead::Line;
}

PasswordRead PasswordOfLine(LineRead read, TypedLine& line, TextField& text) {
    text.fill(0);
    PasswordRead outcome = PasswordRead::Ended;
    if (read == LineRead::Interrupted) outcome = PasswordRead::Interrupted;
    if (read == LineRead::Line) {
        const TypedText typed =
            line.cut ? TypedText::TooLong
                     : EncodeTypedText(std::string_view(line.bytes.data(), line.length), text);
        outcome = typed == TypedText::Taken     ? PasswordRead::Taken
                  : typed == TypedText::TooLong ? PasswordRead::TooLong
                                                : PasswordRead::NotCp949;
    }
    WipeBytes(line.bytes.data(), line.bytes.size());
    line.length = 0;
    return outcome;
}
