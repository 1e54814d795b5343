#pragma once

#include <QString>

namespace quillet::bench {

constexpr qsizetype kMegabyte = 1 << 20;

// Prose-like ASCII in lines of 56 characters: words, spaces, punctuation and line feeds.
inline QString asciiDocument(qsizetype size)
{
    static const QString line =
        QStringLiteral("The quick brown fox jumps over the lazy dog, then naps.\n");
    QString text;
    text.reserve(size);
    while (text.size() < size)
        text += line;
    text.truncate(size);
    return text;
}

} // namespace quillet::bench
