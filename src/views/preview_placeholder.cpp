#include "preview_placeholder.h"

#include "editor/theme.h"

#include <QPainter>

namespace quillet {

PreviewPlaceholder::PreviewPlaceholder(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("preview"));
}

void PreviewPlaceholder::setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad)
{
    m_scratchpad = scratchpad;
}

void PreviewPlaceholder::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::previewBackground());
}

} // namespace quillet
