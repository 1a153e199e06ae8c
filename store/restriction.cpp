#include "store/restriction.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "platform/text/unicode_text.h"
#include "platform/time/date_time.h"

namespace store {

enum class FieldKind { Date, Flag, Text };

enum class Operator { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

// One `[field] op value`. A date value is the half-open interval of linear values it names: its
// whole day, or the half second either side of a time, so that a comparison is always a test
// against these two bounds, the same in memory and in SQL.
struct Comparison {
    Field field = Field::Start;
    Operator op = Operator::Equal;
    double lower = 0;
    double upper = 0;
    bool flag = false;
    std::u16string text;
};

struct RestrictionNode {
    enum class Kind { Compare, And, Or, Not };
    Kind kind = Kind::Compare;
    Comparison comparison;
    std::vector<RestrictionNode> children;
};

namespace {

// Parentheses and `not`s may nest this deep; deeper input is refused rather than recursed into.
constexpr int kMaxNesting = 64;
// Field names and values quoted in error messages are cut to this many characters.
constexpr size_t kMaxQuotedInError = 40;
// Digits a date or time part may have, leading zeros included.
constexpr size_t kMaxDateDigits = 6;
constexpr double kSecondsPerDay = 86400.0;

struct FieldInfo {
    std::u16string_view name;
    Field field;
    FieldKind kind;
};

constexpr std::array<FieldInfo, 13> kFields = {{
    {u"Start", Field::Start, FieldKind::Date},
    {u"End", Field::End, FieldKind::Date},
    {u"DueDate", Field::DueDate, FieldKind::Date},
    {u"StartDate", Field::StartDate, FieldKind::Date},
    {u"DateCompleted", Field::DateCompleted, FieldKind::Date},
    {u"Complete", Field::Complete, FieldKind::Flag},
    {u"AllDayEvent", Field::AllDayEvent, FieldKind::Flag},
    {u"ReminderSet", Field::ReminderSet, FieldKind::Flag},
    {u"IsRecurring", Field::IsRecurring, FieldKind::Flag},
    {u"Subject", Field::Subject, FieldKind::Text},
    {u"Location", Field::Location, FieldKind::Text},
    {u"Categories", Field::Categories, FieldKind::Text},
    {u"Body", Field::Body, FieldKind::Text},
}};

const FieldInfo& InfoOf(Field field) {
    return *std::find_if(kFields.begin(), kFields.end(),
                         [field](const FieldInfo& info) { return info.field == field; });
}

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

using platform::IsHighSurrogate;
using platform::IsLowSurrogate;
// Parsing refuses broken UTF-16, so the lossy conversion never replaces anything here.
using platform::Utf16ToUtf8Lossy;

// Compares UTF-16 in code point order (the order of the same text in UTF-8): surrogates, which
// encode the code points past U+FFFF, must sort after U+E000..U+FFFF.
int CompareCodePoints(std::u16string_view a, std::u16string_view b) {
    const auto rank = [](char16_t c) -> uint32_t {
        if (c >= 0xE000) {
            return c - 0x800u;
        }
        return c >= 0xD800 ? c + 0x2000u : c;
    };
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) {
            return rank(a[i]) < rank(b[i]) ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

// Reads 1..kMaxDateDigits digits at `pos`.
std::optional<int> ReadNumber(std::u16string_view text, size_t& pos, size_t exactDigits = 0) {
    const size_t start = pos;
    int value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < kMaxDateDigits) {
        value = value * 10 + (text[pos] - u'0');
        ++pos;
    }
    const size_t digits = pos - start;
    if (digits == 0 || (pos < text.size() && IsDigit(text[pos])) ||
        (exactDigits != 0 && digits != exactDigits)) {
        return std::nullopt;
    }
    return value;
}

void SkipSpaces(std::u16string_view text, size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
}

// "y/m/d", optionally followed by "h:mm" or "h:mm:ss" and then by AM or PM, as the interval of
// linear values it names.
std::optional<std::pair<double, double>> ParseDateValue(std::u16string_view text) {
    size_t pos = 0;
    SkipSpaces(text, pos);
    const auto year = ReadNumber(text, pos);
    if (!year || pos >= text.size() || text[pos++] != u'/') {
        return std::nullopt;
    }
    const auto month = ReadNumber(text, pos);
    if (!month || pos >= text.size() || text[pos++] != u'/') {
        return std::nullopt;
    }
    const auto day = ReadNumber(text, pos);
    if (!day) {
        return std::nullopt;
    }
    const size_t afterDay = pos;
    SkipSpaces(text, pos);
    const bool hasTime = pos < text.size();
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (hasTime) {
        if (pos == afterDay) {
            return std::nullopt;
        }
        const auto h = ReadNumber(text, pos);
        if (!h || *h > 23 || pos >= text.size() || text[pos++] != u':') {
            return std::nullopt;
        }
        const auto m = ReadNumber(text, pos, 2);
        if (!m || *m > 59) {
            return std::nullopt;
        }
        hour = *h;
        minute = *m;
        if (pos < text.size() && text[pos] == u':') {
            ++pos;
            const auto s = ReadNumber(text, pos, 2);
            if (!s || *s > 59) {
                return std::nullopt;
            }
            second = *s;
        }
        SkipSpaces(text, pos);
        if (text.size() - pos >= 2 && AsciiLower(text[pos + 1]) == u'm' &&
            (AsciiLower(text[pos]) == u'a' || AsciiLower(text[pos]) == u'p')) {
            if (hour < 1 || hour > 12) {
                return std::nullopt;
            }
            hour = hour % 12 + (AsciiLower(text[pos]) == u'p' ? 12 : 0);
            pos += 2;
            SkipSpaces(text, pos);
        }
        if (pos != text.size()) {
            return std::nullopt;
        }
    }
    const auto date = platform::MakeDate(*year, *month, *day, hour, minute, second);
    if (!date) {
        return std::nullopt;
    }
    const double linear = platform::DateToLinear(*date);
    if (!hasTime) {
        return std::pair{linear, linear + 1};
    }
    const double halfSecond = 0.5 / kSecondsPerDay;
    return std::pair{linear - halfSecond, linear + halfSecond};
}

std::string_view OperatorText(Operator op) {
    switch (op) {
        case Operator::Equal:
            return "=";
        case Operator::NotEqual:
            return "<>";
        case Operator::Less:
            return "<";
        case Operator::LessEqual:
            return "<=";
        case Operator::Greater:
            return ">";
        case Operator::GreaterEqual:
            return ">=";
    }
    return "=";
}

// Recursive descent over the text; the first error stops the parse and is kept in error_.
class Parser {
public:
    explicit Parser(std::u16string_view text) : text_(text) {}

