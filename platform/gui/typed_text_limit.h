#pragma once

#include <QString>

#include <optional>

class QLineEdit;

namespace gui {

// A field's text after typing went over its limit: the part that went over taken back from
// before the cursor.
struct TakenBack {
    QString text;
    int cursor = 0;
};

// What is left of an edit that turned `before` into `after` (the cursor at `cursor`, after
// what was typed) when the field holds at most `limit` UTF-16 units: nothing when the edit
// stays within the limit or did not lengthen the text. Only the typed part is taken back, never
// more than the edit added, so a longer text the program put into the field stays whole; and a
// character is taken back whole, never half of a surrogate pair.
std::optional<TakenBack> TakeBackOverLimit(const QString& before, const QString& after, int cursor,
                                           int limit);

// The limit of a one-line field on what is typed: a text the program sets is kept whole,
// whatever its length; an edit by the user that would pass the limit loses what went over.
class TypedTextLimit {
public:
    // 0: no limit.
    void SetLimit(int units) { limit_ = units > 0 ? units : 0; }
    // The field's text as the program left it.
    void Accept(const QString& text) { accepted_ = text; }
    // After the user changed the field's text: takes back what went over the limit.
    void KeepWithinLimit(QLineEdit& field);

private:
    int limit_ = 0;
    QString accepted_;
};

}  // namespace gui
