#include "platform/handwriting/zinnia_model.h"

#include <algorithm>

namespace handwriting {
namespace {

// The constant the first word XORs the file's size with, and the one version zinnia reads.
constexpr uint32_t kMagic = 0x0ef71821;
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderBytes = 12;
constexpr size_t kNameBytes = 16;
constexpr size_t kBiasBytes = 4;
constexpr size_t kWeightBytes = 8;
// The smallest a character can be: its name, its bias and the end of its weights.
constexpr size_t kSmallestCharacter = kNameBytes + kBiasBytes + kWeightBytes;
constexpr int32_t kEndOfWeights = -1;

uint32_t Word(std::span<const std::byte> bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<std::string> ModelDamage(std::span<const std::byte> model) {
    const size_t size = model.size();
    if (size > kMaxModelBytes) {
        return "it holds " + std::to_string(size) + " bytes, more than a model's " +
               std::to_string(kMaxModelBytes);
    }
    if (size < kHeaderBytes) {
        return "it is shorter than a model's header";
    }
    if ((Word(model, 0) ^ kMagic) != size) {
        return "its header does not match its size of " + std::to_string(size) + " bytes";
    }
    if (const uint32_t version = Word(model, 4); version != kVersion) {
        return "it is of another version of the format (" + std::to_string(version) + ")";
    }
    const uint32_t characters = Word(model, 8);
    if (characters > (size - kHeaderBytes) / kSmallestCharacter) {
        return "its header claims " + std::to_string(characters) + " characters, more than its " +
               std::to_string(size) + " bytes hold";
    }
    size_t at = kHeaderBytes;
    for (uint32_t character = 0; character < characters; ++character) {
        const std::string which = "character " + std::to_string(character + 1);
        if (size - at < kNameBytes + kBiasBytes) {
            return which + " runs past the end";
        }
        const auto name = model.subspan(at, kNameBytes);
        if (std::find(name.begin(), name.end(), std::byte{0}) == name.end()) {
            return "the name of " + which + " does not end";
        }
        at += kNameBytes + kBiasBytes;
        for (;;) {
            if (size - at < kWeightBytes) {
                return which + " runs past the end";
            }
            const auto index = static_cast<int32_t>(Word(model, at));
            at += kWeightBytes;
            if (index == kEndOfWeights) {
                break;
            }
        }
    }
    if (at != size) {
        return std::to_string(size - at) + " bytes follow its last character";
    }
    return std::nullopt;
}

}  // namespace handwriting
