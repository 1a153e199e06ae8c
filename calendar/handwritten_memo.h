#pragma once

#include <string_view>

// A handwritten memo as the store keeps it: the appointment (or changed occurrence) carries the
// handwritten mark, and its body names the ink file of the data folder on its first line. Lines
// after that name are typed text kept beside the drawing (what another calendar program wrote
// into the memo). The body's form means nothing without the mark: an unmarked memo that reads
// "1.dat" is a text memo like any other.
namespace calendar {

// What other calendar programs are given as the memo of a handwritten memo without typed text.
inline constexpr std::u16string_view kHandwrittenMemoText = u"手書きメモ";

// Whether a name is one the planner gives ink files: decimal digits followed by ".dat" and
// nothing else.
bool IsInkFileName(std::u16string_view name);

// A body's first line, without its line break.
std::u16string_view FirstMemoLine(std::u16string_view body);
// The lines after a body's first, without the line break between; empty for a one-line body.
std::u16string_view AfterFirstMemoLine(std::u16string_view body);

// The ink file a handwritten memo names: the first line of its body when that is an ink file
// name; empty for anything else, and always for a memo without the mark.
std::u16string_view InkNameOf(std::u16string_view body, bool handwritten);

// The typed text of a memo: all of a text memo; a handwritten memo's lines after its ink file's
// name (all of them when its first line names no ink file).
std::u16string_view TypedTextOf(std::u16string_view body, bool handwritten);

// The memo as other calendar programs read it: its typed text, or kHandwrittenMemoText for a
// handwritten memo without any.
std::u16string_view ReadableMemo(std::u16string_view body, bool handwritten);

}  // namespace calendar
