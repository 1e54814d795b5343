#include "welcome_view.h"

#include "resource_bundle.h"
#include "symbol_button.h"
#include "symbol_icon.h"
#include "text_label.h"
#include "view_style.h"

#include "model/tab_manager.h"
#include "style/theme.h"

#include <QDir>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quillet {

namespace {

using Theme::Tone;

constexpr int kButtonLabelWidth = 180;
constexpr int kLogoHeight = 32;

// A push button of the large size whose label (symbol, then title) is 180 pixels wide. The
// symbol is drawn in the button's text colour of the current palette.
class WelcomeButton : public QPushButton {
public:
    WelcomeButton(const QString &title, const QString &symbol, QWidget *parent)
        : QPushButton(title, parent)
        , m_symbol(symbol)
    {
        setFont(ViewStyle::systemFont(13));
        setFixedHeight(32);
        setIconSize(QSize(14, 14));
        setIcon(symbolIcon());
        setMinimumWidth(kButtonLabelWidth + 24);
        setMaximumWidth(kButtonLabelWidth + 24);
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange)
            setIcon(symbolIcon());
        QPushButton::changeEvent(event);
    }

private:
    QIcon symbolIcon() const
    {
        QIcon icon;
        for (qreal ratio : {1.0, 2.0, 3.0})
            icon.addPixmap(
                SymbolIcon::pixmap(m_symbol, 14, palette().color(QPalette::ButtonText), ratio));
        return icon;
    }

    QString m_symbol;
};

} // namespace

WelcomeView::WelcomeView(TabManager &tabManager, QWidget *parent)
    : WelcomeView(tabManager, ResourceBundle::shared(), parent)
{
}

