#include "editor_preview_container.h"

#include "opacity_fade.h"
#include "preview_view.h"
#include "separator_line.h"
#include "welcome_view.h"

#include "editor/editor_view.h"
#include "model/tab_manager.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quillet {

EditorPreviewContainer::EditorPreviewContainer(TabManager &tabManager, Preferences &preferences,
                                               QWidget *parent)
    : QWidget(parent)
    , m_tabManager(tabManager)
    , m_preferences(preferences)
    , m_shape(shapeNow())
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    rebuild(false);
    connect(&m_tabManager, &TabManager::currentTabChanged, this,
            &EditorPreviewContainer::followState);
    connect(&m_tabManager, &TabManager::previewModeChanged, this,
            &EditorPreviewContainer::followState);
}

EditorPreviewContainer::Shape EditorPreviewContainer::shapeNow() const
{
    if (!m_tabManager.currentTab())
        return Shape::welcome;
    switch (m_tabManager.previewMode()) {
    case PreviewMode::edit:
        return Shape::edit;
    case PreviewMode::split:
        return Shape::split;
    case PreviewMode::preview:
        return Shape::preview;
    }
    return Shape::edit;
}

void EditorPreviewContainer::followState()
{
    const Shape shape = shapeNow();
    if (shape != m_shape) {
        const bool modeChange = shape != Shape::welcome && m_shape != Shape::welcome;
        m_shape = shape;
        rebuild(modeChange);
        return;
    }
    const auto current = m_tabManager.currentTab();
    if (m_editor)
        m_editor->setScratchpad(current);
    if (m_preview)
        m_preview->setScratchpad(current);
}

void EditorPreviewContainer::rebuild(bool fade)
{
    if (m_content) {
        layout()->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = new QWidget(this);
    auto *row = new QHBoxLayout(m_content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const auto current = m_tabManager.currentTab();

    const auto addEditor = [&] {
        m_editor = new EditorView(m_tabManager, m_preferences, m_content);
        m_editor->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        m_editor->setScratchpad(current);
        row->addWidget(m_editor, 1);
    };
    const auto addPreview = [&] {
        m_preview = new PreviewView(m_content);
        m_preview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        m_preview->setScratchpad(current);
        row->addWidget(m_preview, 1);
    };

    switch (m_shape) {
    case Shape::welcome:
        m_welcome = new WelcomeView(m_tabManager, m_content);
        row->addWidget(m_welcome);
        break;
    case Shape::edit:
        addEditor();
        break;
    case Shape::split:
        addEditor();
        m_separator = new SeparatorLine(Qt::Vertical, QStringLiteral("separator"), m_content);
        row->addWidget(m_separator);
        addPreview();
        break;
    case Shape::preview:
        addPreview();
        break;
    }
    layout()->addWidget(m_content);
    m_content->show();

    if (fade)
        m_fade = startOpacityFade(m_content, 0.0, 1.0);
}

} // namespace quillet
