#include "platform/registry/registry_text.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>
#include <vector>

#include "platform/text/unicode_text.h"

namespace platform::registry {
namespace {

using Json = nlohmann::json;

constexpr const char* kFormatName = "tessarinth-registry";
constexpr int kFormatVersion = 1;
constexpr double kLargestNumber = std::numeric_limits<uint32_t>::max();
constexpr int kIndent = 4;
constexpr int kDeepestNesting = 256;

constexpr const char* kFormatMember = "format";
constexpr const char* kVersionMember = "version";
constexpr const char* kRootMember = "root";
constexpr const char* kKeysMember = "keys";
constexpr const char* kValuesMember = "values";
constexpr const char* kTypeMember = "type";
constexpr const char* kDataMember = "data";
constexpr const char* kStringType = "string";
constexpr const char* kNumberType = "number";

// Text for the file. Everything written was read from the file or checked storable, so the
// replacement never happens; it is there so that formatting cannot fail.
std::string Dump(const Json& json, int indent) {
    return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

KeptJson Keep(const Json& json) {
    return KeptJson{Dump(Json::array({json}), -1)};
}

Json Unkept(const KeptJson& kept) {
    const Json array = Json::parse(kept.arrayText, nullptr, false);
    return array.is_array() && !array.empty() ? array.front() : Json();
}

KeptMember KeepMember(const std::string& name, const Json& json) {
    return KeptMember{name, Keep(json)};
}

std::u16string Utf16Name(const std::string& name) {
    return Utf8ToUtf16Lossy(name);
}

// A member of an object, or null when the object has none by that name.
const Json& Member(const Json& object, const char* name) {
    static const Json kNone;
    if (!object.is_object()) {
        return kNone;
    }
    const auto found = object.find(name);
    return found == object.end() ? kNone : *found;
}

// A value as a string or a number; anything else is kept as it stands.
RegistryValue ParseValue(const Json& json) {
    const Json& type = Member(json, kTypeMember);
    const Json& data = Member(json, kDataMember);
    if (json.is_object() && json.size() == 2 && type.is_string()) {
        if (type == kStringType && data.is_string()) {
            return RegistryValue(Utf8ToUtf16Lossy(data.get_ref<const std::string&>()));
        }
        if (type == kNumberType && data.is_number()) {
            const double number = data.get<double>();
            if (number >= 0 && number <= kLargestNumber && std::floor(number) == number) {
                return RegistryValue(static_cast<uint32_t>(number));
            }
        }
    }
    return RegistryValue(Keep(json));
}

// Whether a JSON value has the shape of a key: an object whose "keys" and "values", when there,
// are objects.
bool IsKeyShaped(const Json& json) {
    if (!json.is_object()) {
        return false;
    }
    return (!json.contains(kKeysMember) || json.at(kKeysMember).is_object()) &&
           (!json.contains(kValuesMember) || json.at(kValuesMember).is_object());
}

void ParseKey(const Json& object, RegistryKey& key) {
    for (const auto& [name, member] : object.items()) {
        const bool known = (name == kKeysMember || name == kValuesMember) && member.is_object();
        if (!known) {
            key.keptMembers.push_back(KeepMember(name, member));
        }
    }
    const Json& subkeys = Member(object, kKeysMember);
    if (subkeys.is_object()) {
        for (const auto& [name, entry] : subkeys.items()) {
            auto subkey = std::make_unique<RegistryKey>();
            subkey->name = Utf16Name(name);
            if (!IsValidKeyName(subkey->name) || !IsKeyShaped(entry) ||
                key.FindSubkey(subkey->name) != nullptr) {
                key.keptSubkeys.push_back(KeepMember(name, entry));
                continue;
            }
            ParseKey(entry, *subkey);
            const std::u16string folded = FoldName(subkey->name);
            key.subkeys.emplace(folded, std::move(subkey));
        }
    }
    const Json& namedValues = Member(object, kValuesMember);
    if (namedValues.is_object()) {
        for (const auto& [name, entry] : namedValues.items()) {
            const std::u16string valueName = Utf16Name(name);
            if (key.FindValue(valueName) != nullptr) {
                key.keptValues.push_back(KeepMember(name, entry));
                continue;
            }
            key.values.emplace(FoldName(valueName), NamedValue{valueName, ParseValue(entry)});
        }
    }
}

std::string Utf8Name(const std::u16string& name) {
    return Utf16ToUtf8Lossy(name);
}

void InsertKept(Json& object, const std::vector<KeptMember>& members) {
    for (const auto& [name, json] : members) {
        object[name] = Unkept(json);
    }
}

Json FormatKey(const RegistryKey& key) {
    Json subkeys = Json::object();
    InsertKept(subkeys, key.keptSubkeys);
    for (const auto& [folded, subkey] : key.subkeys) {
        subkeys[Utf8Name(subkey->name)] = FormatKey(*subkey);
    }
    Json values = Json::object();
    InsertKept(values, key.keptValues);
    for (const auto& [folded, named] : key.values) {
        if (const auto* kept = std::get_if<KeptJson>(&named.value)) {
            values[Utf8Name(named.name)] = Unkept(*kept);
            continue;
        }
        Json value = Json::object();
        if (const auto* text = std::get_if<std::u16string>(&named.value)) {
            value[kTypeMember] = kStringType;
            value[kDataMember] = Utf8Name(*text);
        } else {
            value[kTypeMember] = kNumberType;
            value[kDataMember] = std::get<uint32_t>(named.value);
        }
        values[Utf8Name(named.name)] = std::move(value);
    }
    Json object = Json::object();
    InsertKept(object, key.keptMembers);
    // A "keys" or "values" that was not an object is written back as it was, as long as
    // nothing has been put in its place.
    if (!object.contains(kKeysMember) || !subkeys.empty()) {
        object[kKeysMember] = std::move(subkeys);
    }
    if (!object.contains(kValuesMember) || !values.empty()) {
        object[kValuesMember] = std::move(values);
    }
    return object;
}

// Whether arrays and objects nest deeper than `limit` levels, found without recursion (the
// library's parser and its tree go without it too).
bool NestsDeeperThan(const Json& top, int limit) {
    std::vector<std::pair<const Json*, int>> pending{{&top, 1}};
    while (!pending.empty()) {
        const auto [json, depth] = pending.back();
        pending.pop_back();
        if (!json->is_structured()) {
            continue;
        }
        if (depth > limit) {
            return true;
        }
        for (const Json& child : *json) {
            pending.emplace_back(&child, depth + 1);
        }
    }
    return false;
}

}  // namespace

Result<RegistryKey> ParseRegistryText(std::string_view text) {
    if (text.size() > kMaxRegistryFileOctets) {
        return MakeError("larger than " + std::to_string(kMaxRegistryFileOctets / (1024 * 1024)) +
                         " MiB");
    }
    // Parsed without a callback: the library's callback parser walks a parent's members each
    // time one of its objects ends, which made a file of many values cost quadratic time.
    Json top;
    try {
        top = Json::parse(text);
    } catch (const Json::exception& error) {
        // Not only a syntax error: a number past what a double holds is reported as out of
        // range. The library's message begins with its own identifier in brackets, of no use to
        // a reader of the notice.
        const std::string_view message = error.what();
        const size_t identifierEnd = message.find("] ");
        return MakeError("not JSON (" +
                         std::string(identifierEnd == std::string_view::npos
                                         ? message
                                         : message.substr(identifierEnd + 2)) +
                         ")");
    }
    // Reading, keeping and writing back a tree walk it recursively: a file nested deeper than
    // any registry is refused before it can exhaust the stack.
    if (NestsDeeperThan(top, kDeepestNesting)) {
        return MakeError("nested deeper than " + std::to_string(kDeepestNesting) + " levels");
    }
    const Json& version = Member(top, kVersionMember);
    if (!top.is_object() || Member(top, kFormatMember) != kFormatName || !version.is_number() ||
        version.get<double>() != kFormatVersion || !Member(top, kRootMember).is_object()) {
        return MakeError("not a registry of this version");
    }
    RegistryKey root;
    ParseKey(top.at(kRootMember), root);
    for (const auto& [name, member] : top.items()) {
        if (name != kFormatMember && name != kVersionMember && name != kRootMember) {
            root.keptDocumentMembers.push_back(KeepMember(name, member));
        }
    }
    return root;
}

std::string FormatRegistryText(const RegistryKey& root) {
    Json top = Json::object();
    InsertKept(top, root.keptDocumentMembers);
    top[kFormatMember] = kFormatName;
    top[kVersionMember] = kFormatVersion;
    top[kRootMember] = FormatKey(root);
    return Dump(top, kIndent) + "\n";
}

}  // namespace platform::registry
