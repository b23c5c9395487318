#pragma once
// The one way the core reports failure above the link: a value, or a Failure that carries what
// failed. The link's own result codes (LinkResult) stay on the wire; everything above it (file
// readers and writers, the XML document, the catalogue, the tree builders, the device procedures,
// the site commissioning) returns a Result<T> or a Status, and app/messages chooses the user's
// text from the Failure in one place.
#include <cstddef>
#include <string>
#include <utility>
#include <variant>

enum class FailureKind {
    File,       // a local file step: path and errorNumber (errno)
    Link,       // an exchange with the device: code is the link's result (LinkResult)
    Refused,    // the device answered with a refusal: code is its answer code
    Mismatch,   // the device holds other bytes than expected: at is the first differing offset
    Invalid,    // input that cannot be used: detail says why (UTF-8), path names it when a file
    TooOld,     // the device's firmware does not serve what was asked
    Cancelled,  // the user cancelled it
};

struct Failure {
    FailureKind kind = FailureKind::Invalid;
    std::string path;     // File, Invalid: the file concerned (may be empty for Invalid)
    int errorNumber = 0;  // File: errno of the failing step
    int code = 0;         // Link: the link's result; Refused: the device's answer code
    size_t at = 0;        // Mismatch: first differing byte; Invalid: the row or line, when known
    std::string detail;   // Invalid: the reason (UTF-8), e.g. the XML parser's message

    static Failure OfFile(std::string path, int errorNumber) {
        Failure f;
        f.kind = FailureKind::File;
        f.path = std::move(path);
        f.errorNumber = errorNumber;
        return f;
    }
    static Failure OfLink(int code) {
        Failure f;
        f.kind = FailureKind::Link;
        f.code = code;
        return f;
    }
    static Failure OfRefusal(int answerCode) {
        Failure f;
        f.kind = FailureKind::Refused;
        f.code = answerCode;
        return f;
    }
    static Failure OfMismatch(size_t firstDifference) {
        Failure f;
        f.kind = FailureKind::Mismatch;
        f.at = firstDifference;
        return f;
    }
    static Failure OfInvalid(std::string detail, std::string path = {}, size_t at = 0) {
        Failure f;
        f.kind = FailureKind::Invalid;
        f.detail = std::move(detail);
        f.path = std::move(path);
        f.at = at;
        return f;
    }
    static Failure Of(FailureKind kind) {
        Failure f;
        f.kind = kind;
        return f;
    }
};

// A value of T, or the Failure that prevented it.
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const Failure& failure() const { return std::get<1>(state_); }
    // The value, or fallback after a failure.
    T value_or(T fallback) const { return ok() ? std::get<0>(state_) : std::move(fallback); }

  private:
    std::variant<T, Failure> state_;
};

// Success without a value, or the Failure.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Failure failure) : failure_(std::move(failure)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Failure& failure() const { return failure_; }

  private:
    Failure failure_;
    bool ok_ = true;
};
