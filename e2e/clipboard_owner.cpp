// Takes the X clipboard with rich content, as a browser or word processor would offer it: HTML,
// a plain-text version that differs from the HTML's text, an image and file URLs. Prints "ready"
// once it owns the clipboard and serves it until it is terminated or a minute has passed.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PLAIN_TEXT\n", argv[0]);
        return 2;
    }
    auto *data = new QMimeData;
    data->setHtml(QStringLiteral("<html><body><h1 style=\"color:red\">Heading</h1><p><b>bold</b> "
                                 "<a href=\"https://example.test/\">a link</a></p></body></html>"));
    data->setText(QString::fromLocal8Bit(argv[1]));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    data->setImageData(image);
    data->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/dropped-file.txt"))});
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);

    QTimer::singleShot(0, [] {
        std::puts("ready");
        std::fflush(stdout);
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
