#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class QPushButton;

namespace quillet {

class Scratchpad;
class TabManager;
class TextLabel;

// The inline bar above the editor while a save of the current tab was refused because another
// program changed its file: it says so and offers both versions, "Reload" (the file's, undoable
// in the editor) and "Overwrite" (the tab's). No dialog: typing goes on meanwhile. Hidden, and
// taking no space, otherwise.
class ConflictBar : public QWidget {
    Q_OBJECT

public:
    explicit ConflictBar(TabManager &tabManager, QWidget *parent = nullptr);

    QPushButton *reloadButton() const { return m_reload; }
    QPushButton *overwriteButton() const { return m_overwrite; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void followCurrentTab();
    void showConflict();

    TabManager &m_tabManager;
    std::shared_ptr<Scratchpad> m_scratchpad;
    QMetaObject::Connection m_connection;
    TextLabel *m_message = nullptr;
    QPushButton *m_reload = nullptr;
    QPushButton *m_overwrite = nullptr;
};

} // namespace quillet
