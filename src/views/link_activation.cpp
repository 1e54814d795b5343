#include "link_activation.h"

namespace quillet::LinkActivation {

std::optional<QUrl> openableUrl(const QString &destination)
{
    const QUrl url(destination.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        if (url.host().isEmpty())
            return std::nullopt;
        return url;
    }
    if (scheme == u"mailto")
        return url;
    return std::nullopt;
}

} // namespace quillet::LinkActivation
