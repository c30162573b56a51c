// The JSON the core writes by hand reads back, through a JSON library, as the values written:
// members and elements in every nesting, texts with every character that needs escaping.
#include "base/JsonText.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <random>

namespace quillbox {
namespace {

struct WriterCase {
    const char* name;
    std::function<void(JsonWriter&)> write;
    nlohmann::json expected;
};

TEST(JsonWriter, WritesWhatAJsonReaderReadsBack)
{
    const WriterCase cases[] = {
        {"empty object", [](JsonWriter& j) { j.BeginObject(); j.EndObject(); }, nlohmann::json::object()},
        {"empty array", [](JsonWriter& j) { j.BeginArray(); j.EndArray(); }, nlohmann::json::array()},
        {"members of each kind",
         [](JsonWriter& j) {
             j.BeginObject();
             j.Key("n"); j.Number(-9000000000);
             j.Key("t"); j.Bool(true);
             j.FlagMember("f", false);
             j.Member("s", "POTION");
             j.Member("i", 375);
             j.Member("v", std::string("x"));
             j.EndObject();
         },
         {{"n", -9000000000}, {"t", true}, {"f", false}, {"s", "POTION"}, {"i", 375}, {"v", "x"}}},
        {"nested, with empty ones between",
         [](JsonWriter& j) {
             j.BeginObject();
             j.Key("a"); j.BeginArray(); j.Number(1); j.BeginObject(); j.EndObject(); j.BeginArray(); j.EndArray(); j.Number(2); j.EndArray();
             j.Key("o"); j.BeginObject(); j.Key("x"); j.BeginObject(); j.Key("y"); j.Number(0); j.EndObject(); j.EndObject();
             j.Key("z"); j.String("");
             j.EndObject();
         },
         {{"a", {1, nlohmann::json::object(), nlohmann::json::array(), 2}}, {"o", {{"x", {{"y", 0}}}}}, {"z", ""}}},
        {"keys and texts that need escaping",
         [](JsonWriter& j) {
             j.BeginObject();
             j.Key("q\"b\\"); j.String("line\nbreak\r\ttab\x01\x1F\"\\ é…");
             j.EndObject();
         },
         {{"q\"b\\", "line\nbreak\r\ttab\x01\x1F\"\\ é…"}}},
    };
    for (const WriterCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        JsonWriter writer(text);
        c.write(writer);
        EXPECT_EQ(nlohmann::json::parse(text), c.expected) << text;
    }
}

// Every text, of every byte below 0x80 and UTF-8 beyond, comes back as it was written.
TEST(JsonWriter, AnyTextReadsBackAsItWas)
{
    std::mt19937 random(5);
    for (int round = 0; round < 2000; ++round) {
        std::string given(static_cast<std::size_t>(round % 40), ' ');
        for (char& c : given) c = static_cast<char>(random() % 0x80);
        if (round % 3 == 0) given += "é€";
        std::string text;
        AppendJsonString(text, given);
        ASSERT_EQ(nlohmann::json::parse(text).get<std::string>(), given) << text;
    }
}

}  // namespace
}  // namespace quillbox
