#include "store/restriction.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>

#include "platform/time/date_time.h"

namespace store {
namespace {

double Linear(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return platform::DateToLinear(*platform::MakeDate(y, m, d, h, mi, s));
}

struct Item final : FieldValues {
    std::map<Field, double> dates;
    std::map<Field, bool> flags;
    std::map<Field, std::u16string> texts;

    std::optional<double> DateLinear(Field f) const override {
        auto it = dates.find(f);
        return it == dates.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<bool> Flag(Field f) const override {
        auto it = flags.find(f);
        return it == flags.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::u16string_view> Text(Field f) const override {
        auto it = texts.find(f);
        return it == texts.end() ? std::nullopt : std::optional<std::u16string_view>(it->second);
    }
};

Item Dated(Field f, double linear) {
    Item item;
    item.dates[f] = linear;
    return item;
}

Restriction Parsed(std::string_view text) {
    auto parsed = ParseRestriction(text);
    if (!parsed) {
        ADD_FAILURE() << text << ": " << parsed.error().message;
        return *ParseRestriction("[Subject] < \"\"");  // matches nothing
    }
    return *parsed;
}

bool Match(std::string_view text, const Item& item) {
    return Matches(Parsed(text), item);
}

struct Case {
    const char* restriction;
    Item item;
    bool expected;
};

void ExpectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(Match(c.restriction, c.item), c.expected) << c.restriction;
    }
}

constexpr const char* kWindow = R"([Start] <= "2004/10/18" and [End] >= "2004/10/5")";
constexpr const char* kDue = R"([DueDate] <= "2004/10/18" and [DueDate] >= "2004/10/5")";
constexpr const char* kDone = R"([Complete] = FALSE or [DateCompleted] = "2004/10/5")";
constexpr const char* kCensus = R"([Start] >= "2004/10/1" and [Start] <= "2004/10/31")";

Item Appointment(double start, double end) {
    Item item;
    item.dates = {{Field::Start, start}, {Field::End, end}};
    return item;
}

Item Task(bool complete, std::optional<double> completed) {
    Item item;
    item.flags[Field::Complete] = complete;
    if (completed) {
        item.dates[Field::DateCompleted] = *completed;
    }
    return item;
}

TEST(Restriction, StoreQueriesCompareWholeDaysAtTheBoundaries) {
    ExpectCases({
        {kWindow, Appointment(Linear(2004, 10, 18, 23), Linear(2004, 10, 18, 23, 30)), true},
        {kWindow, Appointment(Linear(2004, 10, 19), Linear(2004, 10, 19, 1)), false},
        {kWindow, Appointment(Linear(2004, 10, 4, 22), Linear(2004, 10, 5)), true},
        {kWindow, Appointment(Linear(2004, 10, 4, 22), Linear(2004, 10, 4, 23, 59, 59)), false},
        {kDue, Dated(Field::DueDate, Linear(2004, 10, 18, 23)), true},
        {kDue, Dated(Field::DueDate, Linear(2004, 10, 5)), true},
        {kDue, Dated(Field::DueDate, Linear(2004, 10, 19)), false},
        {kDue, Dated(Field::DueDate, Linear(2004, 10, 4, 23)), false},
        {kDone, Task(false, std::nullopt), true},
        {kDone, Task(true, Linear(2004, 10, 5, 23, 59)), true},
        {kDone, Task(true, Linear(2004, 10, 6)), false},
        {kDone, Task(true, Linear(2004, 10, 4, 12)), false},
        {kCensus, Dated(Field::Start, Linear(2004, 10, 1)), true},
        {kCensus, Dated(Field::Start, Linear(2004, 10, 31, 23)), true},
        {kCensus, Dated(Field::Start, Linear(2004, 11, 1)), false},
        {kCensus, Dated(Field::Start, Linear(2004, 9, 30, 23, 59, 59)), false},
    });
}

TEST(Restriction, DateOperatorsByDayAndBySecond) {
    // Each operator against the same four starts: just before the day, its first moment, late
    // in it, the next day.
    const double byDay[] = {Linear(2004, 10, 4, 23, 59, 59), Linear(2004, 10, 5),
                            Linear(2004, 10, 5, 23), Linear(2004, 10, 6)};
    const std::map<std::string, std::array<bool, 4>> dayResults = {
        {"=", {false, true, true, false}},  {"<>", {true, false, false, true}},
        {"<", {true, false, false, false}}, {"<=", {true, true, true, false}},
        {">", {false, false, false, true}}, {">=", {false, true, true, true}},
    };
    const double bySecond[] = {Linear(2004, 10, 5, 21, 29, 59), Linear(2004, 10, 5, 21, 30),
                               Linear(2004, 10, 5, 21, 30, 1)};
    const std::map<std::string, std::array<bool, 3>> timeResults = {
        {"=", {false, true, false}}, {"<>", {true, false, true}}, {"<", {true, false, false}},
        {"<=", {true, true, false}}, {">", {false, false, true}}, {">=", {false, true, true}},
    };
    for (const auto& [op, expected] : dayResults) {
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(Match("[Start] " + op + " \"2004/10/5\"", Dated(Field::Start, byDay[i])),
                      expected[i])
                << op << " #" << i;
        }
    }
    for (const auto& [op, expected] : timeResults) {
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(
                Match("[Start] " + op + " \"2004/10/5 9:30 PM\"", Dated(Field::Start, bySecond[i])),
                expected[i])
                << op << " #" << i;
        }
    }
    // The time forms: 24-hour, seconds, 12 AM as midnight, leading zeros; a stored value a
    // fraction of a second off still equals its second.
    const Item at2130 = Dated(Field::Start, Linear(2004, 10, 5, 21, 30) + 0.4 / 86400);
    EXPECT_TRUE(Match(R"([Start] = "2004/10/5 21:30")", at2130));
    EXPECT_TRUE(Match(R"([Start] = "2004/10/05 21:30:00")", at2130));
    EXPECT_FALSE(Match(R"([Start] = "2004/10/5 21:30:01")", at2130));
    EXPECT_TRUE(Match(R"([Start] = "2004/10/5 12:00 am")", Dated(Field::Start, byDay[1])));
    EXPECT_TRUE(
        Match(R"([Start] = "2004/10/5 12:00 PM")", Dated(Field::Start, Linear(2004, 10, 5, 12))));
}

