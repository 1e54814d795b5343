#include "view_accessibility.h"

#include "preview_accessibility.h"
#include "preview_view.h"
#include "status_bar_view.h"
#include "tab_item_view.h"
#include "text_label.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

namespace quillet::ViewAccessibility {

namespace {

// A label is read by its text unless it was given a name of its own.
class TextLabelAccessible : public QAccessibleWidget {
public:
    explicit TextLabelAccessible(TextLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<TextLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

// One tab: named by its scratchpad's title, selected with the tab manager's selection, and
// selected by its press action.
class TabItemAccessible : public QAccessibleWidget {
public:
    explicit TabItemAccessible(TabItemView *item)
        : QAccessibleWidget(item, QAccessible::PageTab)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return item()->scratchpad()->title();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = item()->isSelected();
        s.focusable = true;
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction())
            item()->select();
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    TabItemView *item() const { return static_cast<TabItemView *>(widget()); }
};

// A choice among exclusive ones drawn as a segment: a radio button named by its title.
class SegmentAccessible : public QAccessibleWidget {
public:
    explicit SegmentAccessible(QAbstractButton *segment)
        : QAccessibleWidget(segment, QAccessible::RadioButton)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return button()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

// A row read by its name alone: its labels say the same in pieces.
class WholeRowAccessible : public QAccessibleWidget {
public:
    explicit WholeRowAccessible(QWidget *row)
        : QAccessibleWidget(row, QAccessible::StaticText)
    {
    }

    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
};

QAccessibleInterface *viewInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String("quillet::TextLabel"))
        return new TextLabelAccessible(static_cast<TextLabel *>(object));
    if (className == QLatin1String("quillet::TabItemView"))
        return new TabItemAccessible(static_cast<TabItemView *>(object));
    if (className == QLatin1String("quillet::SettingsView"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    if (className == QLatin1String("QAbstractButton") &&
        object->objectName() == QLatin1String("themeSegment"))
        return new SegmentAccessible(static_cast<QAbstractButton *>(object));
    if (className == QLatin1String("QWidget") &&
        object->objectName() == QLatin1String("shortcutRow"))
        return new WholeRowAccessible(static_cast<QWidget *>(object));
    if (className == QLatin1String("QWidget") &&
        (object->objectName() == QLatin1String("formSection") ||
         object->objectName() == QLatin1String("themePicker") ||
         object->objectName() == QLatin1String("shortcutList")))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Grouping);
    if (className == QLatin1String("quillet::PreviewView"))
        return PreviewAccessibility::documentInterface(static_cast<PreviewView *>(object));
    if (className == QLatin1String("quillet::StatusBarView"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::StatusBar);
    if (className == QLatin1String("QWidget") &&
        object->objectName() == QLatin1String("markdownHintPopover"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    // The strip inside the tab bar's scroll area holds the tabs and nothing else.
    if (className == QLatin1String("QWidget") && object->objectName() == QLatin1String("tabStrip"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::PageTabList);
    return nullptr;
}

} // namespace

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(viewInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace quillet::ViewAccessibility
