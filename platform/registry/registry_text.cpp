#include "platform/registry/registry_text.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <cmath>
#include <limits>
#include <optional>

namespace platform::registry {
namespace {

constexpr const char* kFormatName = "tessarinth-registry";
constexpr int kFormatVersion = 1;
constexpr double kLargestNumber = std::numeric_limits<uint32_t>::max();

const QString kFormatMember = QStringLiteral("format");
const QString kVersionMember = QStringLiteral("version");
const QString kRootMember = QStringLiteral("root");
const QString kKeysMember = QStringLiteral("keys");
const QString kValuesMember = QStringLiteral("values");
const QString kTypeMember = QStringLiteral("type");
const QString kDataMember = QStringLiteral("data");
const QString kStringType = QStringLiteral("string");
const QString kNumberType = QStringLiteral("number");

KeptJson Keep(const QJsonValue& json) {
    return KeptJson{QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact).toStdString()};
}

QJsonValue Unkept(const KeptJson& kept) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(kept.arrayText));
    return document.isArray() && !document.array().isEmpty() ? document.array().first()
                                                             : QJsonValue();
}

KeptMember KeepMember(const QString& name, const QJsonValue& json) {
    return KeptMember{name.toStdString(), Keep(json)};
}

// A value as a string or a number; anything else is kept as it stands.
RegistryValue ParseValue(const QJsonValue& json) {
    const QJsonObject object = json.toObject();
    const QJsonValue type = object.value(kTypeMember);
    const QJsonValue data = object.value(kDataMember);
    if (json.isObject() && object.size() == 2) {
        if (type == kStringType && data.isString() && data.toString().isValidUtf16()) {
            return RegistryValue(data.toString().toStdU16String());
        }
        if (type == kNumberType && data.isDouble()) {
            const double number = data.toDouble();
            if (number >= 0 && number <= kLargestNumber && std::floor(number) == number) {
                return RegistryValue(static_cast<uint32_t>(number));
            }
        }
    }
    return RegistryValue(Keep(json));
}

// Whether a JSON value has the shape of a key: an object whose "keys" and "values", when there,
// are objects.
bool IsKeyShaped(const QJsonValue& json) {
    if (!json.isObject()) {
        return false;
    }
    const QJsonObject object = json.toObject();
    return (!object.contains(kKeysMember) || object.value(kKeysMember).isObject()) &&
           (!object.contains(kValuesMember) || object.value(kValuesMember).isObject());
}

void ParseKey(const QJsonObject& object, RegistryKey& key) {
    for (auto member = object.begin(); member != object.end(); ++member) {
        const bool known = (member.key() == kKeysMember || member.key() == kValuesMember) &&
                           member.value().isObject();
        if (!known) {
            key.keptMembers.push_back(KeepMember(member.key(), member.value()));
        }
    }
    const QJsonObject subkeys = object.value(kKeysMember).toObject();
    for (auto entry = subkeys.begin(); entry != subkeys.end(); ++entry) {
        auto subkey = std::make_unique<RegistryKey>();
        subkey->name = entry.key().toStdU16String();
        if (!IsValidKeyName(subkey->name) || !IsKeyShaped(entry.value()) ||
            key.FindSubkey(subkey->name) != nullptr) {
            key.keptSubkeys.push_back(KeepMember(entry.key(), entry.value()));
            continue;
        }
        ParseKey(entry.value().toObject(), *subkey);
        const std::u16string folded = FoldName(subkey->name);
        key.subkeys.emplace(folded, std::move(subkey));
    }
    const QJsonObject namedValues = object.value(kValuesMember).toObject();
    for (auto entry = namedValues.begin(); entry != namedValues.end(); ++entry) {
        const std::u16string name = entry.key().toStdU16String();
        if (!entry.key().isValidUtf16() || key.FindValue(name) != nullptr) {
            key.keptValues.push_back(KeepMember(entry.key(), entry.value()));
            continue;
        }
        key.values.emplace(FoldName(name), NamedValue{name, ParseValue(entry.value())});
    }
}

QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

void InsertKept(QJsonObject& object, const std::vector<KeptMember>& members) {
    for (const auto& [name, json] : members) {
        object.insert(QString::fromStdString(name), Unkept(json));
    }
}

QJsonObject FormatKey(const RegistryKey& key) {
    QJsonObject subkeys;
    InsertKept(subkeys, key.keptSubkeys);
    for (const auto& [folded, subkey] : key.subkeys) {
        subkeys.insert(ToQString(subkey->name), FormatKey(*subkey));
    }
    QJsonObject values;
    InsertKept(values, key.keptValues);
    for (const auto& [folded, named] : key.values) {
        if (const auto* kept = std::get_if<KeptJson>(&named.value)) {
            values.insert(ToQString(named.name), Unkept(*kept));
            continue;
        }
        QJsonObject value;
        if (const auto* text = std::get_if<std::u16string>(&named.value)) {
            value.insert(kTypeMember, kStringType);
            value.insert(kDataMember, ToQString(*text));
        } else {
            value.insert(kTypeMember, kNumberType);
            value.insert(kDataMember, static_cast<qint64>(std::get<uint32_t>(named.value)));
        }
        values.insert(ToQString(named.name), value);
    }
    QJsonObject object;
    InsertKept(object, key.keptMembers);
    // A "keys" or "values" that was not an object is written back as it was, as long as
    // nothing has been put in its place.
    if (!object.contains(kKeysMember) || !subkeys.isEmpty()) {
        object.insert(kKeysMember, subkeys);
    }
    if (!object.contains(kValuesMember) || !values.isEmpty()) {
        object.insert(kValuesMember, values);
    }
    return object;
}

}  // namespace

Result<RegistryKey> ParseRegistryText(std::string_view text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        return MakeError("not JSON (" + error.errorString().toStdString() + " at byte " +
                         std::to_string(error.offset) + ")");
    }
    const QJsonObject top = document.object();
    const QJsonValue version = top.value(kVersionMember);
    if (!document.isObject() || top.value(kFormatMember) != QLatin1String(kFormatName) ||
        !version.isDouble() || version.toDouble() != kFormatVersion ||
        !top.value(kRootMember).isObject()) {
        return MakeError("not a registry of this version");
    }
    RegistryKey root;
    ParseKey(top.value(kRootMember).toObject(), root);
    for (auto member = top.begin(); member != top.end(); ++member) {
        if (member.key() != kFormatMember && member.key() != kVersionMember &&
            member.key() != kRootMember) {
            root.keptDocumentMembers.push_back(KeepMember(member.key(), member.value()));
        }
    }
    return root;
}

std::string FormatRegistryText(const RegistryKey& root) {
    QJsonObject top;
    InsertKept(top, root.keptDocumentMembers);
    top.insert(kFormatMember, QLatin1String(kFormatName));
    top.insert(kVersionMember, kFormatVersion);
    top.insert(kRootMember, FormatKey(root));
    return QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace platform::registry
