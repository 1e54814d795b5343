#include "preview_accessibility.h"

#include "preview_block_layout.h"
#include "preview_view.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <optional>

namespace quillet::PreviewAccessibility {

namespace {

using Kind = MarkdownBlock::Kind;

// Beyond this many new blocks (a new document, a long paste) clients are told once that the
// document's children changed rather than of each new one.
constexpr qsizetype kMostSingleEvents = 64;

QAccessible::Role blockRole(const MarkdownBlock &block)
{
    switch (block.kind()) {
    case Kind::heading:
        return QAccessible::Heading;
    case Kind::paragraph:
        return QAccessible::Paragraph;
    case Kind::codeBlock:
        // Read-only text, as a code viewer presents it.
        return QAccessible::EditableText;
    case Kind::blockquote:
        return QAccessible::Section;
    case Kind::unorderedList:
    case Kind::orderedList:
    case Kind::taskList:
        return QAccessible::List;
    case Kind::table:
        return QAccessible::Table;
    case Kind::horizontalRule:
        return QAccessible::Separator;
    case Kind::emptyLine:
        break;
    }
    return QAccessible::NoRole;
}

// What a list item or table row `row` holds, and a cell's `column` in it: rows count the header
// as row 0.
qsizetype partCount(const MarkdownBlock &block, int row)
{
    if (row < 0) {
        if (const auto *list = block.as<MarkdownBlock::UnorderedList>())
            return list->items.size();
        if (const auto *list = block.as<MarkdownBlock::OrderedList>())
            return list->items.size();
        if (const auto *list = block.as<MarkdownBlock::TaskList>())
            return list->items.size();
        if (const auto *table = block.as<MarkdownBlock::Table>())
            return 1 + table->rows.size();
        return 0;
    }
    if (const auto *table = block.as<MarkdownBlock::Table>())
        return row == 0 ? table->header.size() : table->rows.at(row - 1).size();
    return 0;
}

// The text a reader hears, as the preview shows it: an ordered item with its number, code
// without the line feed that ends it.
QString plainText(const MarkdownBlock &block, int row, int column)
{
    switch (block.kind()) {
    case Kind::heading:
        return block.as<MarkdownBlock::Heading>()->text.text();
    case Kind::paragraph:
        return block.as<MarkdownBlock::Paragraph>()->text.text();
    case Kind::blockquote:
        return block.as<MarkdownBlock::Blockquote>()->text.text();
    case Kind::codeBlock: {
        QString content = block.as<MarkdownBlock::CodeBlock>()->content;
        if (content.endsWith(u'\n'))
            content.chop(1);
        return content;
    }
    case Kind::unorderedList:
        return row < 0 ? QString()
                       : block.as<MarkdownBlock::UnorderedList>()->items.at(row).text.text();
    case Kind::orderedList: {
        const auto *list = block.as<MarkdownBlock::OrderedList>();
        if (row < 0)
            return {};
        return PreviewBlockLayout::orderedMarker(list->start, row) + u' ' +
               list->items.at(row).text.text();
    }
    case Kind::taskList:
        return row < 0 ? QString() : block.as<MarkdownBlock::TaskList>()->items.at(row).text.text();
    case Kind::table: {
        if (column < 0)
            return {};
        const auto *table = block.as<MarkdownBlock::Table>();
        return (row == 0 ? table->header : table->rows.at(row - 1)).at(column).text();
    }
    case Kind::horizontalRule:
    case Kind::emptyLine:
        break;
    }
    return {};
}

QRect globalRect(const PreviewView &view, qsizetype index)
{
    if (index < 0)
        return {};
    const QRectF area = view.knownBlockRect(index).translated(-view.horizontalScrollBar()->value(),
                                                              -view.verticalScrollBar()->value());
    const QRect local = area.toAlignedRect();
    return QRect(view.viewport()->mapToGlobal(local.topLeft()), local.size());
}

// A block, or an item, row or cell within one. Not a QObject: it is registered with QAccessible
// by id, and the document deletes it when its block is gone. Its block's layout object names it;
// everything it says is read from that block, so it stays true until the block is replaced.
class BlockNode : public QAccessibleInterface, public QAccessibleTextInterface {
public:
    // `index`: where the block is in the view now.
    BlockNode(PreviewView *view, qsizetype index, QAccessible::Id parent, int row = -1,
              int column = -1)
        : m_view(view)
        , m_entry(view->blockEntry(index))
        , m_key(view->blockEntry(index).get())
        , m_parent(parent)
        , m_row(row)
        , m_column(column)
        , m_indexHint(index)
    {
        const auto entry = m_entry.lock();
        const MarkdownBlock &block = entry->block();
        if (row < 0)
            m_role = blockRole(block);
        else if (column >= 0)
            m_role = row == 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
        else
            m_role = block.kind() == Kind::table ? QAccessible::Row : QAccessible::ListItem;
        m_children.resize(column < 0 ? partCount(block, row) : 0, 0);
        if (row >= 0 && block.kind() == Kind::taskList)
            m_checked = block.as<MarkdownBlock::TaskList>()->items.at(row).checked;
    }

