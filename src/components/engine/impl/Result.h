#pragma once
// A value or an error message; the engine's internal way of reporting failures without exceptions.
#include <string>
#include <utility>
#include <variant>

namespace brevio::engine {

struct Error {
    std::string message;
};

template <typename T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const std::string& error() const { return std::get<1>(v_).message; }

private:
    std::variant<T, Error> v_;
};

// Result of an operation without a value.
class Status {
public:
    Status() = default;
    Status(Error error) : failed_(true), message_(std::move(error.message)) {}
    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return message_; }

private:
    bool failed_ = false;
    std::string message_;
};

inline Error Fail(std::string message) {
    return Error{std::move(message)};
}

}  // namespace brevio::engine
