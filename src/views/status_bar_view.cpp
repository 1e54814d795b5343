#include "status_bar_view.h"

#include "symbol_button.h"
#include "text_label.h"
#include "view_style.h"

#include "model/scratchpad.h"
#include "model/tab_manager.h"
#include "style/theme.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QTimer>

namespace quillet {

namespace {

using Theme::Tone;

constexpr int kItemSpacing = 16;
constexpr int kReminderSpacing = 10;
constexpr int kReminderInnerSpacing = 2;
// A path is cut in the middle, but never below this width (a shorter text keeps its own).
constexpr int kLocationMinimum = 160;
constexpr int kNoticeMilliseconds = 6000;

const QEvent::Type kShowFigures = QEvent::Type(QEvent::registerEventType());

// One reminder: the shortcut's text, then its label, 2 pixels apart.
QWidget *shortcutHint(int key, const QString &label, QWidget *parent)
{
    auto *hint = new QWidget(parent);
    auto *row = new QHBoxLayout(hint);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kReminderInnerSpacing);
    auto *keys = new TextLabel(ViewStyle::shortcutText(key), ViewStyle::monospacedFont(10),
                               Tone::secondary, hint);
    keys->setObjectName(QStringLiteral("key"));
    auto *text = new TextLabel(label, ViewStyle::systemFont(10), Tone::secondary, hint);
    text->setObjectName(QStringLiteral("label"));
    row->addWidget(keys);
    row->addWidget(text);
    return hint;
}

// What the preview button tells a screen reader: the mode that is active now, as its icon does.
QString modeName(PreviewMode mode)
{
    switch (mode) {
    case PreviewMode::edit:
        return QStringLiteral("Edit");
    case PreviewMode::split:
        return QStringLiteral("Split");
    case PreviewMode::preview:
        return QStringLiteral("Preview");
    }
    return {};
}

} // namespace

StatusBarView::StatusBarView(TabManager &tabManager, QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_location = new TextLabel(QString(), ViewStyle::systemFont(11), Tone::tertiary, this);
    m_location->setObjectName(QStringLiteral("location"));
    m_location->setElideMode(Qt::ElideMiddle);
    m_location->setMinimumShownWidth(kLocationMinimum);

    m_reminders = new QWidget(this);
    m_reminders->setObjectName(QStringLiteral("shortcutReminders"));
    auto *reminders = new QHBoxLayout(m_reminders);
    reminders->setContentsMargins(0, 0, 0, 0);
    reminders->setSpacing(kReminderSpacing);
    const std::pair<int, QString> hints[] = {
        {Qt::Key_N, QStringLiteral("New")},     {Qt::Key_S, QStringLiteral("Save")},
        {Qt::Key_P, QStringLiteral("Preview")}, {Qt::Key_T, QStringLiteral("Tab")},
        {Qt::Key_W, QStringLiteral("Close")},
    };
    for (const auto &[key, label] : hints)
        reminders->addWidget(shortcutHint(key, label, m_reminders));

    m_position = new TextLabel(QString(), ViewStyle::monospacedFont(11), Tone::secondary, this);
    m_position->setObjectName(QStringLiteral("position"));
    m_words = new TextLabel(QString(), ViewStyle::systemFont(11), Tone::secondary, this);
    m_words->setObjectName(QStringLiteral("words"));
    m_characters = new TextLabel(QString(), ViewStyle::systemFont(11), Tone::secondary, this);
    m_characters->setObjectName(QStringLiteral("characters"));

    // The symbol stands for an 11-pixel font; the frame is the glyph's own square.
    m_previewButton = new SymbolButton(QString(), 11, QSize(14, 14), this);
    m_previewButton->setObjectName(QStringLiteral("previewButton"));
    m_previewButton->setFocusPolicy(Qt::TabFocus);
    m_previewButton->setToolTip(
        QStringLiteral("Toggle preview (%1)").arg(ViewStyle::shortcutText(Qt::Key_P)));
    connect(m_previewButton, &SymbolButton::clicked, this,
            [this] { m_tabManager.cyclePreviewMode(); });

    // The two flexible spaces share what is left equally, so the reminders sit midway between
    // the location and the position; each keeps at least the style's spacing.
    const int minimumSpace = std::max(0, style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 4, 12, 4);
    row->setSpacing(kItemSpacing);
    row->addWidget(m_location);
    row->addSpacerItem(new QSpacerItem(minimumSpace, 0, QSizePolicy::Expanding));
    row->addWidget(m_reminders);
    row->addSpacerItem(new QSpacerItem(minimumSpace, 0, QSizePolicy::Expanding));
    row->addWidget(m_position);
    row->addWidget(m_words);
    row->addWidget(m_characters);
    row->addWidget(m_previewButton);

    // What gives way, in this order, while the row does not fit at its narrowest: the
    // reminders as a whole, the word count, the character count, then the location. The
    // position and the preview button always stay.
    m_yieldOrder = {m_reminders, m_words, m_characters, m_location};
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(kNoticeMilliseconds);
    connect(m_noticeTimer, &QTimer::timeout, this, &StatusBarView::showLocation);
    connect(&m_tabManager, &TabManager::fileOperationFailed, this, &StatusBarView::showNotice);

    connect(&m_tabManager, &TabManager::currentTabChanged, this, &StatusBarView::followCurrentTab);
    connect(&m_tabManager, &TabManager::previewModeChanged, this, &StatusBarView::showPreviewMode);
    followCurrentTab();
    showPreviewMode();
}

