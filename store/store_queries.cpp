#include "store/store_database.h"

#include <algorithm>

#include "store/recurrence_expander.h"
#include "store/store_rows.h"
#include "store/store_statement.h"

// The store's collections: appointments in a time window (series expanded into their
// occurrences), and tasks whole or a page at a time, each by a restriction turned into SQL on the
// store's indexes.
namespace store {
namespace {

using platform::DateToLinear;
using platform::Error;
using platform::LinearToDate;

std::optional<std::string> AppointmentColumn(Field field) {
    switch (field) {
        case Field::Start:
            return "start";
        case Field::End:
            return "end";
        case Field::AllDayEvent:
            return "all_day";
        case Field::ReminderSet:
            return "reminder";
        case Field::IsRecurring:
            return "recurring";
        case Field::Subject:
            return "subject";
        case Field::Location:
            return "location";
        case Field::Categories:
            return "categories";
        case Field::Body:
            return "body";
        default:
            return std::nullopt;
    }
}

std::optional<std::string> TaskColumn(Field field) {
    switch (field) {
        case Field::DueDate:
            return "due";
        case Field::DateCompleted:
            return "completed";
        case Field::Complete:
            return "complete";
        case Field::Subject:
            return "subject";
        case Field::Categories:
            return "categories";
        case Field::Body:
            return "body";
        default:
            return std::nullopt;
    }
}

// The fields of an appointment (or one occurrence) for evaluating a restriction in memory.
class AppointmentValues final : public FieldValues {
public:
    explicit AppointmentValues(const calendar::AppointmentRecord& record) : record_(record) {}
    std::optional<double> DateLinear(Field field) const override {
        if (field == Field::Start) {
            return DateToLinear(record_.start);
        }
        if (field == Field::End) {
            return DateToLinear(record_.end);
        }
        return std::nullopt;
    }
    std::optional<bool> Flag(Field field) const override {
        switch (field) {
            case Field::AllDayEvent:
                return record_.allDay;
            case Field::ReminderSet:
                return record_.reminderSet;
            case Field::IsRecurring:
                return record_.recurrence.recurs();
            default:
                return std::nullopt;
        }
    }
    std::optional<std::u16string_view> Text(Field field) const override {
        switch (field) {
            case Field::Subject:
                return record_.subject;
            case Field::Location:
                return record_.location;
            case Field::Categories:
                return record_.categories;
            case Field::Body:
                return record_.body;
            default:
                return std::nullopt;
        }
    }

private:
    const calendar::AppointmentRecord& record_;
};

// The columns an appointment read in part (AppointmentParts::TimesAndMarks) still has.
std::optional<std::string> MarkColumn(Field field) {
    switch (field) {
        case Field::Subject:
        case Field::Location:
        case Field::Body:
            return std::nullopt;
        default:
            return AppointmentColumn(field);
    }
}

class TaskValues final : public FieldValues {
public:
    explicit TaskValues(const calendar::TaskRecord& record) : record_(record) {}
    std::optional<double> DateLinear(Field field) const override {
        if (field == Field::DueDate) {
            return DateToLinear(record_.dueDate);
        }
        if (field == Field::DateCompleted) {
            return DateToLinear(record_.dateCompleted);
        }
        return std::nullopt;
    }
    std::optional<bool> Flag(Field field) const override {
        if (field == Field::Complete) {
            return record_.complete;
        }
        return std::nullopt;
    }
    std::optional<std::u16string_view> Text(Field field) const override {
        switch (field) {
            case Field::Subject:
                return record_.subject;
            case Field::Categories:
                return record_.categories;
            case Field::Body:
                return record_.body;
            default:
                return std::nullopt;
        }
    }

private:
    const calendar::TaskRecord& record_;
};

// Binds the parameters from `first` on and returns the next free index.
int BindParameters(Statement& statement, int first, const std::vector<SqlParameter>& parameters) {
    int index = first;
    for (const SqlParameter& parameter : parameters) {
        if (const double* number = std::get_if<double>(&parameter)) {
            statement.Bind(index++, *number);
        } else {
            statement.Bind(index++, std::get<std::string>(parameter));
        }
    }
    return index;
}

}  // namespace

Result<std::vector<AppointmentHit>> StoreDatabase::QueryAppointments(
    const AppointmentQuery& query) {
    std::optional<SqlFilter> filter;
    LinearRange startRange;
    LinearRange endRange;
    if (query.restriction) {
        filter = ToSql(*query.restriction, AppointmentColumn);
        startRange = ImpliedRange(*query.restriction, Field::Start);
        endRange = ImpliedRange(*query.restriction, Field::End);
    }
    // A read transaction gives the single items and the series one consistent snapshot.
    ReadSnapshot snapshot(db_);
    if (!snapshot.began()) {
        return SqlError("cannot read the store");
    }
    const double longestSpan = StoredSpan(kLongestSpan);
    const double longestSeriesSpan = StoredSpan(kLongestSeriesSpan);
    const double longestSeriesAdvance = StoredSpan(kLongestSeriesAdvance);
    const std::string shown = std::string(query.includeCancelled ? "" : " AND cancelled = 0") +
                              (query.includeHidden ? "" : ShownCalendars());
    // Texts read in part would make a restriction on them wrong in memory: those read whole.
    const bool inPart = query.parts == AppointmentParts::TimesAndMarks &&
                        (!query.restriction || ToSql(*query.restriction, MarkColumn));
    const char* const columns = inPart ? kAppointmentMarkColumns : kAppointmentColumns;

    std::vector<AppointmentHit> hits;
    // Each statement's rows in object id order, unless the caller sorts them: ordered here,
    // as pointers, rather than by SQLite, which would sort whole rows in a temporary tree.
    // Singles read for their marks come in the narrow layout of kSingleMarkColumns.
    const bool singlesInPart = inPart && query.expandRecurrences;
    auto collect = [&](Statement& select, bool expand, bool singleMarks) -> Result<void> {
        const size_t firstOfStatement = hits.size();
        auto inObjectIdOrder = [&]() {
            if (!query.callerSorts) {
                std::stable_sort(hits.begin() + static_cast<std::ptrdiff_t>(firstOfStatement),
                                 hits.end(), [](const AppointmentHit& a, const AppointmentHit& b) {
                                     return a.record->oid < b.record->oid;
                                 });
            }
        };
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            auto shared = std::make_shared<calendar::AppointmentRecord>();
            calendar::AppointmentRecord& record = *shared;
            if (singleMarks) {
                ReadSingleMarks(select, record);
            } else {
                ReadAppointmentInto(
                    select, inPart ? AppointmentParts::TimesAndMarks : AppointmentParts::Whole,
                    record);
            }
            if (!singleMarks && select.Integer(kChangesColumn) > 0) {
                auto changes = ReadChanges(record.oid);
                if (!changes) {
                    return changes.error();
                }
                record.recurrence.changes = std::move(changes).value();
            }
            if (!expand) {
                if (filter || !query.restriction ||
                    Matches(*query.restriction, AppointmentValues(record))) {
                    hits.push_back({std::move(shared), false, 0, false, inPart});
                }
                continue;
            }
            double from = -1e300;
            if (startRange.lower) {
                from = *startRange.lower;
            }
            if (endRange.lower) {
                from = std::max(from, *endRange.lower - LongestOccurrence(record));
            }
            for (const Occurrence& occurrence : ExpandStoredOccurrences(
                     record, select.Text(kExpansionRuleColumn), from, startRange.upper)) {
                auto instance = std::make_shared<calendar::AppointmentRecord>(
                    OccurrenceRecord(record, occurrence));
                if (!query.restriction ||
                    Matches(*query.restriction, AppointmentValues(*instance))) {
                    hits.push_back({std::move(instance), true, occurrence.recurrenceId,
                                    occurrence.change != nullptr, inPart});
                }
            }
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot read appointments");
        }
        inObjectIdOrder();
        return {};
    };

