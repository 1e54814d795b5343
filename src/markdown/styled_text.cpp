#include "markdown/styled_text.h"

namespace quillet {

void StyledText::append(const StyledRun &run)
{
    if (run.text.isEmpty())
        return;
    if (!m_runs.isEmpty() && m_runs.last().hasSameAttributes(run)) {
        m_runs.last().text += run.text;
        return;
    }
    m_runs.append(run);
}

QString StyledText::text() const
{
    qsizetype size = 0;
    for (const StyledRun &run : m_runs)
        size += run.text.size();
    QString result;
    result.reserve(size);
    for (const StyledRun &run : m_runs)
        result += run.text;
    return result;
}

} // namespace quillet
