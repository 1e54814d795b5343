#pragma once

#include "markdown/styled_text.h"

#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace quillet {

// One block of a parsed document: exactly one of ten kinds, each with its own values. Blocks are
// plain values; nothing in them refers back into the source text.
class MarkdownBlock {
public:
    struct ListItem {
        // Characters removed when the line was trimmed at both ends, trailing ones included.
        qsizetype indent = 0;
        StyledText text;

        friend bool operator==(const ListItem &, const ListItem &) = default;
    };

    struct TaskItem {
        qsizetype indent = 0;
        bool checked = false;
        StyledText text;

        friend bool operator==(const TaskItem &, const TaskItem &) = default;
    };

    struct Heading {
        int level = 1; // 1 to 6
        StyledText text;
        friend bool operator==(const Heading &, const Heading &) = default;
    };
    struct Paragraph {
        StyledText text;
        friend bool operator==(const Paragraph &, const Paragraph &) = default;
    };
    struct CodeBlock {
        std::optional<QString> language; // never empty when present
        QString content;                 // raw; ends with a line feed unless empty
        friend bool operator==(const CodeBlock &, const CodeBlock &) = default;
    };
    struct Blockquote {
        StyledText text;
        friend bool operator==(const Blockquote &, const Blockquote &) = default;
    };
    struct UnorderedList {
        QList<ListItem> items;
        friend bool operator==(const UnorderedList &, const UnorderedList &) = default;
    };
    struct OrderedList {
        QList<ListItem> items;
        qint64 start = 1;
        friend bool operator==(const OrderedList &, const OrderedList &) = default;
    };
    struct TaskList {
        QList<TaskItem> items;
        friend bool operator==(const TaskList &, const TaskList &) = default;
    };
    // Rows keep the number of cells their line had; nothing is padded or cut.
    struct Table {
        QList<StyledText> header;
        QList<QList<StyledText>> rows;
        friend bool operator==(const Table &, const Table &) = default;
    };
    struct HorizontalRule {
        friend bool operator==(const HorizontalRule &, const HorizontalRule &) = default;
    };
    struct EmptyLine {
        friend bool operator==(const EmptyLine &, const EmptyLine &) = default;
    };

    // The kinds in the order of the alternatives of Value.
    enum class Kind {
        heading,
        paragraph,
        codeBlock,
        blockquote,
        unorderedList,
        orderedList,
        taskList,
        table,
        horizontalRule,
        emptyLine,
    };

    using Value = std::variant<Heading, Paragraph, CodeBlock, Blockquote, UnorderedList,
                               OrderedList, TaskList, Table, HorizontalRule, EmptyLine>;

    MarkdownBlock(Value value) : m_value(std::move(value)) {}

    Kind kind() const { return static_cast<Kind>(m_value.index()); }
    const Value &value() const { return m_value; }

    // The values of one kind, or null when the block is of another kind.
    template <typename Case>
    const Case *as() const
    {
        return std::get_if<Case>(&m_value);
    }

    friend bool operator==(const MarkdownBlock &, const MarkdownBlock &) = default;

private:
    Value m_value;
};

} // namespace quillet
