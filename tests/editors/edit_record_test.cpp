#include "editors/edit_record.h"

#include <gtest/gtest.h>

namespace editors {
namespace {

TEST(EditRecordTest, FillsLeaveNothingOfTheItemBefore) {
    schedule::DayItemRow row;
    row.memoText = u"3.dat";
    row.body = u"3.dat\r\n続き";
    row.inkCount = 2;
    row.ink[1] = schedule::InkEntry{5, 6};
    row.holiday = 1;
    row.complete = -1;
    EditRecord record;
    FillFromAppointmentRow(record, row);
    EXPECT_EQ(record.Body, u"3.dat\r\n続き");  // the whole body, not the listed first line
    EXPECT_EQ(record.InkEntries[1], (schedule::InkEntry{5, 6}));
    EXPECT_EQ(record.HolidayAtOpen, 1);

    FillFromUndatedTask(record, schedule::UndatedTask{});
    EXPECT_EQ(record.Body, u"");
    EXPECT_EQ(record.InkCountAtOpen, 0);
    EXPECT_EQ(record.InkEntries[1], schedule::InkEntry{});
    EXPECT_EQ(record.Holiday, 0);
    FillFromTaskRow(record, row);
    EXPECT_EQ(record.Complete, 1);  // the store's -1 is the record's 1

    EXPECT_EQ(LimitedText(u"ab\U0001F600c", 3), u"ab");  // never half a surrogate pair
    EXPECT_EQ(LimitedText(u"ab\U0001F600c", 4), u"ab\U0001F600");
}

}  // namespace
}  // namespace editors
