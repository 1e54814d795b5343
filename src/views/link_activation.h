#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// What activating a link in the preview may do. A document can come from anywhere (a paste, a
// downloaded file), so a click must not start programs or open local files: only web and mail
// links are handed to the desktop; every other destination (file, javascript, data, custom
// schemes, relative paths) is only shown.
namespace quillet::LinkActivation {

// The URL to hand to the desktop for `destination`, or nothing when it must only be shown:
// it opens only when it is a valid absolute URL with the scheme http, https or mailto (in any
// letter case), once any '{', '}', '|' and '^' in it are percent-encoded.
std::optional<QUrl> openableUrl(const QString &destination);

} // namespace quillet::LinkActivation
