#pragma once

#include <QString>

#include <memory>

namespace quillet {

// Shows one file selected in the desktop's file manager. The request is sent without waiting
// for an answer; where no file manager takes it, the file's folder is opened instead.
class FileRevealer {
public:
    virtual ~FileRevealer() = default;
    virtual void reveal(const QString &path) = 0;

    // The desktop's file manager (over D-Bus where there is one).
    static std::shared_ptr<FileRevealer> desktop();
    // What the menu item is called on this platform.
    static QString actionTitle();
};

} // namespace quillet
