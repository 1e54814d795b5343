#pragma once

#include <QFlags>
#include <QList>
#include <QString>

#include <optional>

namespace quillet {

// A font as a plain value: the views turn it into a QFont, this layer never does. The family is
// never named; size and weight select a face of the system font.
struct StyledFont {
    enum class Weight { regular, semibold, bold };
    enum class Design { standard, monospaced };

    int pointSize = 15;
    Weight weight = Weight::regular;
    Design design = Design::standard;

    friend bool operator==(const StyledFont &, const StyledFont &) = default;
};

// How the source marked a run. A view draws emphasized text italic, strongly emphasized text
// bold, code in the monospaced variant of the run's font and strikethrough with a line.
enum class InlineIntent : quint8 {
    emphasized = 0x1,
    stronglyEmphasized = 0x2,
    code = 0x4,
    strikethrough = 0x8,
};
Q_DECLARE_FLAGS(InlineIntents, InlineIntent)
Q_DECLARE_OPERATORS_FOR_FLAGS(InlineIntents)

struct StyledRun {
    QString text;
    StyledFont font;
    InlineIntents intents;
    // The destination exactly as the source gave it (escapes and references decoded); a view
    // makes a URL of it when the link is activated.
    std::optional<QString> link;

    // Whether two runs carry the same attributes, whatever their text.
    bool hasSameAttributes(const StyledRun &other) const
    {
        return font == other.font && intents == other.intents && link == other.link;
    }

    friend bool operator==(const StyledRun &, const StyledRun &) = default;
};

// A string divided into runs of equal attributes. Runs are never empty and two neighbours never
// carry the same attributes: appending merges them, so equal texts compare equal however they
// were built. Copies share their runs until one of them changes.
class StyledText {
public:
    StyledText() = default;
    explicit StyledText(const StyledRun &run) { append(run); }

    // Adds a run at the end; an empty one is dropped, one with the attributes of the last run
    // extends it.
    void append(const StyledRun &run);

    const QList<StyledRun> &runs() const { return m_runs; }
    bool isEmpty() const { return m_runs.isEmpty(); }

    // The characters of all runs, in order.
    QString text() const;

    friend bool operator==(const StyledText &, const StyledText &) = default;

private:
    QList<StyledRun> m_runs;
};

} // namespace quillet
