#pragma once
// Failures as values: an operation that can fail returns a Status (nothing
// else to give) or a Result<T>, and the reason travels with it up to the
// window or the command line. Reasons are GBK texts, like every text inside.
// Status is not [[nodiscard]]: the settings store also reports every failed
// save through its warning handler, so a window that only wants it shown may
// leave the returned Status alone.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace lianshuo {

/// Why an operation failed: the system's error number (0 when none applies) and a text.
struct Failure {
    int code = 0;
    std::string reason;
};

/// Success, or a failure with its reason.
class Status {
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

/// A value, or a failure with its reason.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}
    /// The failure of `status`, which must not be a success.
    Result(const Status& status) : state_(Failure{status.code(), status.reason()}) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    /// The value; only when ok().
    T& value() { return std::get<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    /// The error number of a failure; 0 on success.
    int code() const { return ok() ? 0 : std::get<Failure>(state_).code; }
    /// The reason of a failure; empty on success.
    std::string reason() const { return ok() ? std::string() : std::get<Failure>(state_).reason; }
    /// Success, or the same failure without the value.
    Status status() const { return ok() ? Status() : Status(std::get<Failure>(state_)); }

private:
    std::variant<T, Failure> state_;
};

}  // namespace lianshuo
