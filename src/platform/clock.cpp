#include "clock.h"

namespace quillet {

Clock::Source &Clock::overrideSource()
{
    static Source source;
    return source;
}

QDateTime Clock::now()
{
    const Source &source = overrideSource();
    return source ? source().toUTC() : QDateTime::currentDateTimeUtc();
}

ScopedClockOverride::ScopedClockOverride(Clock::Source source)
    : m_previous(std::exchange(Clock::overrideSource(), std::move(source)))
{
}

ScopedClockOverride::~ScopedClockOverride()
{
    Clock::overrideSource() = std::move(m_previous);
}

} // namespace quillet
