#include "find_bar.h"

#include "plain_text_text_view.h"
#include "style/theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillet {

FindBar::FindBar(QWidget *parent)
    : QWidget(parent)
{
    m_searchField = new QLineEdit(this);
    m_searchField->setPlaceholderText(tr("Find"));
    m_searchField->setClearButtonEnabled(true);
    m_replaceField = new QLineEdit(this);
    m_replaceField->setPlaceholderText(tr("Replace"));
    // A placeholder is gone once the field has text; the names stay for a screen reader.
    m_searchField->setAccessibleName(tr("Find"));
    m_replaceField->setAccessibleName(tr("Replace with"));
    m_countLabel = new QLabel(this);

    m_replaceToggle = new QToolButton(this);
    m_replaceToggle->setText(tr("Replace"));
    m_replaceToggle->setCheckable(true);
    auto *previous = new QPushButton(tr("Previous"), this);
    auto *next = new QPushButton(tr("Next"), this);
    auto *done = new QPushButton(tr("Done"), this);
    auto *replaceOne = new QPushButton(tr("Replace"), this);
    auto *replaceEvery = new QPushButton(tr("Replace All"), this);
    for (QPushButton *button : {previous, next, done, replaceOne, replaceEvery}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
    }

    auto *findRow = new QHBoxLayout;
    findRow->addWidget(m_replaceToggle);
    findRow->addWidget(m_searchField, 1);
    findRow->addWidget(m_countLabel);
    findRow->addWidget(previous);
    findRow->addWidget(next);
    findRow->addWidget(done);

    m_replaceRow = new QWidget(this);
    auto *replaceRow = new QHBoxLayout(m_replaceRow);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    replaceRow->addWidget(m_replaceField, 1);
    replaceRow->addWidget(replaceOne);
    replaceRow->addWidget(replaceEvery);
    m_replaceRow->hide();

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 4, 8, 4);
    rows->addLayout(findRow);
    rows->addWidget(m_replaceRow);

    connect(m_searchField, &QLineEdit::textEdited, this, &FindBar::searchAsTyped);
    connect(m_replaceToggle, &QToolButton::toggled, this, &FindBar::setReplaceShown);
    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(done, &QPushButton::clicked, this, &FindBar::close);
    connect(replaceOne, &QPushButton::clicked, this, &FindBar::replace);
    connect(replaceEvery, &QPushButton::clicked, this, &FindBar::replaceAll);
    m_searchField->installEventFilter(this);
    m_replaceField->installEventFilter(this);
    hide();
}

void FindBar::setTarget(PlainTextTextView *view)
{
    if (m_target == view)
        return;
    clearHighlights();
    if (m_target) {
        disconnect(m_target->document(), nullptr, this, nullptr);
        disconnect(m_target, nullptr, this, nullptr);
    }
    m_target = view;
    if (m_target) {
        // Not for each slice of a text being prepared: every search reads all of the document.
        connect(m_target->document(), &QTextDocument::contentsChanged, this, [this] {
            if (isVisible() && !m_target->isPreparingText())
                refreshHighlights();
        });
        connect(m_target, &PlainTextTextView::textPrepared, this, [this] {
            if (isVisible())
                refreshHighlights();
        });
    }
    if (isVisible())
        refreshHighlights();
}

void FindBar::openFind()
{
    if (m_target) {
        const QString selected = m_target->textCursor().selectedText();
        // A selection across lines is no search text.
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
            m_searchField->setText(selected);
    }
    show();
    m_searchField->setFocus();
    m_searchField->selectAll();
    refreshHighlights();
}

void FindBar::openReplace()
{
    setReplaceShown(true);
    openFind();
}

void FindBar::close()
{
    clearHighlights();
    hide();
    if (m_target)
        m_target->setFocus();
}

QString FindBar::searchText() const
{
    return m_searchField->text();
}

void FindBar::setSearchText(const QString &text)
{
    m_searchField->setText(text);
    searchAsTyped();
}

