#include "base/JsonText.h"

#include "base/WordScan.h"

namespace quillbox {

namespace {

bool NeedsJsonEscape(std::string_view text)
{
    using namespace word_scan;
    return AnyStop(text, [](std::uint64_t word) { return HasBelow(word, 0x20) || HasByte(word, '"') || HasByte(word, '\\'); });
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    if (!NeedsJsonEscape(text)) {
        out += text;
        out += '"';
        return;
    }
    // Runs of characters that need no escape, which is nearly all of them, go in at once.
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && c != '"' && c != '\\') continue;
        out.append(text.substr(run, i - run));
        run = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 0xF];
            }
        }
    }
    out.append(text.substr(run));
    out += '"';
}

void JsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) out_ += ',';
        first_.back() = false;
    }
}

void JsonWriter::Key(std::string_view key)
{
    BeforeValue();
    AppendJsonString(out_, key);
    out_ += ':';
    afterKey_ = true;
}

void JsonWriter::Open(char bracket)
{
    BeforeValue();
    out_ += bracket;
    first_.push_back(true);
}

void JsonWriter::Close(char bracket)
{
    out_ += bracket;
    first_.pop_back();
}

void JsonWriter::String(std::string_view text)
{
    BeforeValue();
    AppendJsonString(out_, text);
}

void JsonWriter::Number(std::int64_t number)
{
    BeforeValue();
    out_ += std::to_string(number);
}

void JsonWriter::Bool(bool value)
{
    BeforeValue();
    out_ += value ? "true" : "false";
}

}  // namespace quillbox
