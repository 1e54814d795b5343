#include "link_activation.h"

namespace quillet::LinkActivation {

std::optional<QUrl> openableUrl(const QString &destination)
{
    // Braces, bars and carets are common in real links (templates, wiki pages) but not allowed
    // in a URL as typed; encoded, the link means what its author meant, and the scheme check
    // below still decides.
    QString typed = destination.trimmed();
    typed.replace(u'{', QLatin1String("%7B"))
        .replace(u'}', QLatin1String("%7D"))
        .replace(u'|', QLatin1String("%7C"))
        .replace(u'^', QLatin1String("%5E"));
    const QUrl url(typed, QUrl::StrictMode);
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
