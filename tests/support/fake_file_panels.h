#pragma once

#include "model/file_panels.h"

#include <QStringList>

#include <functional>

namespace quillet::testing {

// Answers the open and save dialogs with prepared choices and records what was asked.
class FakeFilePanels : public FilePanels {
public:
    std::optional<QList<QUrl>> filesToOpen;  // none: the user cancels
    std::optional<QUrl> saveLocation;        // none: the user cancels
    int openRequests = 0;
    QStringList proposedNames;
    std::function<void()> whileOpening; // runs while the open panel is up

    std::optional<QList<QUrl>> chooseFilesToOpen() override
    {
        ++openRequests;
        if (whileOpening)
            whileOpening();
        return filesToOpen;
    }

    std::optional<QUrl> chooseSaveLocation(const QString &proposedName) override
    {
        proposedNames.append(proposedName);
        return saveLocation;
    }
};

} // namespace quillet::testing
