#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace tovradocs::Internal {

// A value or a message a user can read. Fallible internal calls return this
// instead of throwing.
template<typename T>
class Result
{
public:
    Result(T value) : m_value(std::move(value)) {}
    static Result failure(const QString &message) { return Result(message, 0); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    QString error() const { return m_error; }

private:
    Result(const QString &message, int) : m_error(message) {}
    std::optional<T> m_value;
    QString m_error;
};

// For calls that return nothing but can fail.
class Outcome
{
public:
    Outcome() = default;
    static Outcome failure(const QString &message) { Outcome o; o.m_error = message; o.m_failed = true; return o; }
    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    QString error() const { return m_error; }

private:
    QString m_error;
    bool m_failed = false;
};

} // namespace tovradocs::Internal
