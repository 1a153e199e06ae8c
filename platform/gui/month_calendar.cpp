#include "platform/gui/month_calendar.h"

#include <QDate>
#include <QLocale>
#include <QSignalBlocker>
#include <QTextCharFormat>

#include "platform/gui/device_screen.h"

namespace gui {
namespace {

// Device pixels: the size of the month arrows in the calendar's title.
constexpr int kArrowIconSize = 9;

}  // namespace

MonthCalendar::MonthCalendar(DeviceScreen& screen, uint16_t id)
    : Control(screen, u"SysMonthCal32", id), calendar_(new QCalendarWidget(&screen)) {
    calendar_->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    calendar_->setFirstDayOfWeek(Qt::Sunday);
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar_->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    calendar_->setGridVisible(false);
    // Sundays red, Saturdays blue, as a Japanese calendar prints them.
    QTextCharFormat saturday;
    saturday.setForeground(QColor(0x00, 0x00, 0xC0));
    calendar_->setWeekdayTextFormat(Qt::Saturday, saturday);
    QTextCharFormat sunday;
    sunday.setForeground(QColor(0xC0, 0x00, 0x00));
    calendar_->setWeekdayTextFormat(Qt::Sunday, sunday);
    QObject::connect(calendar_, &QCalendarWidget::selectionChanged, calendar_,
                     [this] { NotifyParent(ControlNotification::SelectionChanged); });
    Attach(calendar_);
}

bool MonthCalendar::SetSelection(const CalendarDay& day) {
    const QDate date(day.year, day.month, day.day);
    if (!date.isValid()) {
        return false;
    }
    const QSignalBlocker blocker(calendar_);
    calendar_->setSelectedDate(date);
    calendar_->setCurrentPage(date.year(), date.month());
    return true;
}

bool MonthCalendar::Pick(const CalendarDay& day) {
    const QDate date(day.year, day.month, day.day);
    if (!date.isValid()) {
        return false;
    }
    calendar_->setCurrentPage(date.year(), date.month());
    calendar_->setSelectedDate(date);
    return true;
}

CalendarDay MonthCalendar::Selection() const {
    const QDate date = calendar_->selectedDate();
    return {date.year(), date.month(), date.day()};
}

QString MonthCalendar::StyleSheet(int zoom) const {
    return Control::StyleSheet(zoom) +
           QStringLiteral(
               "QCalendarWidget QToolButton { icon-size: %1px; }"
               "QCalendarWidget QAbstractItemView { background: white; }")
               .arg(kArrowIconSize * zoom);
}

}  // namespace gui