    platform::Result<Restriction> Parse() {
        for (size_t i = 0; i < text_.size(); ++i) {
            const bool pairedHigh =
                IsHighSurrogate(text_[i]) && i + 1 < text_.size() && IsLowSurrogate(text_[i + 1]);
            if (pairedHigh) {
                ++i;
            } else if (IsHighSurrogate(text_[i]) || IsLowSurrogate(text_[i])) {
                return platform::MakeError("restriction: broken UTF-16 at character " +
                                           std::to_string(CharacterAt(i)));
            }
        }
        SkipSpaces(text_, pos_);
        if (pos_ == text_.size()) {
            return platform::MakeError("restriction: the restriction is empty");
        }
        auto root = ParseExpression();
        if (root) {
            SkipSpaces(text_, pos_);
            if (pos_ != text_.size()) {
                Fail(text_[pos_] == u')' ? "unmatched )" : "unexpected text", pos_);
            }
        }
        if (error_) {
            return *error_;
        }
        return Restriction(std::make_shared<const RestrictionNode>(std::move(*root)));
    }

private:
    // 1-based, counting a surrogate pair as one character.
    size_t CharacterAt(size_t pos) const {
        const auto end = text_.begin() + static_cast<std::ptrdiff_t>(std::min(pos, text_.size()));
        return 1 + static_cast<size_t>(std::count_if(
                       text_.begin(), end, [](char16_t c) { return !IsLowSurrogate(c); }));
    }

    std::nullopt_t Fail(const std::string& what, size_t pos) {
        if (!error_) {
            error_ = platform::MakeError("restriction: " + what + " at character " +
                                         std::to_string(CharacterAt(pos)));
        }
        return std::nullopt;
    }

