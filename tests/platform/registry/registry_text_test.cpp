#include "platform/registry/registry_text.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::registry {
namespace {

std::string Document(const std::string& root) {
    return R"({"format": "tessarinth-registry", "version": 1, "root": )" + root + "}";
}

std::string KeyWithValue(const std::string& value) {
    return Document(R"({"keys": {}, "values": {"v": )" + value + "}}");
}

TEST(RegistryText, ReadsTheDocumentedLayout) {
    const Result<RegistryKey> root = ParseRegistryText(Document(R"({
        "keys": {"Software": {"keys": {"Tessarinth": {"keys": {}, "values": {
            "HoliDay": {"type": "string", "data": "祝日"},
            "ccToday": {"type": "number", "data": 16711935}}}},
        "values": {}}},
        "values": {"": {"type": "number", "data": 4294967295}}})"));
    ASSERT_TRUE(root.ok()) << root.error().message;
    const RegistryKey* key = root->FindSubkey(u"SOFTWARE");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->name, u"Software");
    key = key->FindSubkey(u"tessarinth");
    ASSERT_NE(key, nullptr);
    ASSERT_NE(key->FindValue(u"holiday"), nullptr);
    EXPECT_EQ(key->FindValue(u"holiday")->name, u"HoliDay");
    EXPECT_EQ(key->FindValue(u"holiday")->value, RegistryValue(u"祝日"));
    EXPECT_EQ(key->FindValue(u"ccToday")->value, RegistryValue(0xFF00FFu));
    ASSERT_NE(root->FindValue(u""), nullptr);
    EXPECT_EQ(root->FindValue(u"")->value, RegistryValue(0xFFFFFFFFu));
}

TEST(RegistryText, FormattedTreeReadsBackTheSame) {
    RegistryKey root;
    auto sub = std::make_unique<RegistryKey>();
    sub->name = u"Ärger 予定";
    sub->values.emplace(FoldName(u"Text"), NamedValue{u"Text", std::u16string(u"a\0b😀\\\"", 7)});
    sub->values.emplace(FoldName(u"Zero"), NamedValue{u"Zero", 0u});
    root.subkeys.emplace(FoldName(sub->name), std::move(sub));
    root.values.emplace(FoldName(u"Max"), NamedValue{u"Max", 0xFFFFFFFFu});

    const std::string text = FormatRegistryText(root);
    const Result<RegistryKey> parsed = ParseRegistryText(text);
    ASSERT_TRUE(parsed.ok()) << parsed.error().message << "\n" << text;
    EXPECT_EQ(FormatRegistryText(*parsed), text);
    const RegistryKey* key = parsed->FindSubkey(u"ärger 予定");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->name, u"Ärger 予定");
    EXPECT_EQ(key->FindValue(u"text")->value, RegistryValue(std::u16string(u"a\0b😀\\\"", 7)));
    EXPECT_EQ(key->FindValue(u"zero")->value, RegistryValue(0u));
    EXPECT_EQ(parsed->FindValue(u"max")->value, RegistryValue(0xFFFFFFFFu));
}

// A key holding `depth` keys each inside the one before.
std::string Nested(int depth) {
    std::string text;
    for (int level = 0; level < depth; ++level) {
        text += R"({"keys": {"k": )";
    }
    text += R"({"keys": {}, "values": {}})";
    for (int level = 0; level < depth; ++level) {
        text += R"(}, "values": {}})";
    }
    return text;
}

TEST(RegistryText, AFileThatIsNoRegistryIsRefused) {
    const std::string emptyKey = R"({"keys": {}, "values": {}})";
    const std::string cases[] = {
        "",
        "\x01\xff garbage",
        Document(emptyKey).substr(0, 40),
        "[]",
        Document("[]"),
        Document(R"("root")"),
        R"({"format": "tessarinth-registry", "version": 2, "root": )" + emptyKey + "}",
        R"({"format": "other", "version": 1, "root": )" + emptyKey + "}",
        R"({"format": "tessarinth-registry", "root": )" + emptyKey + "}",
        // Strings no two JSON readers read alike: half a surrogate pair, bytes that are not
        // UTF-8.
        KeyWithValue(R"({"type": "string", "data": "\ud800"})"),
        KeyWithValue("{\"type\": \"string\", \"data\": \"\xff\xfe\"}"),
        // Nesting no registry has, which reading would otherwise follow to the end of the stack.
        KeyWithValue(std::string(100000, '[') + std::string(100000, ']')),
        Document(Nested(200)),
        // Numbers past what a double holds, which the JSON reader reports by a way of its own.
        "7.1e711e",
        R"({"format": "tessarinth-registry", "version": 1e999, "root": )" + emptyKey + "}",
        KeyWithValue(R"({"type": "number", "data": -1e400})"),
        // Larger than any registry: refused by its size before it is parsed.
        Document(Nested(100000)),
    };
    for (const std::string& text : cases) {
        const Result<RegistryKey> parsed = ParseRegistryText(text);
        EXPECT_FALSE(parsed.ok()) << text;
        if (!parsed.ok()) {
            EXPECT_FALSE(parsed.error().message.empty());
        }
    }
}

