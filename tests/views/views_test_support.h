#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QRect>
#include <QWidget>
#include <QtTest>

namespace quillet::test {

// The widget's rectangle in the coordinates of `ancestor`.
inline QRect geometryIn(const QWidget &widget, const QWidget &ancestor)
{
    return QRect(widget.mapTo(&ancestor, QPoint(0, 0)), widget.size());
}

// Lets posted layout requests and deferred deletes run, as the event loop would between keys.
inline void settle()
{
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline void writeFile(const QString &path, const QString &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

inline QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace quillet::test