    static std::string Quote(std::u16string_view text) {
        if (text.size() > kMaxQuotedInError) {
            size_t cut = kMaxQuotedInError;
            if (IsLowSurrogate(text[cut])) {
                --cut;
            }
            return Utf16ToUtf8Lossy(text.substr(0, cut)) + "...";
        }
        return Utf16ToUtf8Lossy(text);
    }

    // Accepts a keyword when it stands alone: `order` does not start with `or`.
    bool AcceptKeyword(std::u16string_view keyword) {
        SkipSpaces(text_, pos_);
        const std::u16string_view rest = text_.substr(pos_);
        if (rest.size() < keyword.size() ||
            !EqualsIgnoringCase(rest.substr(0, keyword.size()), keyword)) {
            return false;
        }
        if (rest.size() > keyword.size() &&
            (IsLetter(rest[keyword.size()]) || IsDigit(rest[keyword.size()]) ||
             rest[keyword.size()] == u'_')) {
            return false;
        }
        pos_ += keyword.size();
        return true;
    }

    std::optional<RestrictionNode> ParseExpression() {
        return ParseChain(u"or", RestrictionNode::Kind::Or, &Parser::ParseTerm);
    }

    std::optional<RestrictionNode> ParseTerm() {
        return ParseChain(u"and", RestrictionNode::Kind::And, &Parser::ParseFactor);
    }

    // operand { keyword operand }, as one node with every operand a child.
    std::optional<RestrictionNode> ParseChain(std::u16string_view keyword,
                                              RestrictionNode::Kind kind,
                                              std::optional<RestrictionNode> (Parser::*operand)()) {
        auto first = (this->*operand)();
        if (!first) {
            return std::nullopt;
        }
        if (!AcceptKeyword(keyword)) {
            return first;
        }
        RestrictionNode chain;
        chain.kind = kind;
        chain.children.push_back(std::move(*first));
        do {
            auto next = (this->*operand)();
            if (!next) {
                return std::nullopt;
            }
            chain.children.push_back(std::move(*next));
        } while (AcceptKeyword(keyword));
        return chain;
    }

    std::optional<RestrictionNode> ParseFactor() {
        SkipSpaces(text_, pos_);
        const size_t start = pos_;
        if (pos_ == text_.size()) {
            return Fail("expected a comparison", pos_);
        }
        const bool negated = AcceptKeyword(u"not");
        const bool grouped = !negated && text_[pos_] == u'(';
        if (!negated && !grouped) {
            return ParseComparison();
        }
        if (depth_ == kMaxNesting) {
            return Fail("nesting deeper than " + std::to_string(kMaxNesting) + " levels", start);
        }
        ++depth_;
        std::optional<RestrictionNode> inner;
        if (negated) {
            inner = ParseFactor();
        } else {
            ++pos_;
            inner = ParseExpression();
            SkipSpaces(text_, pos_);
            if (inner && pos_ == text_.size()) {
                return Fail("unclosed (", start);
            }
            if (inner && text_[pos_] != u')') {
                return Fail("expected )", pos_);
            }
            ++pos_;
        }
        --depth_;
        if (!inner || !negated) {
            return inner;
        }
        RestrictionNode node;
        node.kind = RestrictionNode::Kind::Not;
        node.children.push_back(std::move(*inner));
        return node;
    }

