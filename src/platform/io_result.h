#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace quillet {

// Why a read or write failed, in words fit to follow "<what failed>: " on a printed line.
struct IoFailure {
    QString reason;
};

inline IoFailure ioFailure(QString reason)
{
    return IoFailure{std::move(reason)};
}

// What a read gives back: the value, or the reason it could not be had. The caller that
// reports the failure adds its own prefix, so helpers never compose a printed line.
template <typename T> class [[nodiscard]] IoResult {
public:
    IoResult(T value)
        : m_value(std::move(value))
    {
    }
    IoResult(IoFailure failure)
        : m_reason(std::move(failure.reason))
    {
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only on success.
    T &value() & { return *m_value; }
    const T &value() const & { return *m_value; }
    T &&value() && { return std::move(*m_value); }
    T &operator*() & { return *m_value; }
    const T &operator*() const & { return *m_value; }
    T &&operator*() && { return std::move(*m_value); }
    T *operator->() { return &*m_value; }
    const T *operator->() const { return &*m_value; }

    // Only on failure; empty on success.
    const QString &reason() const { return m_reason; }

private:
    std::optional<T> m_value;
    QString m_reason;
};

// What a write gives back: success, or the reason it failed.
class [[nodiscard]] IoStatus {
public:
    IoStatus() = default;
    IoStatus(IoFailure failure)
        : m_failed(true)
        , m_reason(std::move(failure.reason))
    {
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString &reason() const { return m_reason; }

private:
    bool m_failed = false;
    QString m_reason;
};

} // namespace quillet
