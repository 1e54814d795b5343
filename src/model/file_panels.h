#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace quillet {

// The modal file choosers the tab manager asks when opening and saving. The model only sees
// this interface, so it builds without a window system and tests answer with a fake.
class FilePanels {
public:
    virtual ~FilePanels() = default;

    // Lets the user choose one or more text or Markdown files (never a folder). The chosen files
    // in the panel's order, or none when the user cancels.
    virtual std::optional<QList<QUrl>> chooseFilesToOpen() = 0;

    // Lets the user choose where to save, proposing `proposedName`. None when cancelled.
    virtual std::optional<QUrl> chooseSaveLocation(const QString &proposedName) = 0;
};

} // namespace quillet
