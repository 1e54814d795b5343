#include "settings_view.h"

#include "symbol_icon.h"
#include "text_label.h"
#include "view_style.h"

#include "settings/preferences.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

using Theme::Tone;

constexpr int kFontPixels = 13;
constexpr int kSliderWidth = 150;
constexpr int kSegmentedWidth = 240;
constexpr int kPickerWidth = 120;
constexpr int kShortcutKeyWidth = 60;

// A slider works in whole positions; a value is its position divided by the scale.
struct SliderRange {
    double minimum;
    double maximum;
    int scale;
};
constexpr SliderRange kFontSizeRange{10.0, 24.0, 1};
constexpr SliderRange kLineHeightRange{1.0, 2.5, 10};
constexpr SliderRange kAutoSaveRange{2.0, 30.0, 1};

// The nearest position to `value`; a value outside the range sits at the nearer end.
int positionOf(const SliderRange &range, double value)
{
    return int(std::lround(std::clamp(value, range.minimum, range.maximum) * range.scale));
}

double valueAt(const SliderRange &range, int position)
{
    return position / double(range.scale);
}

// Whole numbers by truncation, as the value texts want them; 'f' copes with any magnitude, and
// adding zero turns the -0 of a small negative value into 0.
QString truncated(double value)
{
    return QString::number(std::trunc(value) + 0.0, 'f', 0);
}

QString formatFontSize(double points)
{
    return truncated(points) + QStringLiteral(" pt");
}

QString formatLineHeight(double multiple)
{
    return QString::asprintf("%.1f", multiple);
}

QString formatAutoSave(double seconds)
{
    return truncated(seconds) + u's';
}

// A titled section of a form: its title, then its rows in one rounded group with hairlines
// between them.
class FormGroup : public QWidget {
public:
    explicit FormGroup(QWidget *parent)
        : QWidget(parent)
        , m_rows(new QVBoxLayout(this))
    {
        m_rows->setContentsMargins(0, 0, 0, 0);
        m_rows->setSpacing(1);
    }

    void addRow(QWidget *row)
    {
        row->setParent(this);
        row->layout()->setContentsMargins(10, 6, 10, 6);
        m_rows->addWidget(row);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter.fillPath(outline, palette().color(QPalette::AlternateBase));
        painter.setPen(Theme::color(Tone::separator));
        painter.drawPath(outline);
        painter.setRenderHint(QPainter::Antialiasing, false);
        for (int i = 0; i + 1 < m_rows->count(); ++i) {
            const int y = m_rows->itemAt(i)->geometry().bottom() + 1;
            painter.fillRect(QRect(10, y, width() - 20, 1), Theme::color(Tone::separator));
        }
    }

private:
    QVBoxLayout *m_rows;
};