TEST(Restriction, AndBindsTighterThanOrAndNotAppliesToOneFactor) {
    Item item;
    item.flags[Field::Complete] = true;
    item.texts = {{Field::Subject, u"x"}, {Field::Location, u"c"}};
    ExpectCases({
        {R"([Complete] = TRUE or [Subject] = "a" and [Location] = "b")", item, true},
        {R"(([Complete] = TRUE or [Subject] = "a") and [Location] = "b")", item, false},
        {R"([Subject] = "a" and [Location] = "b" or [Complete] = TRUE)", item, true},
        {R"(NOT [Complete] = TRUE Or [Location] = "c")", item, true},
        {R"(not ([Complete] = TRUE or [Location] = "b"))", item, false},
        {R"(not [Subject] = "a" AND not not [Location] = "c")", item, true},
        {"\t[complete]=true\nand\r\n[LOCATION]<>\"b\"", item, true},
    });
}

// The store reads each alternative from an index of its own and joins what they select: an
// item must match one alternative exactly when it matches the whole.
TEST(Restriction, AlternativesSelectTogetherWhatTheWholeSelects) {
    struct Shape {
        const char* restriction;
        size_t alternatives;
    };
    const std::vector<Shape> shapes = {
        {kDone, 2},
        {R"([Complete] = FALSE)", 1},
        {R"([Complete] = FALSE and [DueDate] = "2004/10/7" or [DateCompleted] = "2004/10/5")", 2},
        {R"([DueDate] >= "2004/10/7" and ([Complete] = TRUE or [Subject] = "a"))", 1},
        {R"([Complete] = TRUE or [Subject] = "a" or [Body] = "c" and [DueDate] < "2004/10/7")", 3},
        {R"(([Complete] = TRUE or [Subject] = "a") and ([Body] = "b" or [Location] = "c"))", 1},
        {R"(not ([Complete] = TRUE or [Subject] = "a") or [DueDate] < "2004/10/7")", 2},
    };
    std::vector<Item> items;
    for (const bool complete : {false, true}) {
        for (const std::optional<double> completed :
             {std::optional<double>(), std::optional(Linear(2004, 10, 5, 23, 59, 59))}) {
            for (const double due : {Linear(2004, 10, 6), Linear(2004, 10, 7, 12)}) {
                for (const char16_t* subject : {u"a", u"z"}) {
                    Item item = Task(complete, completed);
                    item.dates[Field::DueDate] = due;
                    item.texts = {{Field::Subject, subject}, {Field::Body, u"b"}};
                    items.push_back(item);
                }
            }
        }
    }
    for (const Shape& shape : shapes) {
        const Restriction whole = Parsed(shape.restriction);
        const std::vector<Restriction> alternatives = whole.Alternatives();
        EXPECT_EQ(alternatives.size(), shape.alternatives) << shape.restriction;
        int matched = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            const bool any =
                std::any_of(alternatives.begin(), alternatives.end(),
                            [&](const Restriction& r) { return Matches(r, items[i]); });
            EXPECT_EQ(any, Matches(whole, items[i])) << shape.restriction << ", item " << i;
            matched += any ? 1 : 0;
        }
        // Each shape selects some items and leaves others, so the comparison means something.
        EXPECT_GT(matched, 0) << shape.restriction;
        EXPECT_LT(matched, static_cast<int>(items.size())) << shape.restriction;
    }
}

