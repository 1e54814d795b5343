#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <memory>

class QHBoxLayout;
class QKeyEvent;
class QScrollArea;

namespace quillet {

class FileRevealer;
class MarkdownHintButton;
class SymbolButton;
class TabItemView;
class TabManager;

// The strip across the top of the window: one tab per scratchpad in the tab manager's order,
// scrolling sideways without indicators when they do not fit, then the reference button and
// the "+" button at the right edge. A tab's view lives as long as its scratchpad stays in the
// list, so its hover flag survives changes of the list and the selection. With the keyboard,
// Left and Right move focus along the tabs and on to the two buttons; on a tab, Space selects
// it and keeps the keyboard in the strip, Enter selects it and leaves the keyboard to the
// editor as a click does, Delete closes it, Shift+F10 or the Menu key opens its menu.
class TabBarView : public QWidget {
    Q_OBJECT

public:
    explicit TabBarView(TabManager &tabManager, std::shared_ptr<FileRevealer> revealer = {},
                        QWidget *parent = nullptr);

    // The tabs, left to right.
    QList<TabItemView *> tabItems() const;
    QScrollArea *scrollArea() const { return m_scrollArea; }
    MarkdownHintButton *hintButton() const { return m_hintButton; }
    SymbolButton *newTabButton() const { return m_newTabButton; }
    // Gives keyboard focus to the selected tab, or to the first control when none is selected.
    void focusSelectedTab();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showTabs();
    void showSelection();
    void revealSelectedTab();
    QList<QWidget *> focusStops() const;
    bool tabKey(TabItemView *item, const QKeyEvent &event);
    void keepKeyboard();

    TabManager &m_tabManager;
    std::shared_ptr<FileRevealer> m_revealer;
    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_strip = nullptr;
    QHBoxLayout *m_stripRow = nullptr;
    QHash<QUuid, TabItemView *> m_items;
    MarkdownHintButton *m_hintButton = nullptr;
    SymbolButton *m_newTabButton = nullptr;
};

} // namespace quillet
