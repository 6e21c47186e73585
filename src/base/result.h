#pragma once
// Failures as values: an operation that can fail returns a Status (nothing
// else to give) or a Result<T>, and the reason travels with it up to the
// window or the command line. Reasons are GBK texts, like every text inside.
// Neither may be dropped unread: a failure nobody looked at is a failure
// reported as success.

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace lianshuo {

/// Why an operation failed: the system's error number (0 when none applies) and a text.
struct Failure {
    int code = 0;
    std::string reason;
};

/// Success, or a failure with its reason.
class [[nodiscard]] Status {
public:
    /// Success.
    Status() = default;
    Status(Failure failure) : failure_(std::move(failure)) {}

    /// A failure with `reason` and no error number.
    static Status failed(std::string reason, int code = 0) {
        return Failure{code, std::move(reason)};
    }

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    /// The error number of a failure; 0 on success.
    int code() const { return failure_ ? failure_->code : 0; }
    /// The reason of a failure; empty on success.
    const std::string& reason() const { return failure_ ? failure_->reason : empty(); }

private:
    static const std::string& empty() {
        static const std::string none;
        return none;
    }
    std::optional<Failure> failure_;
};

/// A value, or a failure of type E (a Failure unless the floor has richer details).
template <typename T, typename E = Failure>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(E failure) : state_(std::move(failure)) {}
    /// The failure of `status`, which must not be a success.
    Result(const Status& status) requires std::is_same_v<E, Failure>
        : state_(Failure{status.code(), status.reason()}) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    /// The value; only when ok().
    T& value() { return std::get<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    /// The failure; only when !ok().
    const E& error() const { return std::get<E>(state_); }

    /// The error number of a failure; 0 on success.
    int code() const requires std::is_same_v<E, Failure> { return ok() ? 0 : error().code; }
    /// The reason of a failure; empty on success.
    std::string reason() const requires std::is_same_v<E, Failure> {
        return ok() ? std::string() : error().reason;
    }
    /// Success, or the same failure without the value.
    Status status() const requires std::is_same_v<E, Failure> {
        return ok() ? Status() : Status(error());
    }

private:
    std::variant<T, E> state_;
};

}  // namespace lianshuo
