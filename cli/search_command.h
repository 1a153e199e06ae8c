#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/files/data_home.h"
#include "platform/time/date_time.h"

namespace cli {

// What `search` exits with when no item holds the text (it says so on `err`, and prints
// nothing on `out`).
inline constexpr int kNothingFoundStatus = 3;

// `search TEXT [--tsv]`: every appointment and task whose subject, place, typed memo or notes
// hold TEXT (Latin letters without regard to case or width, kana and kanji as typed), one line
// each in the order of their dates: a series once, at its next occurrence from today by the
// clock, or its last when all lie before. `--` ends the options, for a TEXT that begins with
// "--". `args` are the words after "search". Returns the exit status; a failure is one line on
// `err`.
int SearchCommand(const platform::DataHome& home, const std::vector<std::string>& args,
                  const platform::Clock& clock, std::ostream& out, std::ostream& err);

}  // namespace cli
