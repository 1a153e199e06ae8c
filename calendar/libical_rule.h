#pragma once

#include <libical/ical.h>

#include <cstdlib>
#include <string>

namespace calendar {

// A rule text as libical reads it. libical gives the calendar an RSCALE names an allocation of
// its own and leaves it to the reader: it goes with this, after any iterator made from the rule.
class LibicalRule {
public:
    explicit LibicalRule(const std::string& text)
        : rule_(icalrecurrencetype_from_string(text.c_str())) {}
    ~LibicalRule() { std::free(rule_.rscale); }
    LibicalRule(const LibicalRule&) = delete;
    LibicalRule& operator=(const LibicalRule&) = delete;

    icalrecurrencetype& get() { return rule_; }
    const icalrecurrencetype& get() const { return rule_; }

private:
    icalrecurrencetype rule_;
};

}  // namespace calendar
