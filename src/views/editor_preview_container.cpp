#include "editor_preview_container.h"

#include "opacity_fade.h"
#include "preview_view.h"
#include "separator_line.h"
#include "welcome_view.h"

#include "editor/editor_view.h"
#include "editor/plain_text_text_view.h"
#include "model/tab_manager.h"

#include <QHBoxLayout>
#include <QTimer>
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
    m_content = new QWidget(this);
    m_row = new QHBoxLayout(m_content);
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(0);
    layout->addWidget(m_content);
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
    if (editor())
        m_editor->setScratchpad(current);
    if (m_preview)
        m_preview->setScratchpad(current);
}

EditorView *EditorPreviewContainer::editor() const
{
    return m_shape == Shape::edit || m_shape == Shape::split ? m_editor.data() : nullptr;
}

void EditorPreviewContainer::rebuild(bool fade)
{
    for (QWidget *gone :
         {static_cast<QWidget *>(m_preview.data()), m_separator.data(), m_welcome.data()}) {
        if (gone) {
            m_row->removeWidget(gone);
            gone->hide();
            gone->deleteLater();
        }
    }
    m_preview = nullptr;
    m_separator = nullptr;
    m_welcome = nullptr;
    const auto current = m_tabManager.currentTab();

    // The editor is made once and only hidden while the mode shows none: each tab's text view
    // keeps its caret, selection, scroll position and undo history through every mode change.
    const bool withEditor = m_shape == Shape::edit || m_shape == Shape::split;
    if (withEditor && !m_editor) {
        m_editor = new EditorView(m_tabManager, m_preferences, m_content);
        m_editor->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        m_row->insertWidget(0, m_editor, 1);
    }
    if (m_editor) {
        const bool wasHidden = m_editor->isHidden();
        m_editor->setVisible(withEditor);
        if (withEditor) {
            m_editor->setScratchpad(current);
            if (wasHidden)
                QTimer::singleShot(0, m_editor, [editor = m_editor] {
                    if (PlainTextTextView *view = editor->textView(); view && view->isVisible())
                        view->setFocus();
                });
        }
    }

    const auto addPreview = [&] {
        auto *preview = new PreviewView(m_content);
        preview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        preview->setScratchpad(current);
        m_row->addWidget(preview, 1);
        m_preview = preview;
    };

    switch (m_shape) {
    case Shape::welcome:
        m_welcome = new WelcomeView(m_tabManager, m_content);
        m_row->addWidget(m_welcome);
        break;
    case Shape::edit:
        break;
    case Shape::split:
        m_separator = new SeparatorLine(Qt::Vertical, QStringLiteral("separator"), m_content);
        m_row->addWidget(m_separator);
        addPreview();
        break;
    case Shape::preview:
        addPreview();
        break;
    }
    for (QWidget *added :
         {static_cast<QWidget *>(m_preview.data()), m_separator.data(), m_welcome.data()}) {
        if (added)
            added->show();
    }

    if (fade)
        m_fade = startOpacityFade(m_content, 0.0, 1.0);
}

} // namespace quillet
