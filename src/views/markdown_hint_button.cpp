#include "markdown_hint_button.h"

#include "separator_line.h"
#include "text_label.h"
#include "view_style.h"

#include "style/theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace quillet {

namespace {

using Theme::Tone;

// The popup window around the content. A press on the button that opened it closes it without
// reaching the button again, so that click closes rather than reopens.
class Popover : public QWidget {
public:
    Popover(MarkdownHintButton *button)
        : QWidget(button, Qt::Popup)
        , m_button(button)
    {
        setObjectName(QStringLiteral("markdownHintPopover"));
        setAccessibleName(QStringLiteral("Markdown Reference"));
        setAttribute(Qt::WA_DeleteOnClose);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new MarkdownHintContent(this));
        setFixedWidth(MarkdownHintButton::kPopoverWidth);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::windowBackground());
        painter.setPen(Theme::color(Tone::separator));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        if (!rect().contains(event->position().toPoint())) {
            const QRect button(m_button->mapToGlobal(QPoint(0, 0)), m_button->size());
            if (button.contains(event->globalPosition().toPoint()))
                setAttribute(Qt::WA_NoMouseReplay);
        }
        QWidget::mousePressEvent(event);
    }

    void closeEvent(QCloseEvent *event) override
    {
        QWidget::closeEvent(event);
        if (m_button)
            m_button->setShowPopover(false);
    }

private:
    QPointer<MarkdownHintButton> m_button;
};

} // namespace

MarkdownHintButton::MarkdownHintButton(QWidget *parent)
    : SymbolButton(QStringLiteral("questionmark.circle"), 12, QSize(28, 28), parent)
{
    setObjectName(QStringLiteral("markdownHintButton"));
    setToolTip(QStringLiteral("Markdown syntax reference"));
    setAccessibleName(QStringLiteral("Markdown Reference"));
    connect(this, &SymbolButton::clicked, this, [this] { setShowPopover(!m_showPopover); });
}

MarkdownHintButton::~MarkdownHintButton() = default;

void MarkdownHintButton::setShowPopover(bool show)
{
    if (show == m_showPopover)
        return;
    m_showPopover = show;
    if (show)
        openPopover();
    else if (m_popover)
        m_popover->close();
}

// Above the button, its edge on the button's top edge, where the screen has room; below it
// otherwise (the button sits at the top of the window, so that is the usual case).
void MarkdownHintButton::openPopover()
{
    auto *popover = new Popover(this);
    m_popover = popover;
    popover->adjustSize();
    const QSize size = popover->size();
    const QPoint top = mapToGlobal(QPoint(width() / 2, 0));
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    QPoint origin(top.x() - size.width() / 2, top.y() - size.height());
    if (screen.isValid() && origin.y() < screen.top())
        origin.setY(mapToGlobal(QPoint(0, height())).y());
    if (screen.isValid()) {
        origin.setX(std::clamp(origin.x(), screen.left(),
                               std::max(screen.left(), screen.right() + 1 - size.width())));
    }
    popover->move(origin);
    popover->show();
}

MarkdownHintContent::MarkdownHintContent(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("markdownHintContent"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto *title = new TextLabel(QStringLiteral("Markdown Reference"),
                                ViewStyle::systemFont(14, QFont::DemiBold), Tone::primary, this);
    title->setObjectName(QStringLiteral("title"));
    column->addWidget(title);

    const auto separator = [&] {
        column->addWidget(new SeparatorLine(Qt::Horizontal, QStringLiteral("separator"), this));
    };
    using Hint = std::pair<const char16_t *, const char16_t *>;
    const std::initializer_list<Hint> groups[] = {
        {{u"# Heading 1", u"Large heading"},
         {u"## Heading 2", u"Medium heading"},
         {u"### Heading 3", u"Small heading"}},
        {{u"**bold**", u"Bold text"},
         {u"*italic*", u"Italic text"},
         {u"~~strike~~", u"Strikethrough"},
         {u"`code`", u"Inline code"}},
        {{u"- item", u"Bullet list"},
         {u"1. item", u"Numbered list"},
         {u"- [x] done", u"Task list"},
         {u"> quote", u"Blockquote"}},
        {{u"[text](url)", u"Link"}, {u"---", u"Horizontal rule"}, {u"```", u"Code block (fenced)"}},
        {{u"| A | B |", u"Table header"},
         {u"| - | - |", u"Table separator"},
         {u"| 1 | 2 |", u"Table row"}},
    };
    for (const auto &group : groups) {
        separator();
        for (const auto &[syntax, description] : group)
            hintRow(QString::fromUtf16(syntax), QString::fromUtf16(description));
    }
}

void MarkdownHintContent::hintRow(const QString &syntax, const QString &description)
{
    auto *row = new QHBoxLayout;
    auto *example = new TextLabel(syntax, ViewStyle::monospacedFont(12), Tone::primary, this);
    example->setFixedWidth(120);
    auto *meaning = new TextLabel(description, ViewStyle::systemFont(12), Tone::secondary, this);
    row->addWidget(example);
    row->addWidget(meaning);
    row->addStretch(1);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
    m_rows.append(Row{example, meaning});
}

} // namespace quillet
