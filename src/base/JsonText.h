#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// A JSON string as the tool's JSON prints it: UTF-8 kept, quotes, backslashes and control
// characters escaped.
void AppendJsonString(std::string& out, std::string_view text);

// Compact JSON written straight into a text, for hand-overs that would otherwise build a tree of
// values only to print it. Members and elements are separated as they come; a member is its
// Key() followed by one value.
class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void Key(std::string_view key);
    void String(std::string_view text);
    void Number(std::int64_t number);
    void Bool(bool value);

    // A member with its value. A flag has a name of its own, so that no number or text becomes
    // one by a conversion.
    void Member(std::string_view key, std::string_view text) { Key(key); String(text); }
    void Member(std::string_view key, const char* text) { Member(key, std::string_view(text)); }
    void Member(std::string_view key, std::int64_t number) { Key(key); Number(number); }
    void Member(std::string_view key, int number) { Member(key, std::int64_t{number}); }
    void Member(std::string_view key, bool) = delete;
    void FlagMember(std::string_view key, bool value) { Key(key); Bool(value); }

private:
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    std::string& out_;
    std::vector<bool> first_;  // per open object or array: nothing in it yet
    bool afterKey_ = false;
};

}  // namespace quillbox
