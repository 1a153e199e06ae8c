// Feeds arbitrary bytes to the handwriting model check. Whatever it takes, zinnia must open and
// read without reading past the bytes: they end where a page the process may not read begins, so
// a read past them ends the run. Inputs whose first byte is odd get the header word that matches
// their size, so that the fuzzer gets past it to the characters.
#include <sys/mman.h>
#include <unistd.h>
#include <zinnia.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "platform/handwriting/zinnia_model.h"

namespace {

constexpr uint32_t kMagic = 0x0ef71821;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Room for `size` bytes that end four-byte aligned right before a page that cannot be read.
class GuardedBytes {
public:
    explicit GuardedBytes(size_t size) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t aligned = (size + 3) / 4 * 4;
        length_ = (aligned + page - 1) / page * page + page;
        void* mapped =
            mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            Fail("cannot map the guarded bytes");
        }
        base_ = static_cast<std::byte*>(mapped);
        mprotect(base_ + length_ - page, page, PROT_NONE);
        data_ = base_ + length_ - page - aligned;
    }
    ~GuardedBytes() { munmap(base_, length_); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    std::byte* data() { return data_; }

private:
    std::byte* base_ = nullptr;
    std::byte* data_ = nullptr;
    size_t length_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GuardedBytes guarded(size);
    std::byte* bytes = guarded.data();
    std::memcpy(bytes, data, size);
    if (size >= 4 && (data[0] & 1) != 0) {
        const uint32_t word = static_cast<uint32_t>(size) ^ kMagic;
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<std::byte>(word >> (8 * i));
        }
    }
    const std::span<const std::byte> model(bytes, size);
    if (handwriting::ModelDamage(model)) {
        return 0;
    }
    std::unique_ptr<zinnia::Recognizer> recognizer(zinnia::Recognizer::create());
    if (!recognizer->open(reinterpret_cast<const char*>(bytes), size)) {
        Fail("zinnia refused a model the check took");
    }
    std::unique_ptr<zinnia::Character> character(zinnia::Character::create());
    character->set_width(100);
    character->set_height(100);
    character->add(0, 10, 10);
    character->add(0, 90, 80);
    character->add(1, 50, 5);
    character->add(1, 50, 95);
    std::unique_ptr<zinnia::Result> result(recognizer->classify(*character, 10));
    const auto* first = reinterpret_cast<const char*>(bytes);
    for (size_t i = 0; result && i < result->size(); ++i) {
        const char* name = result->value(i);
        if (name < first || name + 16 > first + size || std::memchr(name, 0, 16) == nullptr) {
            Fail("a character's name lies outside the model or does not end");
        }
    }
    return 0;
}