// One choice of a segmented control: its title, on the accent colour while chosen. The control
// behind it draws the frame.
class Segment : public QAbstractButton {
public:
    Segment(const QString &title, QWidget *parent)
        : QAbstractButton(parent)
    {
        // Named before anything can ask for its accessible interface, which is chosen by name.
        setObjectName(QStringLiteral("themeSegment"));
        setText(title);
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // The control repaints the chosen segment's fill and the dividers beside it.
        connect(this, &QAbstractButton::toggled, parent, qOverload<>(&QWidget::update));
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics = fontMetrics();
        return {metrics.horizontalAdvance(text()) + 20, metrics.height() + 10};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QPalette &colors = palette();
        painter.setPen(isChecked()
                           ? colors.color(QPalette::HighlightedText)
                           : colors.color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                          QPalette::ButtonText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
        if (hasFocus()) {
            // On the chosen segment's accent fill an accent ring would not show.
            QPen focus(colors.color(isChecked() ? QPalette::HighlightedText : QPalette::Highlight));
            focus.setStyle(Qt::DotLine);
            painter.setPen(focus);
            painter.drawRect(rect().adjusted(3, 3, -4, -4));
        }
    }
};

// A row of segments in one rounded frame, the chosen one filled with the accent colour, plain
// dividers between the others. Colours come from the palette at each paint.
class SegmentedControl : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &colors = palette();
        QPainterPath frame;
        frame.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter.fillPath(frame, colors.color(QPalette::Button));
        const QList<Segment *> segments = findChildren<Segment *>(Qt::FindDirectChildrenOnly);
        painter.setClipPath(frame);
        for (const Segment *segment : segments)
            if (segment->isChecked())
                painter.fillRect(segment->geometry(), colors.color(QPalette::Highlight));
        painter.setClipping(false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        for (int i = 0; i + 1 < segments.size(); ++i) {
            if (segments[i]->isChecked() || segments[i + 1]->isChecked())
                continue;
            const int x = segments[i]->geometry().right() + 1;
            painter.fillRect(QRect(x, 5, 1, height() - 10), Theme::color(Tone::separator));
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(colors.color(QPalette::Mid));
        painter.drawPath(frame);
    }
};

QWidget *section(const QString &title, const QList<QWidget *> &rows, QWidget *parent)
{
    auto *box = new QWidget(parent);
    box->setObjectName(QStringLiteral("formSection"));
    box->setAccessibleName(title);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto *heading = new TextLabel(title, ViewStyle::systemFont(kFontPixels, QFont::DemiBold),
                                  Tone::primary, box);
    heading->setObjectName(QStringLiteral("sectionTitle"));
    column->addWidget(heading);
    auto *group = new FormGroup(box);
    for (QWidget *row : rows)
        group->addRow(row);
    column->addWidget(group);
    return box;
}

// A form page: its sections top to bottom, the free height below them.
QWidget *form(const QList<QWidget *> &sections)
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(14);
    for (QWidget *box : sections) {
        box->setParent(page);
        column->addWidget(box);
    }
    column->addStretch(1);
    return page;
}

// A row of the form: the label, a flexible space, then `control`.
QWidget *labelledRow(const QString &label, QWidget *control)
{
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    line->setSpacing(8);
    line->addWidget(new TextLabel(label, ViewStyle::systemFont(kFontPixels), Tone::primary, row));
    line->addStretch(1);
    control->setParent(row);
    line->addWidget(control);
    return row;
}

QWidget *toggleRow(QCheckBox *toggle)
{
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    toggle->setParent(row);
    line->addWidget(toggle);
    line->addStretch(1);
    return row;
}

// One slider row: the label, a flexible space, the value text, the slider 150 wide. Every move
// is written at once; pressing and releasing the handle where it is writes that value too, which
// is how a stored value outside the range is replaced by the end it is shown at.
QWidget *sliderRow(Preferences &preferences, const QString &label, const SliderRange &range,
                   double (Preferences::*read)() const, void (Preferences::*write)(double),
                   QString (*text)(double), QSlider *&sliderOut, TextLabel *&valueOut)
{
    auto *row = new QWidget;
    auto *slider = new QSlider(Qt::Horizontal, row);
    slider->setFixedWidth(kSliderWidth);
    slider->setRange(positionOf(range, range.minimum), positionOf(range, range.maximum));
    slider->setSingleStep(1);
    slider->setPageStep(1);
    slider->setTracking(true);
    slider->setAccessibleName(label);
    const auto store = [&preferences, range, read, write](int position) {
        const double value = valueAt(range, position);
        if ((preferences.*read)() != value)
            (preferences.*write)(value);
    };
    QObject::connect(slider, &QSlider::valueChanged, row, store);
    QObject::connect(slider, &QSlider::sliderReleased, row,
                     [slider, store] { store(slider->value()); });

    const QFont font = ViewStyle::systemFont(kFontPixels);
    auto *value = new TextLabel(text(range.maximum), font, Tone::secondary, row);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // As wide as the widest value in range, so the slider stays put while it moves; a stored
    // value beyond the range may need more and is cut at its start when the row is full.
    const QFontMetrics metrics(font);
    value->setMinimumWidth(std::max(metrics.horizontalAdvance(text(range.minimum)),
                                    metrics.horizontalAdvance(text(range.maximum))));
    value->setElideMode(Qt::ElideLeft);

    auto *line = new QHBoxLayout(row);
    line->setSpacing(8);
    line->addWidget(new TextLabel(label, font, Tone::primary, row));
    line->addStretch(1);
    line->addWidget(value);
    line->addWidget(slider);
    sliderOut = slider;
    valueOut = value;
    return row;
}

} // namespace

