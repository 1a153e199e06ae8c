/* The floor of the whole-process benchmark: the least a program can do to answer the agenda's or
 * the month's window from the planner's store file. It opens the file read-only, asks SQLite for
 * the rows of the window through the store's own indexes (single appointments by start, series
 * by start and end, dated tasks by due date, the first open undated tasks by object id), prints
 * one tab-separated line per row and ends. It expands no series and keeps no settings: what
 * tessarinth-cli takes beyond this is the cost of being the planner.
 *
 * usage: agenda_floor STORE agenda YYYY-MM-DD   (the twelve days from that day)
 *        agenda_floor STORE month YYYY-MM       (the days of that month)
 */
#include <sqlite3.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

/* The day list's twelve days. The corner panel keeps the first 100 undated tasks (the LIMIT of
 * the last query). */
enum { kAgendaDays = 12 };

/* An undated task's due date, as the store keeps it. */
static const double kNoDate = 949998.0;

/* Days from 1970-01-01 of a proleptic Gregorian date, and back. */
static int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

static void CivilFromDays(int64_t z, int* year, int* month, int* day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *day = (int)(doy - (153 * mp + 2) / 5 + 1);
    *month = (int)(mp < 10 ? mp + 3 : mp - 9);
    *year = (int)(yoe + era * 400 + (*month <= 2));
}

/* The store's dates count days from 1899-12-30. */
static const int64_t kEpochDays = -25569;

static double StoreDay(int year, int month, int day) {
    return (double)(DaysFromCivil(year, month, day) - kEpochDays);
}

/* "YYYY-MM-DD HH:MM" of a store date at or after the epoch. */
static void FormatDate(double date, char* text, size_t size) {
    const int64_t minutes = (int64_t)(date * 1440.0 + 0.5);
    int year, month, day;
    CivilFromDays(minutes / 1440 + kEpochDays, &year, &month, &day);
    snprintf(text, size, "%04d-%02d-%02d %02d:%02d", year, month, day, (int)(minutes % 1440 / 60),
             (int)(minutes % 60));
}

static double StoredReal(sqlite3* db, const char* key) {
    sqlite3_stmt* stmt = NULL;
    double value = 0;
    if (sqlite3_prepare_v2(db, "SELECT value FROM store_info WHERE key = ?", -1, &stmt, NULL) ==
        SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, key, -1, SQLITE_STATIC);
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            value = sqlite3_column_double(stmt, 0);
        }
    }
    sqlite3_finalize(stmt);
    return value;
}

/* Runs one query with its real parameters bound in order and prints its rows: the kind, then
 * every column, dates (columns named start, end, due) as text. Returns the rows printed, or -1. */
static int PrintRows(sqlite3* db, const char* kind, const char* sql, const double* parameters,
                     int parameterCount) {
    sqlite3_stmt* stmt = NULL;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, NULL) != SQLITE_OK) {
        fprintf(stderr, "agenda_floor: %s\n", sqlite3_errmsg(db));
        return -1;
    }
    for (int i = 0; i < parameterCount; ++i) {
        sqlite3_bind_double(stmt, i + 1, parameters[i]);
    }
    const int columns = sqlite3_column_count(stmt);
    int rows = 0;
    int step;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        fputs(kind, stdout);
        for (int c = 0; c < columns; ++c) {
            const char* name = sqlite3_column_name(stmt, c);
            char date[32];
            if (strcmp(name, "start") == 0 || strcmp(name, "end") == 0 ||
                strcmp(name, "due") == 0) {
                FormatDate(sqlite3_column_double(stmt, c), date, sizeof date);
                printf("\t%s", date);
            } else {
                const unsigned char* text = sqlite3_column_text(stmt, c);
                printf("\t%s", text ? (const char*)text : "");
            }
        }
        putchar('\n');
        ++rows;
    }
    sqlite3_finalize(stmt);
    if (step != SQLITE_DONE) {
        fprintf(stderr, "agenda_floor: %s\n", sqlite3_errmsg(db));
        return -1;
    }
    return rows;
}

int main(int argc, char** argv) {
    int year = 0, month = 0, day = 1;
    const int agenda = argc == 4 && strcmp(argv[2], "agenda") == 0 &&
                       sscanf(argv[3], "%d-%d-%d", &year, &month, &day) == 3;
    const int monthView =
        argc == 4 && strcmp(argv[2], "month") == 0 && sscanf(argv[3], "%d-%d", &year, &month) == 2;
    if (!agenda && !monthView) {
        fputs("usage: agenda_floor STORE agenda YYYY-MM-DD | STORE month YYYY-MM\n", stderr);
        return 2;
    }
    sqlite3* db = NULL;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, NULL) !=
        SQLITE_OK) {
        fprintf(stderr, "agenda_floor: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    const double first = StoreDay(year, month, day);
    const double end =
        agenda ? first + kAgendaDays : StoreDay(month == 12 ? year + 1 : year, month % 12 + 1, 1);
    const double longestSpan = StoredReal(db, "longest_span");
    const double longestSeriesSpan = StoredReal(db, "longest_series_span");

    int status = 0;
    /* Single appointments: a start range reaching back by the longest span, the end checked in
     * the same scan. */
    const double singles[] = {first - longestSpan, end, first};
    status |= PrintRows(db, "appointment",
                        "SELECT oid, start, end, all_day, subject, location FROM appointments "
                        "WHERE recurring = 0 AND start >= ? AND start < ? AND end >= ? "
                        "ORDER BY start",
                        singles, 3) < 0;
    /* Series that may fall in the window, as stored: the ones that end by their start range,
     * the endless ones through their own index. */
    const double series[] = {first - longestSeriesSpan, end, first};
    status |= PrintRows(db, "series",
                        "SELECT oid, start, end, rule, subject, location FROM appointments "
                        "WHERE recurring = 1 AND start >= ? AND start < ? AND last_end >= ?",
                        series, 3) < 0;
    status |= PrintRows(db, "series",
                        "SELECT oid, start, end, rule, subject, location FROM appointments "
                        "WHERE recurring = 1 AND last_end IS NULL AND start < ?",
                        &end, 1) < 0;
    if (agenda) {
        const double dated[] = {first, end};
        status |= PrintRows(db, "task",
                            "SELECT oid, due, complete, subject FROM tasks "
                            "WHERE due >= ? AND due < ? ORDER BY due, oid",
                            dated, 2) < 0;
        status |= PrintRows(db, "undated",
                            "SELECT oid, complete, subject FROM tasks "
                            "WHERE complete = 0 AND due = ? ORDER BY oid LIMIT 100",
                            &kNoDate, 1) < 0;
    }
    sqlite3_close(db);
    return status;
}