WelcomeView::WelcomeView(TabManager &tabManager, const std::optional<QString> &bundle,
                         QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
{
    setObjectName(QStringLiteral("welcomeView"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(24);
    column->addStretch(1);

    auto *symbol = new SymbolButton(QStringLiteral("doc.text"), 56, QSize(56, 56), this);
    symbol->setObjectName(QStringLiteral("welcomeSymbol"));
    symbol->setAccessibleName(QStringLiteral("Text document"));
    symbol->setGlyphTone(Tone::tertiary);
    symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    m_symbol = symbol;

    auto *titles = new QVBoxLayout;
    titles->setSpacing(8);
    auto *name = new TextLabel(QStringLiteral("Quillet"), ViewStyle::systemFont(28, QFont::Medium),
                               Tone::primary, this);
    name->setObjectName(QStringLiteral("welcomeTitle"));
    auto *promise =
        new TextLabel(QStringLiteral("A clean notepad that strips all formatting on paste."),
                      ViewStyle::systemFont(14), Tone::secondary, this);
    promise->setObjectName(QStringLiteral("welcomeSubtitle"));
    titles->addWidget(name, 0, Qt::AlignHCenter);
    titles->addWidget(promise, 0, Qt::AlignHCenter);
    column->addLayout(titles);

    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(12);
    buttons->setContentsMargins(0, 8, 0, 0);
    m_newButton = new WelcomeButton(QStringLiteral("New Scratchpad"), QStringLiteral("plus"), this);
    m_openButton = new WelcomeButton(QStringLiteral("Open File…"), QStringLiteral("folder"), this);
    connect(m_newButton, &QPushButton::clicked, this, [this] { m_tabManager.newTab(); });
    connect(m_openButton, &QPushButton::clicked, this, [this] { m_tabManager.openFile(); });
    buttons->addWidget(m_newButton, 0, Qt::AlignHCenter);
    buttons->addWidget(m_openButton, 0, Qt::AlignHCenter);
    column->addLayout(buttons);

    m_shortcutList = new QWidget(this);
    m_shortcutList->setObjectName(QStringLiteral("shortcutList"));
    auto *shortcuts = new QVBoxLayout(m_shortcutList);
    shortcuts->setSpacing(6);
    shortcuts->setContentsMargins(0, 16, 0, 0);
    const std::pair<int, QString> rows[] = {
        {Qt::Key_N, QStringLiteral("New scratchpad")},
        {Qt::Key_O, QStringLiteral("Open file")},
        {Qt::Key_S, QStringLiteral("Save")},
        {Qt::Key_P, QStringLiteral("Toggle preview")},
        {Qt::Key_T, QStringLiteral("New tab")},
        {Qt::Key_W, QStringLiteral("Close tab")},
    };
    for (const auto &[key, label] : rows)
        shortcuts->addWidget(shortcutRow(ViewStyle::shortcutText(key), label), 0, Qt::AlignHCenter);
    column->addWidget(m_shortcutList, 0, Qt::AlignHCenter);

    column->addStretch(1);

    m_footer = new QWidget(this);
    m_footer->setObjectName(QStringLiteral("footer"));
    auto *footer = new QHBoxLayout(m_footer);
    footer->setContentsMargins(0, 0, 0, 12);
    footer->setSpacing(8);
    const QPixmap icon = tarnelIcon(bundle);
    if (!icon.isNull()) {
        m_logo = new QLabel(m_footer);
        m_logo->setObjectName(QStringLiteral("logo"));
        const qreal ratio = devicePixelRatioF();
        QPixmap scaled = icon.scaledToHeight(int(kLogoHeight * ratio), Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        m_logo->setPixmap(scaled);
        m_logo->setFixedSize(scaled.deviceIndependentSize().toSize());
        footer->addWidget(m_logo, 0, Qt::AlignVCenter);
    }
    auto *word = new TextLabel(QStringLiteral("tarnel"), ViewStyle::systemFont(22, QFont::Bold),
                               Tone::primary, m_footer);
    word->setObjectName(QStringLiteral("footerWord"));
    footer->addWidget(word, 0, Qt::AlignVCenter);
    column->addWidget(m_footer, 0, Qt::AlignHCenter);

    // What gives way, in this order, while the column does not fit the height at its natural
    // size: the large symbol, the footer, then the shortcut list. The name, the promise and the
    // two buttons always stay; nothing is ever squeezed.
    m_yieldOrder = {m_symbol, m_footer, m_shortcutList};
}

QSize WelcomeView::minimumSizeHint() const
{
    // Only what never gives way counts, so the view never holds the window taller.
    int height = 0;
    int items = 0;
    for (int i = 0; i < layout()->count(); ++i) {
        QLayoutItem *item = layout()->itemAt(i);
        if (item->spacerItem() || (item->widget() && m_yieldOrder.contains(item->widget())))
            continue;
        height += item->minimumSize().height();
        ++items;
    }
    height += layout()->spacing() * std::max(0, items - 1);
    return {QWidget::minimumSizeHint().width(), height};
}

void WelcomeView::fitToHeight()
{
    ViewStyle::showLongestFittingTail(m_yieldOrder, Qt::Vertical, minimumSizeHint().height(),
                                      static_cast<QBoxLayout *>(layout())->spacing(), height());
}

void WelcomeView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToHeight();
}

QPixmap WelcomeView::tarnelIcon(const std::optional<QString> &bundle)
{
    if (!bundle)
        return {};
    QImageReader reader(QDir(*bundle).filePath(QStringLiteral("tarnel-icon.png")), "png");
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QWidget *WelcomeView::shortcutRow(const QString &keys, const QString &label)
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *key = new TextLabel(keys, ViewStyle::monospacedFont(12), Tone::secondary, row);
    key->setFixedWidth(50);
    key->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *text = new TextLabel(label, ViewStyle::systemFont(12), Tone::tertiary, row);
    text->setFixedWidth(140);
    layout->addWidget(key);
    layout->addWidget(text);
    return row;
}

void WelcomeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::windowBackground());
}

} // namespace quillet