    // Single appointments (and, without expansion, the series as stored).
    {
        std::string sql = std::string("SELECT ") +
                          (singlesInPart ? kSingleMarkColumns : columns) +
                          " FROM appointments WHERE ";
        sql += query.expandRecurrences ? "recurring = 0" : "1";
        sql += shown;
        if (filter) {
            sql += " AND (" + filter->where + ")";
        }
        if (endRange.lower) {
            // Nothing that starts earlier than the longest span before the window can reach it.
            sql += " AND start >= ?";
        }
        Statement select(Prepare(sql));
        if (!select.ok()) {
            return SqlError("cannot query appointments");
        }
        int next = 1;
        if (filter) {
            next = BindParameters(select, next, filter->parameters);
        }
        if (endRange.lower) {
            select.Bind(next, *endRange.lower - longestSpan);
        }
        if (auto read = collect(select, false, singlesInPart); !read) {
            return read.error();
        }
    }
    if (query.expandRecurrences) {
        // Series that end are found like single items, by a start range; the few that never
        // end are always candidates. A changed occurrence may start before its series does.
        const std::optional<double> reach = endRange.lower ? endRange.lower : startRange.lower;
        for (const bool endless : {false, true}) {
            std::string sql = std::string("SELECT ") + columns +
                              " FROM appointments WHERE recurring = 1 AND " +
                              (endless ? "last_end IS NULL" : "last_end IS NOT NULL") + shown;
            if (startRange.upper) {
                sql += " AND start < ?";
            }
            if (reach && !endless) {
                sql += " AND start >= ? AND last_end >= ?";
            }
            Statement select(Prepare(sql));
            if (!select.ok()) {
                return SqlError("cannot query recurring appointments");
            }
            int next = 1;
            if (startRange.upper) {
                select.Bind(next++, *startRange.upper + longestSeriesAdvance);
            }
            if (reach && !endless) {
                select.Bind(next++, *reach - longestSeriesSpan);
                select.Bind(next, *reach);
            }
            if (auto read = collect(select, true, false); !read) {
                return read.error();
            }
        }
    }
    return hits;
}

