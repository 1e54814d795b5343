#pragma once

#include <QWidget>

#include <memory>

class QMenu;

namespace quillet {

class FileRevealer;
class Scratchpad;
class SymbolButton;
class TabManager;
class TextLabel;

// One tab of the tab bar: a dot while the scratchpad has unsaved changes, its title on one line
// at full length, and a close button that is always there, so the tab's width never changes,
// but drawn only while the tab is hovered or selected. A click elsewhere on the tab selects it;
// a secondary click opens its context menu. Only the hover flag is its own state; the keys of
// a focused tab are the tab bar's.
class TabItemView : public QWidget {
    Q_OBJECT

public:
    TabItemView(std::shared_ptr<Scratchpad> scratchpad, bool isSelected, TabManager &tabManager,
                std::shared_ptr<FileRevealer> revealer, QWidget *parent = nullptr);

    const std::shared_ptr<Scratchpad> &scratchpad() const { return m_scratchpad; }
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);
    bool isHovered() const { return m_isHovered; }
    void select();

    TextLabel *titleLabel() const { return m_title; }
    QWidget *dirtyIndicator() const { return m_dirtyDot; }
    SymbolButton *closeButton() const { return m_closeButton; }

    // The menu for this tab: "Close Tab", "Close Others", a separator, and for a tab with a
    // file the items that reveal it and copy its path. Its actions act on this tab.
    QMenu *createContextMenu(QWidget *parent);
    void openContextMenu(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void showState();
    void followPointer();
    void closeOthers();
    void copyPath();

    std::shared_ptr<Scratchpad> m_scratchpad;
    bool m_isSelected;
    TabManager &m_tabManager;
    std::shared_ptr<FileRevealer> m_revealer;
    bool m_isHovered = false;
    QWidget *m_dirtyDot = nullptr;
    TextLabel *m_title = nullptr;
    SymbolButton *m_closeButton = nullptr;
};

} // namespace quillet