TEST(Restriction, MissingValuesNeverMatchEvenUnderNot) {
    const Item task = Task(false, std::nullopt);  // no [Start], no [DateCompleted]
    ExpectCases({
        {R"([Start] <> "2004/10/5")", task, false},
        {R"(not [Start] = "2004/10/5")", task, false},
        {R"(not ([Start] = "2004/10/5" or [Complete] = TRUE))", task, false},
        {R"(not ([Start] = "2004/10/5" and [Complete] = TRUE))", task, true},
        {R"([Start] = "2004/10/5" or [Complete] = FALSE)", task, true},
        {R"([Subject] <> "a")", task, false},
        {R"([ReminderSet] = FALSE)", task, false},
    });
}

TEST(Restriction, BooleansAndTexts) {
    Item item;
    item.flags = {{Field::AllDayEvent, true}, {Field::ReminderSet, false}};
    item.texts = {{Field::Subject, u"定例会議"}, {Field::Body, u"say \"hi\""}};
    ExpectCases({
        {"[AllDayEvent] = TRUE", item, true},
        {"[AllDayEvent] = -1", item, true},
        {"[AllDayEvent] = 1", item, true},
        {"[AllDayEvent] <> true", item, false},
        {"[ReminderSet] = false", item, true},
        {"[ReminderSet] = 0", item, true},
        {"[ReminderSet] <> FALSE", item, false},
        {"[subject] = \"定例会議\"", item, true},
        {"[Subject] = \"定例\"", item, false},
        {"[Subject] > \"定例\"", item, true},
        {"[Subject] < \"定例\"", item, false},
        {R"([Body] = "say ""hi""")", item, true},
    });
    EXPECT_TRUE(Matches(*ParseRestriction(u"[Subject] <> \"定例会議 \""), item));
    Item cased;
    cased.texts[Field::Location] = u"Room A";
    EXPECT_FALSE(Match(R"([Location] = "room a")", cased));
    // Code point order: U+1F600 sorts after U+FF01 although its UTF-16 code units do not.
    Item emoji;
    emoji.texts[Field::Subject] = u"😀";
    EXPECT_TRUE(Match("[Subject] > \"！\"", emoji));
}

TEST(Restriction, ImpliedRangeOfTheTopLevelConjunction) {
    const LinearRange window = ImpliedRange(Parsed(kWindow), Field::Start);
    EXPECT_FALSE(window.lower);
    EXPECT_EQ(window.upper, Linear(2004, 10, 19));
    EXPECT_EQ(ImpliedRange(Parsed(kWindow), Field::End).lower, Linear(2004, 10, 5));
    EXPECT_FALSE(ImpliedRange(Parsed(kWindow), Field::End).upper);

    const LinearRange census = ImpliedRange(Parsed(kCensus), Field::Start);
    EXPECT_EQ(census.lower, Linear(2004, 10, 1));
    EXPECT_EQ(census.upper, Linear(2004, 11, 1));

    const LinearRange nested = ImpliedRange(
        Parsed(R"(([Start] > "2004/10/1" and [Start] < "2004/10/9") and [Start] >= "2004/10/3")"),
        Field::Start);
    EXPECT_EQ(nested.lower, Linear(2004, 10, 3));
    EXPECT_EQ(nested.upper, Linear(2004, 10, 9));
    const LinearRange day = ImpliedRange(Parsed(R"([Start] = "2004/10/5")"), Field::Start);
    EXPECT_EQ(day.lower, Linear(2004, 10, 5));
    EXPECT_EQ(day.upper, Linear(2004, 10, 6));

    for (const char* unbounded : {kDone, R"([Start] >= "2004/10/1" or [Complete] = TRUE)",
                                  R"(not [Start] >= "2004/10/1")", R"([Start] <> "2004/10/1")"}) {
        const LinearRange range = ImpliedRange(Parsed(unbounded), Field::Start);
        EXPECT_FALSE(range.lower || range.upper) << unbounded;
    }
    EXPECT_FALSE(ImpliedRange(Parsed(kDone), Field::DateCompleted).lower);
}

std::optional<std::string> Column(Field f) {
    switch (f) {
        case Field::Start:
            return "start";
        case Field::End:
            return "\"end\"";
        case Field::Complete:
            return "complete";
        case Field::Subject:
            return "subject";
        default:
            return std::nullopt;
    }
}

TEST(Restriction, SqlUsesPlainRangesAndNeedsEveryColumn) {
    const auto sql = ToSql(Parsed(kWindow), Column);
    ASSERT_TRUE(sql);
    EXPECT_EQ(sql->where, "(start < ? AND \"end\" >= ?)");
    EXPECT_EQ(sql->parameters,
              (std::vector<SqlParameter>{Linear(2004, 10, 19), Linear(2004, 10, 5)}));
    EXPECT_FALSE(ToSql(Parsed(kDone), Column));  // [DateCompleted] has no column here
}

// Rows stored the way the store keeps them; booleans as the raw integer, -1 for true.
struct Row {
    std::optional<double> start, end;
    std::optional<int> complete;
    std::optional<std::u16string> subject;
};

TEST(Restriction, SqlSelectsExactlyTheRowsThatMatch) {
    const std::vector<Row> rows = {
        {Linear(2004, 10, 18, 23), Linear(2004, 10, 19, 1), 0, u"定例会議"},
        {Linear(2004, 10, 19), Linear(2004, 10, 19, 2), -1, u"Review"},
        {Linear(2004, 10, 4, 22), Linear(2004, 10, 5), 1, u"😀"},
        {Linear(2004, 10, 5, 21, 30), Linear(2004, 10, 5, 22), std::nullopt, u"！"},
        {Linear(2004, 10, 31, 23), std::nullopt, 0, std::nullopt},
        {std::nullopt, std::nullopt, std::nullopt, u"review"},
        {Linear(1899, 12, 29, 6), Linear(1899, 12, 29, 18), 1, u""},
    };
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE items(id INTEGER PRIMARY KEY, start REAL, \"end\" REAL,"
                           " complete INTEGER, subject TEXT)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, "INSERT INTO items VALUES(?, ?, ?, ?, ?)", -1, &insert, nullptr),
        SQLITE_OK);
    std::vector<Item> items;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        Item item;
        sqlite3_bind_int(insert, 1, static_cast<int>(i));
        r.start ? sqlite3_bind_double(insert, 2, *r.start) : sqlite3_bind_null(insert, 2);
        r.end ? sqlite3_bind_double(insert, 3, *r.end) : sqlite3_bind_null(insert, 3);
        r.complete ? sqlite3_bind_int(insert, 4, *r.complete) : sqlite3_bind_null(insert, 4);
        r.subject ? sqlite3_bind_text16(insert, 5, r.subject->data(),
                                        static_cast<int>(r.subject->size() * 2), SQLITE_TRANSIENT)
                  : sqlite3_bind_null(insert, 5);
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
        if (r.start) {
            item.dates[Field::Start] = *r.start;
        }
        if (r.end) {
            item.dates[Field::End] = *r.end;
        }
        if (r.complete) {
            item.flags[Field::Complete] = *r.complete != 0;
        }
        if (r.subject) {
            item.texts[Field::Subject] = *r.subject;
        }
        items.push_back(item);
    }
    sqlite3_finalize(insert);

    std::vector<std::string> restrictions = {kWindow,
                                             kCensus,
                                             R"([Complete] = FALSE or [Start] = "2004/10/5")",
                                             R"(not ([Complete] = TRUE and [Start] < "2000/1/1"))",
                                             R"([Start] < "1899/12/30")",
                                             R"([Subject] >= "Review" and [Subject] < "定")",
                                             R"([Subject] > "！")",
                                             "[Complete] = TRUE",
                                             "[Complete] <> TRUE"};
    for (const char* op : {"=", "<>", "<", "<=", ">", ">="}) {
        restrictions.push_back(std::string("[Start] ") + op + " \"2004/10/5\"");
        restrictions.push_back(std::string("[Start] ") + op + " \"2004/10/5 21:30\"");
        restrictions.push_back(std::string("not [End] ") + op + " \"2004/10/19\"");
        restrictions.push_back(std::string("[Subject] ") + op + " \"Review\"");
    }
    for (const std::string& text : restrictions) {
        const Restriction restriction = Parsed(text);
        const auto sql = ToSql(restriction, Column);
        ASSERT_TRUE(sql) << text;
        sqlite3_stmt* select = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, ("SELECT id FROM items WHERE " + sql->where).c_str(), -1,
                                     &select, nullptr),
                  SQLITE_OK)
            << sql->where;
        for (size_t p = 0; p < sql->parameters.size(); ++p) {
            const int index = static_cast<int>(p + 1);
            if (const auto* d = std::get_if<double>(&sql->parameters[p])) {
                sqlite3_bind_double(select, index, *d);
            } else {
                const auto& s = std::get<std::string>(sql->parameters[p]);
                sqlite3_bind_text(select, index, s.data(), static_cast<int>(s.size()),
                                  SQLITE_TRANSIENT);
            }
        }
        std::set<size_t> selected;
        while (sqlite3_step(select) == SQLITE_ROW) {
            selected.insert(static_cast<size_t>(sqlite3_column_int(select, 0)));
        }
        sqlite3_finalize(select);
        std::set<size_t> matched;
        for (size_t i = 0; i < items.size(); ++i) {
            if (Matches(restriction, items[i])) {
                matched.insert(i);
            }
        }
        EXPECT_EQ(selected, matched) << text << "\n  " << sql->where;
    }
    sqlite3_close(db);
}

TEST(Restriction, MalformedStringsAreErrors) {
    const std::string deepParens =
        std::string(65, '(') + "[Complete] = TRUE" + std::string(65, ')');
    std::string deepNots;
    for (int i = 0; i < 65; ++i) {
        deepNots += "not ";
    }
    deepNots += "[Complete] = TRUE";
    const std::pair<std::string, std::string> cases[] = {
        {"", "the restriction is empty"},
        {" \t", "the restriction is empty"},
        {R"([Start] <= "2004/10/18)", "unterminated string at character 12"},
        {R"([Foo] = 1)", "unknown field [Foo] at character 1"},
        {R"([Start "2004/10/5")", "unterminated field name at character 1"},
        {R"([Start] "2004/10/5")", "expected an operator (=, <>, <, <=, >, >=) after [Start]"},
        {R"([Start] == "2004/10/5")", "[Start] needs a quoted date at character 10"},
        {R"([Start] =)", "expected a value for [Start] at character 10"},
        {R"([Start] = "2004/10/5" and)", "expected a comparison at character 26"},
        {R"([Start] = "2004/10/5" garbage)", "unexpected text at character 23"},
        {R"(([Start] = "2004/10/5")", "unclosed ( at character 1"},
        {R"(([Start] = "2004/10/5" [End] = "2004/10/5"))", "expected ) at character 24"},
        {R"([Start] = "2004/10/5"))", "unmatched ) at character 22"},
        {R"(() or [Complete] = TRUE)", "expected a [field] at character 2"},
        {R"([Start] = "2004/2/30")", "invalid date \"2004/2/30\" at character 11"},
        {R"([Start] = "2004/13/1")", "invalid date"},
        {R"([Start] = "10/5/2004")", "invalid date"},
        {R"([Start] = "2004/10/5 24:00")", "invalid date"},
        {R"([Start] = "2004/10/5 13:00 PM")", "invalid date"},
        {R"([Start] = "2004/10/5 9:5")", "invalid date"},
        {R"([Start] = "2004/10/5T9:30")", "invalid date"},
        {R"([Complete] = "TRUE")", "[Complete] needs TRUE or FALSE, not a quoted string"},
        {R"([Complete] = 2)", "[Complete] needs TRUE, FALSE, -1, 0 or 1"},
        {R"([Complete] < TRUE)", "operator < does not apply to [Complete]"},
        {R"([Subject] = 1)", "[Subject] needs a quoted string"},
        {R"([Subject] = "😀" junk)", "unexpected text at character 17"},
        {"[Subject] = \"\xE5\x88\" ", "invalid UTF-8 at byte 14"},
        {deepParens, "nesting deeper than 64 levels at character 65"},
        {deepNots, "nesting deeper than 64 levels at character 257"},
    };
    for (const auto& [text, message] : cases) {
        const auto parsed = ParseRestriction(text);
        ASSERT_FALSE(parsed) << text;
        EXPECT_NE(parsed.error().message.find(message), std::string::npos)
            << text << "\n  " << parsed.error().message;
        EXPECT_EQ(parsed.error().message.rfind("restriction: ", 0), 0u);
    }
    EXPECT_FALSE(ParseRestriction(std::u16string_view(u"[Subject] = \"\xD800\"")));
    // 64 levels is the limit, not past it.
    EXPECT_TRUE(
        ParseRestriction(std::string(64, '(') + "[Complete] = TRUE" + std::string(64, ')')));
}

}  // namespace
}  // namespace store