SettingsView::SettingsView(Preferences &preferences, QWidget *parent)
    // A dialog-type window: X11 and Wayland keep it transient for its parent only then, so it
    // cannot fall behind the main window. Nothing makes it modal.
    : QWidget(parent, Qt::Dialog)
    , m_preferences(preferences)
{
    setObjectName(QStringLiteral("settingsView"));
    setWindowTitle(QStringLiteral("Settings"));
    for (const QKeySequence &keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto *closer = new QShortcut(keys, this, this, &QWidget::close);
        closer->setContext(Qt::WindowShortcut);
    }
    setFont(ViewStyle::systemFont(kFontPixels));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setFixedSize(450, 320);
    m_tabs->addTab(appearanceSettings(), QStringLiteral("Appearance"));
    m_tabs->addTab(editorSettings(), QStringLiteral("Editor"));
    m_tabs->addTab(generalSettings(), QStringLiteral("General"));
    m_tabs->addTab(shortcutsSettings(), QStringLiteral("Shortcuts"));
    updateTabIcons();

    auto *frame = new QVBoxLayout(this);
    frame->addWidget(m_tabs);
    frame->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_preferences, &Preferences::appThemeChanged, this, &SettingsView::showTheme);
    connect(&m_preferences, &Preferences::editorFontSizeChanged, this, &SettingsView::showFontSize);
    connect(&m_preferences, &Preferences::editorLineHeightChanged, this,
            &SettingsView::showLineHeight);
    connect(&m_preferences, &Preferences::editorTabWidthChanged, this, &SettingsView::showTabWidth);
    connect(&m_preferences, &Preferences::editorShowLineNumbersChanged, this,
            &SettingsView::showLineNumbers);
    connect(&m_preferences, &Preferences::restoreTabsOnLaunchChanged, this,
            &SettingsView::showRestoreTabs);
    connect(&m_preferences, &Preferences::autoSaveIntervalChanged, this,
            &SettingsView::showAutoSaveInterval);
    showAll();
}

