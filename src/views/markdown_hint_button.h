#pragma once

#include "symbol_button.h"

namespace quillet {

// The question-mark button of the tab bar that opens the Markdown reference.
class MarkdownHintButton : public SymbolButton {
    Q_OBJECT

public:
    explicit MarkdownHintButton(QWidget *parent = nullptr);
};

} // namespace quillet
