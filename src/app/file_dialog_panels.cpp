#include "file_dialog_panels.h"

#include <QApplication>
#include <QFileDialog>

namespace quillet {

namespace {

const QStringList kOpenFilters = {
    QStringLiteral("Text and Markdown (*.txt *.md *.markdown *.text)"),
    QStringLiteral("Markdown (*.md *.markdown)"),
    QStringLiteral("Plain text (*.txt *.text)"),
    QStringLiteral("All files (*)"),
};

const QStringList kSaveFilters = {
    QStringLiteral("Markdown (*.md)"),
    QStringLiteral("Plain text (*.txt)"),
};

} // namespace

std::optional<QList<QUrl>> FileDialogPanels::chooseFilesToOpen()
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(kOpenFilters);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedUrls();
}

std::optional<QUrl> FileDialogPanels::chooseSaveLocation(const QString &proposedName)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(kSaveFilters);
    dialog.setDefaultSuffix(QStringLiteral("md"));
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return std::nullopt;
    return dialog.selectedUrls().first();
}

} // namespace quillet