void FindBar::setReplacementText(const QString &text)
{
    m_replaceField->setText(text);
}

bool FindBar::replaceShown() const
{
    return m_replaceToggle->isChecked();
}

void FindBar::setReplaceShown(bool shown)
{
    m_replaceToggle->setChecked(shown);
    m_replaceRow->setVisible(shown);
}

bool FindBar::find(int from, bool backward)
{
    if (!m_target || searchText().isEmpty())
        return false;
    QTextDocument *document = m_target->document();
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor start(document);
    start.setPosition(from);
    QTextCursor match = document->find(searchText(), start, flags);
    if (match.isNull()) {
        QTextCursor wrapped(document);
        wrapped.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        match = document->find(searchText(), wrapped, flags);
    }
    if (match.isNull())
        return false;
    m_target->setTextCursor(match);
    // The status bar follows the match, though the focus stays in the search field.
    m_target->reportCursorPosition();
    return true;
}

void FindBar::findNext()
{
    if (m_target)
        find(m_target->textCursor().selectionEnd(), false);
}

void FindBar::findPrevious()
{
    if (m_target)
        find(m_target->textCursor().selectionStart(), true);
}

void FindBar::searchAsTyped()
{
    // From the start of the current match, so a longer search text keeps the match in place.
    if (m_target)
        find(m_target->textCursor().selectionStart(), false);
    refreshHighlights();
}

bool FindBar::selectionIsMatch() const
{
    const QString selected = m_target->textCursor().selectedText();
    return !selected.isEmpty() && selected.compare(searchText(), Qt::CaseInsensitive) == 0;
}

void FindBar::replace()
{
    if (!m_target || m_target->isReadOnly() || searchText().isEmpty())
        return;
    if (selectionIsMatch()) {
        QTextCursor cursor = m_target->textCursor();
        cursor.beginEditBlock();
        cursor.insertText(m_replaceField->text(), QTextCharFormat());
        cursor.endEditBlock();
        m_target->setTextCursor(cursor);
    }
    findNext();
}

void FindBar::replaceAll()
{
    if (!m_target || m_target->isReadOnly() || searchText().isEmpty())
        return;
    QTextDocument *document = m_target->document();
    QTextCursor edit(document);
    edit.beginEditBlock();
    QTextCursor match = document->find(searchText(), 0);
    while (!match.isNull()) {
        match.insertText(m_replaceField->text(), QTextCharFormat());
        match = document->find(searchText(), match);
    }
    edit.endEditBlock();
    refreshHighlights();
}

void FindBar::refreshHighlights()
{
    if (!m_target)
        return;
    QList<QTextEdit::ExtraSelection> selections;
    m_matchCount = 0;
    if (!searchText().isEmpty()) {
        QTextDocument *document = m_target->document();
        QTextCharFormat highlight;
        highlight.setBackground(Theme::withOpacity(Theme::color(Theme::Tone::accent), 0.35));
        for (QTextCursor match = document->find(searchText(), 0); !match.isNull();
             match = document->find(searchText(), match)) {
            // Counting on through a large text would cost every keystroke its time.
            if (++m_matchCount > kMaximumHighlights)
                break;
            selections.append({match, highlight});
        }
    }
    m_target->setExtraSelections(selections);
    if (searchText().isEmpty())
        m_countLabel->clear();
    else if (m_matchCount > kMaximumHighlights)
        m_countLabel->setText(tr("more than %1 matches").arg(kMaximumHighlights));
    else
        m_countLabel->setText(m_matchCount == 1 ? tr("1 match")
                                                : tr("%1 matches").arg(m_matchCount));
}

void FindBar::clearHighlights()
{
    if (m_target)
        m_target->setExtraSelections({});
    m_matchCount = 0;
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == m_replaceField)
                replace();
            else if (key->modifiers() & Qt::ShiftModifier)
                findPrevious();
            else
                findNext();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillet
