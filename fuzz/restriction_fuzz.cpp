// Feeds arbitrary bytes to the restriction parser and everything that consumes its result.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "store/restriction.h"

namespace {

// An appointment on 2004-10-05 09:30..10:00 with every kind of field, a few missing.
class FixedItem final : public store::FieldValues {
public:
    std::optional<double> DateLinear(store::Field field) const override {
        switch (field) {
            case store::Field::Start:
                return 38265.0 + 9.5 / 24;
            case store::Field::End:
                return 38265.0 + 10.0 / 24;
            default:
                return std::nullopt;
        }
    }
    std::optional<bool> Flag(store::Field field) const override {
        if (field == store::Field::IsRecurring) {
            return std::nullopt;
        }
        return field == store::Field::ReminderSet;
    }
    std::optional<std::u16string_view> Text(store::Field field) const override {
        switch (field) {
            case store::Field::Subject:
                return u"定例会議 \"weekly\"";
            case store::Field::Location:
                return u"";
            default:
                return std::nullopt;
        }
    }
};

std::optional<std::string> Column(store::Field field) {
    return "c" + std::to_string(static_cast<int>(field));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = store::ParseRestriction(text);
    if (!parsed) {
        return 0;
    }
    const FixedItem item;
    const bool matches = store::Matches(*parsed, item);
    const auto sql = store::ToSql(*parsed, Column);
    // Every field has a column here, and each placeholder has its value.
    if (!sql || static_cast<size_t>(std::count(sql->where.begin(), sql->where.end(), '?')) !=
                    sql->parameters.size()) {
        std::abort();
    }
    // A matching item lies inside every range the restriction implies.
    for (const store::Field field : {store::Field::Start, store::Field::End}) {
        const store::LinearRange range = store::ImpliedRange(*parsed, field);
        const double value = *item.DateLinear(field);
        if (matches &&
            ((range.lower && value < *range.lower) || (range.upper && value >= *range.upper))) {
            std::abort();
        }
    }
    return 0;
}
