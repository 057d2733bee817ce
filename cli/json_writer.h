#pragma once
// A small streaming JSON writer for the CLI's machine-readable output.
#include <cstdint>
#include <string>
#include <string_view>

namespace qvtk::cli {

class JsonWriter {
public:
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void Key(std::string_view k) {
        Separate();
        String(k);
        out_ += ':';
        afterKey_ = true;
    }
    void Value(int64_t v) { Raw(std::to_string(v)); }
    void Value(bool v) { Raw(v ? "true" : "false"); }
    void Value(std::string_view s) {
        Separate();
        String(s);
    }
    void Value(const char* s) { Value(std::string_view(s)); }
    void Value(double v);
    // A number with a fixed count of decimals.
    void Fixed(double v, int decimals);
    void Null() { Raw("null"); }
    const std::string& Text() const { return out_; }

private:
    void Open(char c) {
        Separate();
        out_ += c;
        first_ = true;
    }
    void Close(char c) {
        out_ += c;
        first_ = false;
    }
    void Raw(std::string_view s) {
        Separate();
        out_ += s;
    }
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!first_ && !out_.empty()) out_ += ',';
        first_ = false;
    }
    void String(std::string_view s);

    std::string out_;
    bool first_ = true;
    bool afterKey_ = false;
};

// The messages the load showed, as an array of {caption, text}.
void WriteMessages(JsonWriter& j);
// Ends the top-level object with "messages" and prints it as one line.
void PrintWithMessages(JsonWriter& j);

} // namespace qvtk::cli