QString StatusBarView::previewIcon(PreviewMode mode)
{
    switch (mode) {
    case PreviewMode::edit:
        return QStringLiteral("doc.text");
    case PreviewMode::split:
        return QStringLiteral("rectangle.split.2x1");
    case PreviewMode::preview:
        return QStringLiteral("eye");
    }
    return {};
}

void StatusBarView::followCurrentTab()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_scratchpadConnections))
        disconnect(connection);
    m_scratchpadConnections.clear();
    m_scratchpad = m_tabManager.currentTab();
    setVisible(m_scratchpad != nullptr);
    if (!m_scratchpad)
        return;

    Scratchpad *tab = m_scratchpad.get();
    m_scratchpadConnections = {
        connect(tab, &Scratchpad::filePathChanged, this, &StatusBarView::showLocation),
        // A save that succeeds after a failed one ends the failure's notice.
        connect(tab, &Scratchpad::isDirtyChanged, this,
                [this, tab] {
                    if (!tab->isDirty() && m_noticeTimer->isActive()) {
                        m_noticeTimer->stop();
                        showLocation();
                    }
                }),
        connect(tab, &Scratchpad::currentLineChanged, this, &StatusBarView::showFiguresAfterPaint),
        connect(tab, &Scratchpad::currentColumnChanged, this,
                &StatusBarView::showFiguresAfterPaint),
        connect(tab, &Scratchpad::wordCountChanged, this, &StatusBarView::showFiguresAfterPaint),
        connect(tab, &Scratchpad::characterCountChanged, this,
                &StatusBarView::showFiguresAfterPaint),
    };
    showLocation();
    showFigures();
}

void StatusBarView::showNotice(const QString &line)
{
    m_location->setText(line);
    m_location->setTone(Tone::primary);
    m_location->setToolTip(line);
    m_noticeTimer->start();
    fitToWidth();
}

void StatusBarView::showLocation()
{
    if (m_noticeTimer->isActive())
        return;
    m_location->setToolTip(QString());
    const std::optional<QUrl> file = m_scratchpad ? m_scratchpad->filePath() : std::nullopt;
    if (file) {
        m_location->setText(file->isLocalFile() ? file->toLocalFile()
                                                : file->toString(QUrl::PreferLocalFile));
        m_location->setTone(Tone::secondary);
    } else {
        m_location->setText(QStringLiteral("Unsaved"));
        m_location->setTone(Tone::tertiary);
    }
    fitToWidth();
}

void StatusBarView::showFigures()
{
    if (!m_scratchpad)
        return;
    m_position->setText(QStringLiteral("Ln %1, Col %2")
                            .arg(m_scratchpad->currentLine())
                            .arg(m_scratchpad->currentColumn()));
    m_words->setText(QStringLiteral("%1 words").arg(m_scratchpad->wordCount()));
    m_characters->setText(QStringLiteral("%1 chars").arg(m_scratchpad->characterCount()));
    fitToWidth();
}

void StatusBarView::showFiguresAfterPaint()
{
    if (m_figuresPosted)
        return;
    m_figuresPosted = true;
    // Posted events are delivered by priority: this one comes after the window's repaint
    // request, which an edit posts at the low priority.
    QCoreApplication::postEvent(this, new QEvent(kShowFigures), Qt::LowEventPriority - 1);
}

bool StatusBarView::event(QEvent *event)
{
    if (event->type() != kShowFigures)
        return QWidget::event(event);
    m_figuresPosted = false;
    showFigures();
    return true;
}

QSize StatusBarView::minimumSizeHint() const
{
    // Only what never gives way counts, so the bar never holds the window wider.
    const auto *row = static_cast<QHBoxLayout *>(layout());
    const QMargins margins = row->contentsMargins();
    int width = margins.left() + margins.right();
    int items = 0;
    for (int i = 0; i < row->count(); ++i) {
        QLayoutItem *item = row->itemAt(i);
        if (item->widget() && m_yieldOrder.contains(item->widget()))
            continue;
        width += item->widget() ? ViewStyle::smallestSize(*item->widget()).width()
                                : item->minimumSize().width();
        if (item->widget())
            ++items;
    }
    width += row->spacing() * std::max(0, items - 1);
    return {width, QWidget::minimumSizeHint().height()};
}

void StatusBarView::fitToWidth()
{
    ViewStyle::showLongestFittingTail(m_yieldOrder, Qt::Horizontal, minimumSizeHint().width(),
                                      layout()->spacing(), width());
}

void StatusBarView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToWidth();
}

void StatusBarView::showPreviewMode()
{
    const PreviewMode mode = m_tabManager.previewMode();
    m_previewButton->setSymbol(previewIcon(mode));
    m_previewButton->setAccessibleName(QStringLiteral("Preview mode: %1").arg(modeName(mode)));
}

void StatusBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::statusBarBackground());
}

} // namespace quillet