    std::optional<RestrictionNode> ParseComparison() {
        const size_t fieldStart = pos_;
        if (text_[pos_] != u'[') {
            return Fail("expected a [field]", pos_);
        }
        const size_t close = text_.find(u']', pos_);
        if (close == std::u16string_view::npos) {
            return Fail("unterminated field name", fieldStart);
        }
        const std::u16string_view name = text_.substr(pos_ + 1, close - pos_ - 1);
        const auto info = std::find_if(kFields.begin(), kFields.end(), [name](const FieldInfo& f) {
            return EqualsIgnoringCase(f.name, name);
        });
        if (info == kFields.end()) {
            return Fail("unknown field [" + Quote(name) + "]", fieldStart);
        }
        pos_ = close + 1;
        const std::string fieldText = "[" + Utf16ToUtf8Lossy(info->name) + "]";

        Comparison comparison;
        comparison.field = info->field;
        SkipSpaces(text_, pos_);
        const auto op = ReadOperator();
        if (!op) {
            return Fail("expected an operator (=, <>, <, <=, >, >=) after " + fieldText, pos_);
        }
        comparison.op = *op;

        SkipSpaces(text_, pos_);
        const size_t valueStart = pos_;
        if (pos_ == text_.size()) {
            return Fail("expected a value for " + fieldText, pos_);
        }
        if (text_[pos_] == u'"') {
            auto quoted = ReadQuoted();
            if (!quoted) {
                return std::nullopt;
            }
            if (info->kind == FieldKind::Flag) {
                return Fail(fieldText + " needs TRUE or FALSE, not a quoted string", valueStart);
            }
            if (info->kind == FieldKind::Text) {
                comparison.text = std::move(*quoted);
            } else {
                const auto interval = ParseDateValue(*quoted);
                if (!interval) {
                    return Fail("invalid date \"" + Quote(*quoted) + "\"", valueStart);
                }
                comparison.lower = interval->first;
                comparison.upper = interval->second;
            }
        } else if (info->kind != FieldKind::Flag) {
            return Fail(fieldText + " needs a quoted " +
                            (info->kind == FieldKind::Date ? "date" : "string"),
                        valueStart);
        } else {
            const auto flag = ReadFlag();
            if (!flag) {
                return Fail(fieldText + " needs TRUE, FALSE, -1, 0 or 1", valueStart);
            }
            comparison.flag = *flag;
        }
        if (info->kind == FieldKind::Flag && *op != Operator::Equal && *op != Operator::NotEqual) {
            return Fail(
                "operator " + std::string(OperatorText(*op)) + " does not apply to " + fieldText,
                valueStart);
        }
        RestrictionNode node;
        node.comparison = std::move(comparison);
        return node;
    }

    std::optional<Operator> ReadOperator() {
        const auto at = [this](size_t offset) {
            return pos_ + offset < text_.size() ? text_[pos_ + offset] : u'\0';
        };
        std::optional<Operator> op;
        size_t length = 1;
        if (at(0) == u'=') {
            op = Operator::Equal;
        } else if (at(0) == u'<' && at(1) == u'>') {
            op = Operator::NotEqual;
            length = 2;
        } else if (at(0) == u'<' && at(1) == u'=') {
            op = Operator::LessEqual;
            length = 2;
        } else if (at(0) == u'<') {
            op = Operator::Less;
        } else if (at(0) == u'>' && at(1) == u'=') {
            op = Operator::GreaterEqual;
            length = 2;
        } else if (at(0) == u'>') {
            op = Operator::Greater;
        }
        if (op) {
            pos_ += length;
        }
        return op;
    }

    // A double-quoted string at pos_, in which "" stands for one quote.
    std::optional<std::u16string> ReadQuoted() {
        const size_t start = pos_;
        std::u16string value;
        ++pos_;
        while (pos_ < text_.size()) {
            if (text_[pos_] == u'"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'"') {
                    value += u'"';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return value;
            }
            value += text_[pos_++];
        }
        return Fail("unterminated string", start);
    }

    // TRUE, FALSE, -1, 0 or 1.
    std::optional<bool> ReadFlag() {
        size_t end = pos_;
        if (end < text_.size() && text_[end] == u'-') {
            ++end;
        }
        while (end < text_.size() &&
               (IsLetter(text_[end]) || IsDigit(text_[end]) || text_[end] == u'_')) {
            ++end;
        }
        const std::u16string_view word = text_.substr(pos_, end - pos_);
        std::optional<bool> flag;
        if (EqualsIgnoringCase(word, u"true") || word == u"-1" || word == u"1") {
            flag = true;
        } else if (EqualsIgnoringCase(word, u"false") || word == u"0") {
            flag = false;
        }
        if (flag) {
            pos_ = end;
        }
        return flag;
    }

