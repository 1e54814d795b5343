#pragma once

#include <QWidget>

#include <memory>

namespace quillet {

class Scratchpad;

// Stands where the Markdown preview of the current scratchpad goes: the preview background and
// nothing else, until the preview itself is built.
class PreviewPlaceholder : public QWidget {
    Q_OBJECT

public:
    explicit PreviewPlaceholder(QWidget *parent = nullptr);

    void setScratchpad(const std::shared_ptr<Scratchpad> &scratchpad);
    const std::shared_ptr<Scratchpad> &scratchpad() const { return m_scratchpad; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::shared_ptr<Scratchpad> m_scratchpad;
};

} // namespace quillet
