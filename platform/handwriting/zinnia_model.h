#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Zinnia's binary model as the recogniser hands it over: a header of three 32-bit little-endian
// words (the file's size XOR a constant, the format's version, how many characters follow), then
// each character as 16 bytes of its UTF-8 name (ended by a zero byte), a 32-bit float bias and
// its weights as (32-bit index, 32-bit float) pairs ending with index -1; the last character ends
// at the file's end. Zinnia trusts every count of it, so a damaged model ends the planner in its
// hands (a header claiming four thousand million characters is a bad_alloc, a list without its
// end a read past the file): the model is checked here before zinnia sees it.
namespace handwriting {

// The most bytes a model may hold: Debian's Japanese model holds 26 MB.
inline constexpr uint64_t kMaxModelBytes = 256 * 1024 * 1024;

// Why the bytes are not a model zinnia can read safely ("its header claims 4294967295
// characters, more than its 4096 bytes hold"), or nothing when they are one.
std::optional<std::string> ModelDamage(std::span<const std::byte> model);

}  // namespace handwriting
