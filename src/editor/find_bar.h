#pragma once

#include <QPointer>
#include <QTextCursor>
#include <QWidget>

class QLineEdit;
class QToolButton;
class QLabel;

namespace quillet {

class PlainTextTextView;

// The find and replace bar below the editor. Typing searches as you type from where the current
// match starts; Enter and Shift+Enter go to the next and the previous match, wrapping around;
// Escape closes the bar and gives the text view its focus back. Matches are shown as extra
// selections of the view, so the document's formats never change. Searching ignores case.
class FindBar : public QWidget {
    Q_OBJECT

public:
    // Matches highlighted and counted; past it the bar says there are more.
    static constexpr int kMaximumHighlights = 1000;

    explicit FindBar(QWidget *parent = nullptr);

    // The view searched and edited; may change while the bar is open, and may be null.
    void setTarget(PlainTextTextView *view);

    // Opens the bar, taking the view's selection as the search text when it has one.
    void openFind();
    // Opens it with the replace row shown.
    void openReplace();
    void close();

    QString searchText() const;
    void setSearchText(const QString &text);
    void setReplacementText(const QString &text);
    bool replaceShown() const;
    void setReplaceShown(bool shown);
    // Matches of the current search text in the whole text, counted up to one past the
    // highlight limit.
    int matchCount() const { return m_matchCount; }

public slots:
    void findNext();
    void findPrevious();
    // Replaces the current match, if the selection is one, and goes to the next.
    void replace();
    // Replaces every match as one undo step.
    void replaceAll();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Selects the first match at or after `from` (before it, going backward), wrapping around.
    bool find(int from, bool backward);
    bool selectionIsMatch() const;
    void searchAsTyped();
    void refreshHighlights();
    void clearHighlights();

    QPointer<PlainTextTextView> m_target;
    QLineEdit *m_searchField = nullptr;
    QLineEdit *m_replaceField = nullptr;
    QToolButton *m_replaceToggle = nullptr;
    QWidget *m_replaceRow = nullptr;
    QLabel *m_countLabel = nullptr;
    int m_matchCount = 0;
};

} // namespace quillet
