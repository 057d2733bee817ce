#include "cli/json_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/message_box.h"

namespace qvtk::cli {

void JsonWriter::Value(double v) {
    if (!std::isfinite(v)) return Null();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    Raw(buf);
}

void JsonWriter::Fixed(double v, int decimals) {
    if (!std::isfinite(v)) return Null();
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    // "-0.000" is 0.
    if (std::strtod(buf, nullptr) == 0) std::snprintf(buf, sizeof buf, "%.*f", decimals, 0.0);
    Raw(buf);
}

void JsonWriter::String(std::string_view s) {
    out_ += '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\r':
            out_ += "\\r";
            break;
        case '\t':
            out_ += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                // Bytes outside ASCII (memo text in the logger's code page) as \u00XX, so the
                // output stays valid JSON whatever the file holds.
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out_ += buf;
            } else {
                out_ += char(c);
            }
        }
    }
    out_ += '"';
}

void WriteMessages(JsonWriter& j) {
    j.BeginArray();
    for (const Message& m : RecordedMessages()) {
        j.BeginObject();
        j.Key("caption"), j.Value(m.caption);
        j.Key("text"), j.Value(m.text);
        j.EndObject();
    }
    j.EndArray();
}

void PrintWithMessages(JsonWriter& j) {
    j.Key("messages");
    WriteMessages(j);
    j.EndObject();
    std::cout << j.Text() << "\n";
}

} // namespace qvtk::cli