Result<StoreDatabase::TaskPage> StoreDatabase::QueryTaskPage(
    const Restriction* restriction, const std::optional<calendar::TaskPageKey>& after,
    size_t limit) {
    // Each alternative becomes a SELECT of its own, joined by UNION ALL: SQLite then merges the
    // ordered index scans instead of sorting every task the `or` as a whole selects. Each
    // alternative leaves out the tasks an earlier one selects, so that no task comes twice
    // without SQLite comparing whole rows to find the ones that would (the columns are never
    // NULL, so NOT selects exactly the others).
    std::vector<SqlFilter> alternatives;
    if (restriction) {
        for (const Restriction& alternative : restriction->Alternatives()) {
            std::optional<SqlFilter> filter = ToSql(alternative, TaskColumn);
            if (!filter) {
                alternatives.clear();
                break;
            }
            alternatives.push_back(std::move(*filter));
        }
    }
    std::vector<SqlFilter> disjoint;
    for (size_t index = 0; index < alternatives.size(); ++index) {
        SqlFilter own = alternatives[index];
        own.where = "(" + own.where + ")";
        for (size_t earlier = 0; earlier < index; ++earlier) {
            own.where += " AND NOT (" + alternatives[earlier].where + ")";
            own.parameters.insert(own.parameters.end(), alternatives[earlier].parameters.begin(),
                                  alternatives[earlier].parameters.end());
        }
        disjoint.push_back(std::move(own));
    }
    alternatives = std::move(disjoint);
    const bool inSql = !restriction || !alternatives.empty();
    const std::string afterCondition = after ? "(due, oid) > (?, ?)" : "";
    const std::string shown = ShownCalendars();
    const auto select = [&](const std::string& condition) {
        std::string sql = std::string("SELECT ") + kTaskColumns + " FROM tasks WHERE 1";
        if (!condition.empty()) {
            sql += " AND (" + condition + ")";
        }
        if (!afterCondition.empty()) {
            sql += " AND " + afterCondition;
        }
        return sql + shown;
    };
    std::string sql;
    if (alternatives.empty()) {
        sql = select("");
    }
    for (const SqlFilter& alternative : alternatives) {
        sql += (sql.empty() ? "" : " UNION ALL ") + select(alternative.where);
    }
    sql += " ORDER BY due, oid";
    if (inSql) {
        sql += " LIMIT ?";
    }
    Statement query(Prepare(sql));
    if (!query.ok()) {
        return SqlError("cannot query tasks");
    }
    int next = 1;
    const auto bindAfter = [&] {
        if (after) {
            query.Bind(next++, after->due);
            query.Bind(next++, after->oid);
        }
    };
    if (alternatives.empty()) {
        bindAfter();
    }
    for (const SqlFilter& alternative : alternatives) {
        next = BindParameters(query, next, alternative.parameters);
        bindAfter();
    }
    if (inSql) {
        query.Bind(next, static_cast<int64_t>(limit));
    }
    TaskPage page;
    int step = SQLITE_DONE;
    while (page.tasks.size() < limit && (step = query.Step()) == SQLITE_ROW) {
        calendar::TaskRecord record = ReadTask(query);
        if (inSql || Matches(*restriction, TaskValues(record))) {
            page.last = calendar::TaskPageKey{query.Real(1), query.Integer(0)};
            page.tasks.push_back(std::move(record));
        }
    }
    if (page.tasks.size() < limit) {
        if (step != SQLITE_DONE) {
            return SqlError("cannot read tasks");
        }
        page.atEnd = true;
    }
    return page;
}

Result<std::vector<calendar::TaskRecord>> StoreDatabase::QueryTasks(const Restriction* restriction,
                                                                    TaskOrder order,
                                                                    bool includeHidden) {
    std::optional<SqlFilter> filter;
    if (restriction) {
        filter = ToSql(*restriction, TaskColumn);
    }
    std::string sql = std::string("SELECT ") + kTaskColumns + " FROM tasks WHERE 1";
    if (filter) {
        sql += " AND (" + filter->where + ")";
    }
    if (!includeHidden) {
        sql += ShownCalendars();
    }
    sql += order == TaskOrder::ByDueDate ? " ORDER BY due, oid" : " ORDER BY oid";
    Statement select(Prepare(sql));
    if (!select.ok()) {
        return SqlError("cannot query tasks");
    }
    if (filter) {
        (void)BindParameters(select, 1, filter->parameters);
    }
    std::vector<calendar::TaskRecord> tasks;
    int step;
    while ((step = select.Step()) == SQLITE_ROW) {
        calendar::TaskRecord record = ReadTask(select);
        if (filter || !restriction || Matches(*restriction, TaskValues(record))) {
            tasks.push_back(std::move(record));
        }
    }
    if (step != SQLITE_DONE) {
        return SqlError("cannot read tasks");
    }
    return tasks;
}

}  // namespace store
