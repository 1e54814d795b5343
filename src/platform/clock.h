#pragma once

#include <QDateTime>

#include <functional>

namespace quillet {

// The model's source of "now". Everything in the model that stamps a time asks this clock, so
// tests can pin time with a ScopedClockOverride instead of sleeping.
class Clock {
public:
    using Source = std::function<QDateTime()>;

    // Current time in UTC, from the override when one is installed.
    static QDateTime now();

private:
    friend class ScopedClockOverride;
    static Source &overrideSource();
};

// Installs a time source for its lifetime and restores the previous one afterwards.
// Main-thread only, like every field write of the model.
class ScopedClockOverride {
public:
    explicit ScopedClockOverride(Clock::Source source);
    ~ScopedClockOverride();
    ScopedClockOverride(const ScopedClockOverride &) = delete;
    ScopedClockOverride &operator=(const ScopedClockOverride &) = delete;

private:
    Clock::Source m_previous;
};

} // namespace quillet