    std::u16string_view text_;
    size_t pos_ = 0;
    int depth_ = 0;
    std::optional<platform::Error> error_;
};

enum class Truth { False, True, Unknown };

Truth Compare(const Comparison& c, const FieldValues& values) {
    bool holds = false;
    switch (InfoOf(c.field).kind) {
        case FieldKind::Date: {
            const auto value = values.DateLinear(c.field);
            if (!value || std::isnan(*value)) {
                return Truth::Unknown;
            }
            const double x = *value;
            switch (c.op) {
                case Operator::Equal:
                    holds = x >= c.lower && x < c.upper;
                    break;
                case Operator::NotEqual:
                    holds = x < c.lower || x >= c.upper;
                    break;
                case Operator::Less:
                    holds = x < c.lower;
                    break;
                case Operator::LessEqual:
                    holds = x < c.upper;
                    break;
                case Operator::Greater:
                    holds = x >= c.upper;
                    break;
                case Operator::GreaterEqual:
                    holds = x >= c.lower;
                    break;
            }
            break;
        }
        case FieldKind::Flag: {
            const auto value = values.Flag(c.field);
            if (!value) {
                return Truth::Unknown;
            }
            holds = (*value == c.flag) == (c.op == Operator::Equal);
            break;
        }
        case FieldKind::Text: {
            const auto value = values.Text(c.field);
            if (!value) {
                return Truth::Unknown;
            }
            const int order = CompareCodePoints(*value, c.text);
            switch (c.op) {
                case Operator::Equal:
                    holds = order == 0;
                    break;
                case Operator::NotEqual:
                    holds = order != 0;
                    break;
                case Operator::Less:
                    holds = order < 0;
                    break;
                case Operator::LessEqual:
                    holds = order <= 0;
                    break;
                case Operator::Greater:
                    holds = order > 0;
                    break;
                case Operator::GreaterEqual:
                    holds = order >= 0;
                    break;
            }
            break;
        }
    }
    return holds ? Truth::True : Truth::False;
}

// Three-valued, as SQL evaluates the same tree.
Truth Evaluate(const RestrictionNode& node, const FieldValues& values) {
    switch (node.kind) {
        case RestrictionNode::Kind::Compare:
            return Compare(node.comparison, values);
        case RestrictionNode::Kind::Not: {
            const Truth inner = Evaluate(node.children.front(), values);
            if (inner == Truth::Unknown) {
                return inner;
            }
            return inner == Truth::True ? Truth::False : Truth::True;
        }
        case RestrictionNode::Kind::And:
        case RestrictionNode::Kind::Or: {
            // `and` is decided by the first false operand, `or` by the first true one.
            const Truth decisive =
                node.kind == RestrictionNode::Kind::And ? Truth::False : Truth::True;
            Truth result = decisive == Truth::False ? Truth::True : Truth::False;
            for (const RestrictionNode& child : node.children) {
                const Truth t = Evaluate(child, values);
                if (t == decisive) {
                    return t;
                }
                if (t == Truth::Unknown) {
                    result = Truth::Unknown;
                }
            }
            return result;
        }
    }
    return Truth::Unknown;
}

bool AppendSql(const RestrictionNode& node, const SqlColumns& columns, SqlFilter& out) {
    switch (node.kind) {
        case RestrictionNode::Kind::Compare: {
            const Comparison& c = node.comparison;
            const auto column = columns(c.field);
            if (!column) {
                return false;
            }
            const std::string& col = *column;
            switch (InfoOf(c.field).kind) {
                case FieldKind::Date:
                    switch (c.op) {
                        case Operator::Equal:
                            out.where += "(" + col + " >= ? AND " + col + " < ?)";
                            out.parameters.emplace_back(c.lower);
                            out.parameters.emplace_back(c.upper);
                            break;
                        case Operator::NotEqual:
                            out.where += "(" + col + " < ? OR " + col + " >= ?)";
                            out.parameters.emplace_back(c.lower);
                            out.parameters.emplace_back(c.upper);
                            break;
                        case Operator::Less:
                        case Operator::GreaterEqual:
                            out.where += col + (c.op == Operator::Less ? " < ?" : " >= ?");
                            out.parameters.emplace_back(c.lower);
                            break;
                        case Operator::LessEqual:
                        case Operator::Greater:
                            out.where += col + (c.op == Operator::LessEqual ? " < ?" : " >= ?");
                            out.parameters.emplace_back(c.upper);
                            break;
                    }
                    break;
                case FieldKind::Flag:
                    out.where += col + ((c.flag == (c.op == Operator::Equal)) ? " <> 0" : " = 0");
                    break;
                case FieldKind::Text:
                    out.where += col + " " + std::string(OperatorText(c.op)) + " ?";
                    out.parameters.emplace_back(Utf16ToUtf8Lossy(c.text));
                    break;
            }
            return true;
        }
        case RestrictionNode::Kind::Not:
            out.where += "NOT (";
            if (!AppendSql(node.children.front(), columns, out)) {
                return false;
            }
            out.where += ")";
            return true;
        case RestrictionNode::Kind::And:
        case RestrictionNode::Kind::Or: {
            const char* joiner = node.kind == RestrictionNode::Kind::And ? " AND " : " OR ";
            out.where += "(";
            for (size_t i = 0; i < node.children.size(); ++i) {
                if (i > 0) {
                    out.where += joiner;
                }
                if (!AppendSql(node.children[i], columns, out)) {
                    return false;
                }
            }
            out.where += ")";
            return true;
        }
    }
    return false;
}

void NarrowRange(const RestrictionNode& node, Field field, LinearRange& range) {
    if (node.kind == RestrictionNode::Kind::And) {
        for (const RestrictionNode& child : node.children) {
            NarrowRange(child, field, range);
        }
        return;
    }
    if (node.kind != RestrictionNode::Kind::Compare || node.comparison.field != field) {
        return;
    }
    const Comparison& c = node.comparison;
    const auto raiseLower = [&range](double bound) {
        range.lower = range.lower ? std::max(*range.lower, bound) : bound;
    };
    const auto cutUpper = [&range](double bound) {
        range.upper = range.upper ? std::min(*range.upper, bound) : bound;
    };
    switch (c.op) {
        case Operator::Equal:
            raiseLower(c.lower);
            cutUpper(c.upper);
            break;
        case Operator::NotEqual:
            break;
        case Operator::Less:
            cutUpper(c.lower);
            break;
        case Operator::LessEqual:
            cutUpper(c.upper);
            break;
        case Operator::Greater:
            raiseLower(c.upper);
            break;
        case Operator::GreaterEqual:
            raiseLower(c.lower);
            break;
    }
}

}  // namespace

platform::Result<Restriction> ParseRestriction(std::u16string_view text) {
    return Parser(text).Parse();
}

platform::Result<Restriction> ParseRestriction(std::string_view utf8) {
    auto converted = platform::Utf8ToUtf16(utf8);
    if (const auto* bad = std::get_if<platform::Utf8Error>(&converted)) {
        return platform::MakeError("restriction: invalid UTF-8 at byte " +
                                   std::to_string(bad->byteOffset + 1));
    }
    return ParseRestriction(std::u16string_view(std::get<std::u16string>(converted)));
}

bool Matches(const Restriction& restriction, const FieldValues& values) {
    return Evaluate(restriction.root(), values) == Truth::True;
}

std::optional<SqlFilter> ToSql(const Restriction& restriction, const SqlColumns& columns) {
    if (!columns) {
        return std::nullopt;
    }
    SqlFilter filter;
    if (!AppendSql(restriction.root(), columns, filter)) {
        return std::nullopt;
    }
    return filter;
}

std::vector<Restriction> Restriction::Alternatives() const {
    std::vector<Restriction> alternatives;
    std::vector<const RestrictionNode*> pending{root_.get()};
    while (!pending.empty()) {
        const RestrictionNode* node = pending.back();
        pending.pop_back();
        if (node->kind == RestrictionNode::Kind::Or) {
            // Reversed onto the stack, so the alternatives come out in the order written.
            for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
                pending.push_back(&*child);
            }
        } else {
            // Each shares the whole tree, which keeps its node alive.
            alternatives.emplace_back(std::shared_ptr<const RestrictionNode>(root_, node));
        }
    }
    return alternatives;
}

LinearRange ImpliedRange(const Restriction& restriction, Field field) {
    LinearRange range;
    if (InfoOf(field).kind == FieldKind::Date) {
        NarrowRange(restriction.root(), field, range);
    }
    return range;
}

}  // namespace store