    ~BlockNode() override
    {
        for (const QAccessible::Id id : std::as_const(m_children)) {
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    const PreviewBlockLayout *key() const { return m_key; }
    // Where the block is now, or -1 once it is gone: where it was last time unless blocks
    // above it came or went, so a reader walking the document does not search it each time.
    qsizetype blockIndex() const
    {
        if (!m_view)
            return -1;
        if (m_indexHint < 0 || m_indexHint >= m_view->blockCount() ||
            m_view->blockEntry(m_indexHint).get() != m_key)
            m_indexHint = m_view->indexOfBlock(m_key);
        return m_indexHint;
    }
    QAccessible::Id parentId() const { return m_parent; }
    int row() const { return m_row; }
    int column() const { return m_column; }

    bool isValid() const override { return m_view; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::accessibleInterface(m_parent);
    }
    int childCount() const override { return int(m_children.size()); }

    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= m_children.size())
            return nullptr;
        if (QAccessibleInterface *made = QAccessible::accessibleInterface(m_children.at(index)))
            return made;
        const qsizetype block = blockIndex();
        if (block < 0)
            return nullptr;
        const bool cell = m_role == QAccessible::Row;
        auto *node =
            new BlockNode(m_view, block, QAccessible::uniqueId(const_cast<BlockNode *>(this)),
                          cell ? m_row : index, cell ? index : -1);
        m_children[index] = QAccessible::registerAccessibleInterface(node);
        return node;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *node = dynamic_cast<const BlockNode *>(child);
        if (!node || node->m_key != m_key ||
            node->parentId() != QAccessible::uniqueId(const_cast<BlockNode *>(this)))
            return -1;
        return m_role == QAccessible::Row ? node->column() : node->row();
    }

    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return {};
        if (m_role == QAccessible::EditableText) {
            const auto entry = m_entry.lock();
            const auto *code = entry ? entry->block().as<MarkdownBlock::CodeBlock>() : nullptr;
            return code && code->language ? *code->language : QString();
        }
        // Short pieces are named by their text, as browsers name headings, items and cells.
        if (m_role == QAccessible::Heading || m_role == QAccessible::ListItem ||
            m_role == QAccessible::Cell || m_role == QAccessible::ColumnHeader)
            return plain();
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override { return m_view ? globalRect(*m_view, blockIndex()) : QRect(); }

    QAccessible::Role role() const override { return m_role; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        if (!m_view || !m_view->isVisible()) {
            s.invisible = true;
            return s;
        }
        const QRect area = rect();
        s.offscreen =
            area.isEmpty() || !area.intersects(QRect(m_view->viewport()->mapToGlobal(QPoint(0, 0)),
                                                     m_view->viewport()->size()));
        s.multiLine = m_role == QAccessible::EditableText;
        s.checkable = m_checked.has_value();
        s.checked = m_checked.value_or(false);
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface && hasText())
            return static_cast<QAccessibleTextInterface *>(this);
        return nullptr;
    }

