#!/usr/bin/env python3
"""Writes a generated calendar as iCalendar for the whole-process benchmark.

usage: generate_calendar.py EVENTS SERIES TASKS [OPEN_UNDATED_TASKS] > calendar.ics

The same arguments give the same file, byte for byte, on any Python 3: the numbers come from a
small generator of our own (seed 1), not from the random module, whose methods may change.
Events fall on the days of 2024 to 2027 from 7:00 to 21:00 in quarters of an hour, one in 97 of
the single ones all day over one to three days; the first five series repeat weekly without
end, the others come to an end after a few weeks or months. A third of the tasks have no due
date and three in ten are done. OPEN_UNDATED_TASKS adds that many open tasks without a due date.
"""

import sys

FIRST_DAY = (2024, 1, 1)
DAYS = 1461  # 2024-01-01 to 2027-12-31
ENDLESS_SERIES = 5
SUBJECTS = ["会議", "歯医者", "打ち合わせ", "昼食", "出張", "定例ミーティング",
            "買い物", "誕生日", "研修", "面談"]
LOCATIONS = ["", "東京", "本社", "大阪支店", ""]
RULES = ["FREQ=WEEKLY;COUNT=12", "FREQ=DAILY;COUNT=30", "FREQ=MONTHLY;COUNT=4",
         "FREQ=WEEKLY;BYDAY=MO,TH;COUNT=20"]


class Numbers:
    """A 64-bit linear congruential generator; below(n) is the top bits folded into 0..n-1."""

    def __init__(self, seed):
        self.state = seed

    def below(self, n):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return (self.state >> 33) % n


def civil_from_days(z):
    """(year, month, day) of a count of days from 1970-01-01, proleptic Gregorian."""
    z += 719468
    era = z // 146097
    doe = z - era * 146097
    yoe = (doe - doe // 1460 + doe // 36524 - doe // 146096) // 365
    doy = doe - (365 * yoe + yoe // 4 - yoe // 100)
    mp = (5 * doy + 2) // 153
    day = doy - (153 * mp + 2) // 5 + 1
    month = mp + 3 if mp < 10 else mp - 9
    return (yoe + era * 400 + (1 if month <= 2 else 0), month, day)


def days_from_civil(year, month, day):
    year -= 1 if month <= 2 else 0
    era = year // 400
    yoe = year - era * 400
    doy = (153 * (month + (-3 if month > 2 else 9)) + 2) // 5 + day - 1
    doe = yoe * 365 + yoe // 4 - yoe // 100 + doy
    return era * 146097 + doe - 719468


def day_text(days):
    year, month, day = civil_from_days(days)
    return f"{year:04d}{month:02d}{day:02d}"


def time_text(days, minute):
    days += minute // 1440
    minute %= 1440
    return f"{day_text(days)}T{minute // 60:02d}{minute % 60:02d}00"


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__.split("\n\n")[1])
    events, series, tasks = (int(a) for a in sys.argv[1:4])
    open_undated = int(sys.argv[4]) if len(sys.argv) == 5 else 0
    numbers = Numbers(1)
    first = days_from_civil(*FIRST_DAY)
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Tessarinth//bench//JA"]
    for i in range(events):
        day = first + numbers.below(DAYS)
        start = (7 + numbers.below(14)) * 60 + numbers.below(4) * 15
        length = (1 + numbers.below(8)) * 15
        subject = SUBJECTS[i % len(SUBJECTS)]
        location = LOCATIONS[numbers.below(len(LOCATIONS))]
        lines += ["BEGIN:VEVENT", f"UID:bench-event-{i}@tessarinth", f"SUMMARY:{subject}"]
        if location:
            lines.append(f"LOCATION:{location}")
        # Series are spread through the events, so that they start all over the span.
        is_series = i * series // events != (i + 1) * series // events
        if is_series:
            ordinal = (i + 1) * series // events - 1
            rule = "FREQ=WEEKLY" if ordinal < ENDLESS_SERIES else RULES[ordinal % len(RULES)]
            lines += [f"DTSTART:{time_text(day, start)}", f"DTEND:{time_text(day, start + length)}",
                      f"RRULE:{rule}"]
        elif i % 97 == 0:
            lines += [f"DTSTART;VALUE=DATE:{day_text(day)}",
                      f"DTEND;VALUE=DATE:{day_text(day + 1 + numbers.below(3))}"]
        else:
            lines += [f"DTSTART:{time_text(day, start)}", f"DTEND:{time_text(day, start + length)}"]
        lines.append("END:VEVENT")
    for i in range(tasks + open_undated):
        extra = i >= tasks
        lines += ["BEGIN:VTODO", f"UID:bench-task-{i}@tessarinth", "SUMMARY:仕事"]
        if not extra and i % 3 != 0:
            lines.append(f"DUE;VALUE=DATE:{day_text(first + numbers.below(DAYS))}")
        if not extra and numbers.below(10) < 3:
            lines += ["STATUS:COMPLETED",
                      f"COMPLETED:{time_text(first + numbers.below(DAYS), 12 * 60)}"]
        lines.append("END:VTODO")
    lines.append("END:VCALENDAR")
    sys.stdout.buffer.write(("\r\n".join(lines) + "\r\n").encode("utf-8"))


if __name__ == "__main__":
    main()