void SettingsView::present()
{
    // A window that opens starts on its first tab; one already open keeps its place.
    if (!isVisible())
        m_tabs->setCurrentIndex(0);
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

QAbstractButton *SettingsView::themeSegment(const QString &theme) const
{
    for (QAbstractButton *segment : m_themeSegments)
        if (segment->property("theme").toString() == theme)
            return segment;
    return nullptr;
}

QWidget *SettingsView::appearanceSettings()
{
    auto *segmented = new SegmentedControl;
    segmented->setObjectName(QStringLiteral("themePicker"));
    segmented->setAccessibleName(QStringLiteral("Appearance"));
    segmented->setFixedWidth(kSegmentedWidth);
    auto *segments = new QHBoxLayout(segmented);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    auto *group = new QButtonGroup(segmented);
    const std::pair<QString, QString> choices[] = {
        {QStringLiteral("System"), QStringLiteral("system")},
        {QStringLiteral("Light"), QStringLiteral("light")},
        {QStringLiteral("Dark"), QStringLiteral("dark")},
    };
    for (const auto &[title, theme] : choices) {
        auto *segment = new Segment(title, segmented);
        segment->setProperty("theme", theme);
        group->addButton(segment);
        segments->addWidget(segment);
        m_themeSegments.append(segment);
        connect(segment, &QAbstractButton::clicked, this,
                [this, theme] { m_preferences.setAppTheme(theme); });
    }
    return form({section(QStringLiteral("Theme"),
                         {labelledRow(QStringLiteral("Appearance"), segmented)}, nullptr)});
}

QWidget *SettingsView::editorSettings()
{
    QWidget *fontSize = sliderRow(m_preferences, QStringLiteral("Font Size"), kFontSizeRange,
                                  &Preferences::editorFontSize, &Preferences::setEditorFontSize,
                                  formatFontSize, m_fontSize.slider, m_fontSize.text);
    m_fontSize.slider->setObjectName(QStringLiteral("fontSizeSlider"));
    QWidget *lineHeight =
        sliderRow(m_preferences, QStringLiteral("Line Height"), kLineHeightRange,
                  &Preferences::editorLineHeight, &Preferences::setEditorLineHeight,
                  formatLineHeight, m_lineHeight.slider, m_lineHeight.text);
    m_lineHeight.slider->setObjectName(QStringLiteral("lineHeightSlider"));

    m_tabWidth = new QComboBox;
    m_tabWidth->setObjectName(QStringLiteral("tabWidthPicker"));
    m_tabWidth->setAccessibleName(QStringLiteral("Tab Width"));
    m_tabWidth->setFixedWidth(kPickerWidth);
    for (const qint64 spaces : {2, 4, 8})
        m_tabWidth->addItem(QStringLiteral("%1 spaces").arg(spaces), QVariant::fromValue(spaces));
    // Only a choice the user makes is written; showing a stored value never is.
    connect(m_tabWidth, &QComboBox::activated, this, [this](int index) {
        m_preferences.setEditorTabWidth(m_tabWidth->itemData(index).toLongLong());
    });

    m_lineNumbers = new QCheckBox(QStringLiteral("Show Line Numbers"));
    m_lineNumbers->setObjectName(QStringLiteral("lineNumbersToggle"));
    connect(m_lineNumbers, &QCheckBox::clicked, this,
            [this](bool on) { m_preferences.setEditorShowLineNumbers(on); });

    return form(
        {section(QStringLiteral("Font"), {fontSize, lineHeight}, nullptr),
         section(QStringLiteral("Behavior"),
                 {labelledRow(QStringLiteral("Tab Width"), m_tabWidth), toggleRow(m_lineNumbers)},
                 nullptr)});
}

QWidget *SettingsView::generalSettings()
{
    m_restoreTabs = new QCheckBox(QStringLiteral("Restore tabs on launch"));
    m_restoreTabs->setObjectName(QStringLiteral("restoreTabsToggle"));
    connect(m_restoreTabs, &QCheckBox::clicked, this,
            [this](bool on) { m_preferences.setRestoreTabsOnLaunch(on); });
    QWidget *interval =
        sliderRow(m_preferences, QStringLiteral("Auto-save interval"), kAutoSaveRange,
                  &Preferences::autoSaveInterval, &Preferences::setAutoSaveInterval, formatAutoSave,
                  m_autoSave.slider, m_autoSave.text);
    m_autoSave.slider->setObjectName(QStringLiteral("autoSaveSlider"));
    return form({section(QStringLiteral("Startup"), {toggleRow(m_restoreTabs)}, nullptr),
                 section(QStringLiteral("Auto-Save"), {interval}, nullptr)});
}

QWidget *SettingsView::shortcutsSettings()
{
    struct Row {
        int key;
        bool shift;
        QString label;
    };
    const Row rows[] = {
        {Qt::Key_N, false, QStringLiteral("New scratchpad")},
        {Qt::Key_T, false, QStringLiteral("New tab")},
        {Qt::Key_W, false, QStringLiteral("Close tab")},
        {Qt::Key_S, false, QStringLiteral("Save")},
        {Qt::Key_S, true, QStringLiteral("Save As…")},
        {Qt::Key_O, false, QStringLiteral("Open file")},
        {Qt::Key_P, false, QStringLiteral("Toggle preview")},
        {Qt::Key_BracketLeft, true, QStringLiteral("Previous tab")},
        {Qt::Key_BracketRight, true, QStringLiteral("Next tab")},
        {Qt::Key_Comma, false, QStringLiteral("Settings")},
    };
    // The key texts share one right-aligned column, widened where the platform's texts ("Ctrl+
    // Shift+S") do not fit the usual one.
    const QFontMetrics keyMetrics(ViewStyle::monospacedFont(kFontPixels));
    int keyWidth = kShortcutKeyWidth;
    for (const Row &row : rows)
        keyWidth = std::max(
            keyWidth, keyMetrics.horizontalAdvance(ViewStyle::shortcutText(row.key, row.shift)));

    auto *scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("shortcutsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto *list = new QWidget;
    // Named before anything asks for its accessible interface: a group named by the tab.
    list->setObjectName(QStringLiteral("shortcutList"));
    list->setAccessibleName(QStringLiteral("Shortcuts"));
    list->setAutoFillBackground(false);
    auto *column = new QVBoxLayout(list);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(4);
    for (const Row &row : rows)
        column->addWidget(
            shortcutRow(ViewStyle::shortcutText(row.key, row.shift), row.label, keyWidth, list));
    column->addStretch(1);
    scroll->setWidget(list);
    return scroll;
}

QWidget *SettingsView::shortcutRow(const QString &keys, const QString &label, int keyWidth,
                                   QWidget *parent)
{
    auto *row = new QWidget(parent);
    // Read as one line, the action first, as a menu item reads with its shortcut.
    row->setObjectName(QStringLiteral("shortcutRow"));
    row->setAccessibleName(label + QStringLiteral(", ") + keys);
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 2, 0, 2);
    auto *key = new TextLabel(keys, ViewStyle::monospacedFont(kFontPixels), Tone::secondary, row);
    key->setFixedWidth(keyWidth);
    key->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *text = new TextLabel(label, ViewStyle::systemFont(kFontPixels), Tone::primary, row);
    line->addWidget(key);
    line->addWidget(text);
    line->addStretch(1);
    return row;
}

void SettingsView::showTheme()
{
    QAbstractButton *chosen = themeSegment(m_preferences.appTheme());
    if (chosen) {
        chosen->setChecked(true);
        return;
    }
    // A value no segment stores (the application then follows the desktop): none is selected.
    QButtonGroup *group = m_themeSegments.first()->group();
    group->setExclusive(false);
    for (QAbstractButton *segment : std::as_const(m_themeSegments))
        segment->setChecked(false);
    group->setExclusive(true);
}

void SettingsView::showFontSize()
{
    const double points = m_preferences.editorFontSize();
    const QSignalBlocker quiet(m_fontSize.slider);
    m_fontSize.slider->setValue(positionOf(kFontSizeRange, points));
    m_fontSize.text->setText(formatFontSize(points));
}

void SettingsView::showLineHeight()
{
    const double multiple = m_preferences.editorLineHeight();
    const QSignalBlocker quiet(m_lineHeight.slider);
    m_lineHeight.slider->setValue(positionOf(kLineHeightRange, multiple));
    m_lineHeight.text->setText(formatLineHeight(multiple));
}

void SettingsView::showTabWidth()
{
    const qint64 spaces = m_preferences.editorTabWidth();
    int index = -1;
    for (int i = 0; i < m_tabWidth->count(); ++i)
        if (m_tabWidth->itemData(i).toLongLong() == spaces)
            index = i;
    // A width no entry offers shows an empty picker.
    m_tabWidth->setCurrentIndex(index);
}

void SettingsView::showLineNumbers()
{
    m_lineNumbers->setChecked(m_preferences.editorShowLineNumbers());
}

void SettingsView::showRestoreTabs()
{
    m_restoreTabs->setChecked(m_preferences.restoreTabsOnLaunch());
}

void SettingsView::showAutoSaveInterval()
{
    const double seconds = m_preferences.autoSaveInterval();
    const QSignalBlocker quiet(m_autoSave.slider);
    m_autoSave.slider->setValue(positionOf(kAutoSaveRange, seconds));
    m_autoSave.text->setText(formatAutoSave(seconds));
}

void SettingsView::showAll()
{
    showTheme();
    showFontSize();
    showLineHeight();
    showTabWidth();
    showLineNumbers();
    showRestoreTabs();
    showAutoSaveInterval();
}

void SettingsView::showEvent(QShowEvent *event)
{
    // The bindings keep the controls current; reading once more on opening costs nothing and
    // covers a store that changed while no notice could reach us.
    showAll();
    QWidget::showEvent(event);
}

void SettingsView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        updateTabIcons();
    QWidget::changeEvent(event);
}

void SettingsView::updateTabIcons()
{
    if (!m_tabs)
        return;
    const QString symbols[] = {QStringLiteral("paintbrush"), QStringLiteral("textformat"),
                               QStringLiteral("gear"), QStringLiteral("command")};
    const QColor color = palette().color(QPalette::WindowText);
    for (int i = 0; i < m_tabs->count(); ++i) {
        QIcon icon;
        for (const qreal ratio : {1.0, 2.0, 3.0})
            icon.addPixmap(SymbolIcon::pixmap(symbols[i], 16, color, ratio));
        m_tabs->setTabIcon(i, icon);
    }
}

} // namespace quillet