// A key holding `count` number values "v0", "v1", ...
std::string KeyWithValues(int count) {
    std::string values;
    for (int i = 0; i < count; ++i) {
        values += (i == 0 ? "" : ",") + std::string("\"v") + std::to_string(i) +
                  R"(": {"type": "number", "data": )" + std::to_string(i) + "}";
    }
    return Document(R"({"keys": {}, "values": {)" + values + "}}");
}

// Every value of a large file is read; a file one byte past the limit is refused whole, and a
// tree as deep as a registry may be is read.
TEST(RegistryText, ReadsUpToTheSizeAndDepthLimitsAndRefusesPastThem) {
    std::string many = KeyWithValues(20000);
    ASSERT_LT(many.size(), kMaxRegistryFileOctets);
    const Result<RegistryKey> root = ParseRegistryText(many);
    ASSERT_TRUE(root.ok()) << root.error().message;
    EXPECT_EQ(root->values.size(), 20000u);
    EXPECT_EQ(root->FindValue(u"v19999")->value, RegistryValue(19999u));

    // Blanks after the document fill it to the limit.
    many.resize(kMaxRegistryFileOctets, ' ');
    EXPECT_TRUE(ParseRegistryText(many).ok());
    many.push_back(' ');
    const Result<RegistryKey> tooLarge = ParseRegistryText(many);
    ASSERT_FALSE(tooLarge.ok());
    EXPECT_EQ(tooLarge.error().message, "larger than 1 MiB");

    EXPECT_TRUE(ParseRegistryText(Document(Nested(100))).ok());
    const Result<RegistryKey> tooDeep = ParseRegistryText(Document(Nested(200)));
    ASSERT_FALSE(tooDeep.ok());
    EXPECT_EQ(tooDeep.error().message, "nested deeper than 256 levels");
}

// Pieces the registry cannot read are read past and kept: the rest of the tree is there, and
// formatting writes the pieces back so that they read the same again.
TEST(RegistryText, UnreadablePiecesAreKeptAndWrittenBack) {
    const std::string emptyKey = R"({"keys": {}, "values": {}})";
    const std::string good = R"("good": {"type": "number", "data": 7})";
    const std::string cases[] = {
        R"({"format": "tessarinth-registry", "version": 1, "root": )" + emptyKey + R"(, "x": 1})",
        Document(R"({"keys": {}})"),
        Document(R"({"keys": [], "values": {}})"),
        Document(R"({"keys": {}, "values": {}, "extra": {}})"),
        Document(R"({"keys": {"A": )" + emptyKey + R"(, "a": )" + emptyKey + R"(}, "values": {}})"),
        Document(R"({"keys": {"": )" + emptyKey + R"(}, "values": {}})"),
        Document(R"({"keys": {"a\\b": )" + emptyKey + R"(}, "values": {}})"),
        Document(R"({"keys": {"k": 5}, "values": {}})"),
        Document(R"({"keys": {}, "values": {"v": {"type": "number", "data": 1},
                                           "V": {"type": "number", "data": 2}}})"),
        KeyWithValue(R"({"type": "number", "data": 4294967296})"),
        KeyWithValue(R"({"type": "number", "data": -1})"),
        KeyWithValue(R"({"type": "number", "data": 1.5})"),
        KeyWithValue(R"({"type": "number", "data": 1e300})"),
        KeyWithValue(R"({"type": "number", "data": "12"})"),
        KeyWithValue(R"({"type": "string", "data": 12})"),
        KeyWithValue(R"({"type": "binary", "data": "AA=="})"),
        KeyWithValue(R"({"type": "string"})"),
        KeyWithValue(R"({"type": "string", "data": "x", "more": 1})"),
        KeyWithValue(R"("plain")"),
    };
    for (std::string text : cases) {
        SCOPED_TRACE(text);
        // Beside each piece, a value that reads.
        const size_t values = text.rfind(R"("values": {)");
        if (values != std::string::npos) {
            text.insert(values + 11, good + (text[values + 11] == '}' ? "" : ", "));
        }
        const Result<RegistryKey> parsed = ParseRegistryText(text);
        ASSERT_TRUE(parsed.ok()) << parsed.error().message;
        const std::string formatted = FormatRegistryText(*parsed);
        const Result<RegistryKey> again = ParseRegistryText(formatted);
        ASSERT_TRUE(again.ok()) << formatted;
        EXPECT_EQ(FormatRegistryText(*again), formatted);
    }
    const Result<RegistryKey> root =
        ParseRegistryText(KeyWithValue(R"({"type": "number", "data": 1.5})"));
    ASSERT_NE(root->FindValue(u"v"), nullptr);
    EXPECT_TRUE(std::holds_alternative<KeptJson>(root->FindValue(u"v")->value));
    EXPECT_NE(FormatRegistryText(*root).find("1.5"), std::string::npos);
}

}  // namespace
}  // namespace platform::registry
