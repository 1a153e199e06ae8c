#include "platform/registry/registry_text.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <cmath>
#include <limits>

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

std::string Quoted(const QString& name) {
    return '"' + name.toStdString() + '"';
}

Result<RegistryValue> ParseValue(const QString& name, const QJsonValue& json) {
    const QJsonObject object = json.toObject();
    const QJsonValue type = object.value(kTypeMember);
    const QJsonValue data = object.value(kDataMember);
    if (!json.isObject() || object.size() != 2) {
        return MakeError("value " + Quoted(name) + " is not a type and data pair");
    }
    if (type == kStringType && data.isString()) {
        const QString text = data.toString();
        if (!text.isValidUtf16()) {
            return MakeError("value " + Quoted(name) + " holds broken UTF-16");
        }
        return RegistryValue(text.toStdU16String());
    }
    if (type == kNumberType && data.isDouble()) {
        const double number = data.toDouble();
        if (number < 0 || number > kLargestNumber || std::floor(number) != number) {
            return MakeError("value " + Quoted(name) + " is not a 32-bit unsigned number");
        }
        return RegistryValue(static_cast<uint32_t>(number));
    }
    return MakeError("value " + Quoted(name) + " has an unknown type or data");
}

Result<void> ParseKey(const QJsonValue& json, RegistryKey& key) {
    const QJsonObject object = json.toObject();
    const QJsonValue keys = object.value(kKeysMember);
    const QJsonValue values = object.value(kValuesMember);
    if (!json.isObject() || object.size() != 2 || !keys.isObject() || !values.isObject()) {
        return MakeError("a key is not a keys and values pair");
    }
    const QJsonObject subkeys = keys.toObject();
    for (auto entry = subkeys.begin(); entry != subkeys.end(); ++entry) {
        auto subkey = std::make_unique<RegistryKey>();
        subkey->name = entry.key().toStdU16String();
        if (!IsValidKeyName(subkey->name)) {
            return MakeError("key name " + Quoted(entry.key()) + " is not allowed");
        }
        if (Result<void> parsed = ParseKey(entry.value(), *subkey); !parsed) {
            return parsed;
        }
        const std::u16string folded = FoldName(subkey->name);
        if (!key.subkeys.emplace(folded, std::move(subkey)).second) {
            return MakeError("two keys are named " + Quoted(entry.key()));
        }
    }
    const QJsonObject namedValues = values.toObject();
    for (auto entry = namedValues.begin(); entry != namedValues.end(); ++entry) {
        if (!entry.key().isValidUtf16()) {
            return MakeError("a value name holds broken UTF-16");
        }
        Result<RegistryValue> value = ParseValue(entry.key(), entry.value());
        if (!value) {
            return value.error();
        }
        NamedValue named{entry.key().toStdU16String(), std::move(*value)};
        const std::u16string folded = FoldName(named.name);
        if (!key.values.emplace(folded, std::move(named)).second) {
            return MakeError("two values are named " + Quoted(entry.key()));
        }
    }
    return {};
}

QString ToQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

QJsonObject FormatKey(const RegistryKey& key) {
    QJsonObject subkeys;
    for (const auto& [folded, subkey] : key.subkeys) {
        subkeys.insert(ToQString(subkey->name), FormatKey(*subkey));
    }
    QJsonObject values;
    for (const auto& [folded, named] : key.values) {
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
    return QJsonObject{{kKeysMember, subkeys}, {kValuesMember, values}};
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
    if (!document.isObject() || top.size() != 3 ||
        top.value(kFormatMember) != QLatin1String(kFormatName) || !version.isDouble() ||
        version.toDouble() != kFormatVersion) {
        return MakeError("not a registry of this version");
    }
    RegistryKey root;
    if (Result<void> parsed = ParseKey(top.value(kRootMember), root); !parsed) {
        return parsed.error();
    }
    return root;
}

std::string FormatRegistryText(const RegistryKey& root) {
    const QJsonObject top{{kFormatMember, QLatin1String(kFormatName)},
                          {kVersionMember, kFormatVersion},
                          {kRootMember, FormatKey(root)}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString();
}

}  // namespace platform::registry
