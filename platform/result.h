#pragma once

#include <string>
#include <utility>
#include <variant>

namespace platform {

// What the user can do about an error: try the same again (an interruption, which a second run
// finishes), or first mend what the error names.
enum class Remedy {
    TryAgain,
    CheckAccount,    // the user name or password was refused
    CheckAddress,    // nothing answers at the address, or it holds no such thing
    ConfirmDeletes,  // many items would go on another's word alone
};

// An error the platform hands up to whoever can tell the user: one readable sentence, and what
// can be done about it.
struct Error {
    std::string message;
    Remedy remedy = Remedy::TryAgain;
};

// A value or the error that kept it from being made. The platform layer never throws across
// module boundaries; callers test the result and decide how loudly to fail.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(state_); }
    const T& value() const& { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const Error& error() const { return std::get<Error>(state_); }

private:
    std::variant<T, Error> state_;
};

// The result of an operation that yields nothing but success or an error.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return error_; }

private:
    Error error_;
    bool failed_ = false;
};

inline Error MakeError(std::string message) {
    return Error{std::move(message)};
}

}  // namespace platform
