// The store's handwritten memos: which memos name an ink file, and the mark stores of earlier
// versions give the memos they took for handwriting.
#include <set>
#include <string>
#include <vector>

#include "calendar/handwritten_memo.h"
#include "store/store_database.h"
#include "store/store_statement.h"

namespace store {

Result<bool> StoreDatabase::IsInkFileNamedElsewhere(std::u16string_view name, int32_t exceptOid) {
    // A body names its first line exactly, or it and a line break: such a body sorts from the
    // name and a line feed to the name and a carriage return. A name that begins with a digit
    // (as ink files do) is looked up among the numbered memos only.
    const std::u16string first(name);
    const bool numbered = !first.empty() && first.front() >= u'0' && first.front() <= u'9';
    const std::string names = std::string(numbered ? "body GLOB '[0-9]*' AND " : "") +
                              "handwritten <> 0 AND "
                              "(body = ?1 OR (body >= ?1 || char(10) AND body < ?1 || char(14) AND "
                              "substr(body, length(?1) + 1, 1) IN (char(10), char(13))))";
    for (const bool changes : {false, true}) {
        Statement select(Prepare(
            changes ? "SELECT 1 FROM occurrence_changes WHERE " + names + " LIMIT 1"
                    : "SELECT 1 FROM appointments WHERE oid <> ?2 AND " + names + " LIMIT 1"));
        if (!select.ok()) {
            return SqlError("cannot look for the memo's other users");
        }
        select.Bind(1, first);
        if (!changes) {
            select.Bind(2, int64_t{exceptOid});
        }
        const int step = select.Step();
        if (step == SQLITE_ROW) {
            return true;
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot look for the memo's other users");
        }
    }
    return false;
}

Result<std::set<std::u16string>> StoreDatabase::InkFileNamesInUse() {
    std::set<std::u16string> names;
    for (const char* table : {"appointments", "occurrence_changes"}) {
        // Ink files' names begin with a digit: only those memos are read.
        Statement select(Prepare(std::string("SELECT body FROM ") + table +
                                 " WHERE handwritten <> 0 AND body GLOB '[0-9]*'"));
        if (!select.ok()) {
            return SqlError("cannot read which ink files the memos name");
        }
        int step;
        while ((step = select.Step()) == SQLITE_ROW) {
            const std::u16string body = select.Text16(0);
            if (const std::u16string_view name = calendar::InkNameOf(body, true); !name.empty()) {
                names.emplace(name);
            }
        }
        if (step != SQLITE_DONE) {
            return SqlError("cannot read which ink files the memos name");
        }
    }
    return names;
}

Result<void> StoreDatabase::MarkStoredHandwriting() {
    // Before the mark, a memo was handwriting when its first line named an ink file: the stores
    // of those versions had no other kind of memo that read so, and their users keep every
    // drawing. Only numbered memos can qualify.
    for (const bool changes : {false, true}) {
        struct Row {
            int64_t key;
            double recurrenceId;
        };
        std::vector<Row> marked;
        {
            Statement select(Prepare(
                changes ? "SELECT series_oid, recurrence_id, body FROM occurrence_changes "
                          "WHERE body GLOB '[0-9]*'"
                        : "SELECT oid, 0, body FROM appointments WHERE body GLOB '[0-9]*'"));
            if (!select.ok()) {
                return SqlError("cannot mark the stored handwritten memos");
            }
            int step;
            while ((step = select.Step()) == SQLITE_ROW) {
                if (calendar::IsInkFileName(calendar::FirstMemoLine(select.Text16(2)))) {
                    marked.push_back({select.Integer(0), select.Real(1)});
                }
            }
            if (step != SQLITE_DONE) {
                return SqlError("cannot mark the stored handwritten memos");
            }
        }
        for (const Row& row : marked) {
            Statement update(
                Prepare(changes ? "UPDATE occurrence_changes SET handwritten = 1 "
                                  "WHERE series_oid = ? AND recurrence_id = ?"
                                : "UPDATE appointments SET handwritten = 1 WHERE oid = ?"));
            update.Bind(1, row.key);
            if (changes) {
                update.Bind(2, row.recurrenceId);
            }
            if (!update.ok() || update.Step() != SQLITE_DONE) {
                return SqlError("cannot mark the stored handwritten memos");
            }
        }
    }
    return {};
}

}  // namespace store
