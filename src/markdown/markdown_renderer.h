#pragma once

#include "markdown/styled_text.h"

#include <QStringView>

// Turns one piece of inline Markdown (the text of a heading, paragraph, quote, list item or table
// cell) into styled text. Pure functions without state; neither fails: text the interpreter
// cannot take is shown literally, as one run.
namespace quillet::MarkdownRenderer {

// Every run in the 15-point regular body font.
StyledText renderInline(QStringView text);

// Every run in the bold heading font of `level`, whatever the markup; intents and links stay.
StyledText renderHeading(QStringView text, int level);

StyledFont bodyFont();

// 24, 20, 18, 16 and 15 points for levels 1 to 5, 14 for any other level; always bold.
StyledFont headingFont(int level);

} // namespace quillet::MarkdownRenderer