    // The text interface: the plain text, with no caret and no selection.
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override
    {
        const QString all = plain();
        start = std::clamp(start, 0, int(all.size()));
        end = end < 0 ? int(all.size()) : std::clamp(end, start, int(all.size()));
        return all.mid(start, end - start);
    }
    int characterCount() const override { return int(plain().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override
    {
        const qsizetype index = blockIndex();
        if (index >= 0)
            m_view->verticalScrollBar()->setValue(int(m_view->knownBlockRect(index).top()));
    }
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    bool hasText() const
    {
        switch (m_role) {
        case QAccessible::Heading:
        case QAccessible::Paragraph:
        case QAccessible::EditableText:
        case QAccessible::Section:
        case QAccessible::ListItem:
        case QAccessible::Cell:
        case QAccessible::ColumnHeader:
            return true;
        default:
            return false;
        }
    }

    QString plain() const
    {
        const auto entry = m_entry.lock();
        return entry ? plainText(entry->block(), m_row, m_column) : QString();
    }

    QPointer<PreviewView> m_view;
    std::weak_ptr<const PreviewBlockLayout> m_entry;
    const PreviewBlockLayout *m_key;
    QAccessible::Id m_parent;
    int m_row;
    int m_column;
    QAccessible::Role m_role = QAccessible::NoRole;
    // Of a task item: whether it is done.
    std::optional<bool> m_checked;
    mutable qsizetype m_indexHint;
    // Ids of the items, rows or cells made so far; 0 where none is yet.
    mutable QList<QAccessible::Id> m_children;
};

class DocumentAccessible : public QAccessibleWidget {
public:
    explicit DocumentAccessible(PreviewView *view)
        : QAccessibleWidget(view, QAccessible::Document)
    {
        m_nodes.resize(view->blockCount(), 0);
        // The interface lives as long as the view; the connection looks it up each time so
        // that it never outlives it either.
        QObject::connect(view, &PreviewView::blocksChanged, view,
                         [view](qsizetype first, qsizetype removed, qsizetype added) {
                             if (auto *document = dynamic_cast<DocumentAccessible *>(
                                     QAccessible::queryAccessibleInterface(view)))
                                 document->blocksReplaced(first, removed, added);
                         });
    }

    ~DocumentAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_nodes)) {
            if (id)
                QAccessible::deleteAccessibleInterface(id);
        }
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return QStringLiteral("Preview");
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    int childCount() const override { return int(shownBlocks().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<qsizetype> &shown = shownBlocks();
        if (index < 0 || index >= shown.size())
            return nullptr;
        return nodeFor(shown.at(index));
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *node = dynamic_cast<const BlockNode *>(child);
        if (!node || node->row() >= 0)
            return -1;
        const qsizetype block = node->blockIndex();
        const QList<qsizetype> &shown = shownBlocks();
        const auto found = std::lower_bound(shown.begin(), shown.end(), block);
        return found != shown.end() && *found == block ? int(found - shown.begin()) : -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const PreviewView *preview = view();
        const QPoint local = preview->viewport()->mapFromGlobal(QPoint(x, y));
        if (!preview->viewport()->rect().contains(local))
            return nullptr;
        const qsizetype index = preview->blockAt(local.y() + preview->verticalScrollBar()->value());
        if (index < 0 || preview->block(index).kind() == Kind::emptyLine)
            return nullptr;
        return nodeFor(index);
    }

    // Follows the view's change of blocks: the nodes of the blocks replaced go, and a listening
    // client is told of them and of the new ones. The work is that of the change, whatever
    // the length of the document.
    void blocksReplaced(qsizetype first, qsizetype removed, qsizetype added)
    {
        m_shownValid = false;
        const bool tell = QAccessible::isActive();
        for (qsizetype i = first; i < first + removed; ++i) {
            QAccessibleInterface *gone = QAccessible::accessibleInterface(m_nodes.at(i));
            if (!gone)
                continue;
            if (tell) {
                QAccessibleEvent event(gone, QAccessible::ObjectDestroyed);
                QAccessible::updateAccessibility(&event);
            }
            QAccessible::deleteAccessibleInterface(m_nodes.at(i));
        }
        m_nodes.remove(first, removed);
        m_nodes.insert(first, added, 0);
        if (!tell)
            return;
        if (added > kMostSingleEvents) {
            QAccessibleEvent event(view(), QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&event);
            return;
        }
        for (qsizetype i = first; i < first + added; ++i) {
            if (view()->block(i).kind() == Kind::emptyLine)
                continue;
            QAccessibleEvent event(nodeFor(i), QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&event);
        }
    }

private:
    PreviewView *view() const { return static_cast<PreviewView *>(widget()); }

    // The indices of the blocks that are children: all but empty lines, found again after a
    // change only when a client asks.
    const QList<qsizetype> &shownBlocks() const
    {
        if (!m_shownValid) {
            m_shown.clear();
            for (qsizetype i = 0; i < view()->blockCount(); ++i) {
                if (view()->block(i).kind() != Kind::emptyLine)
                    m_shown.append(i);
            }
            m_shownValid = true;
        }
        return m_shown;
    }

    QAccessibleInterface *nodeFor(qsizetype index) const
    {
        if (QAccessibleInterface *node = QAccessible::accessibleInterface(m_nodes.at(index)))
            return node;
        auto *node = new BlockNode(view(), index,
                                   QAccessible::uniqueId(const_cast<DocumentAccessible *>(this)));
        m_nodes[index] = QAccessible::registerAccessibleInterface(node);
        return node;
    }

    mutable QList<qsizetype> m_shown;
    mutable bool m_shownValid = false;
    // The node of each block, in the view's order, spliced as its blocks are; 0 where no
    // client has asked for one.
    mutable QList<QAccessible::Id> m_nodes;
};

} // namespace

QAccessibleInterface *documentInterface(PreviewView *view)
{
    return new DocumentAccessible(view);
}

} // namespace quillet::PreviewAccessibility
