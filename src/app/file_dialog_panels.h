#pragma once

#include "model/file_panels.h"

namespace quillet {

// The desktop's modal open and save dialogs, limited to text and Markdown files.
class FileDialogPanels : public FilePanels {
public:
    std::optional<QList<QUrl>> chooseFilesToOpen() override;
    std::optional<QUrl> chooseSaveLocation(const QString &proposedName) override;
};

} // namespace quillet
