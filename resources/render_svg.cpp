// Build tool: renders the program's SVG pictures into the PNG files the program loads.
//
// Usage: cantova_render_svg [--size N] <input.svg> <output.png> [<input.svg> <output.png> ...]
// Each picture is rendered at the size its SVG declares (width and height), or N by N pixels
// when --size is given (the desktop icons at the sizes desktops use).
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    int first = 1;
    int size = 0;
    if (argc > 2 && QByteArray(argv[1]) == "--size") {
        size = QByteArray(argv[2]).toInt();
        first = 3;
    }
    if (argc - first < 2 || (argc - first) % 2 != 0 || (first == 3 && size <= 0)) {
        std::fprintf(stderr, "usage: %s [--size N] <input.svg> <output.png> ...\n", argv[0]);
        return 2;
    }
    for (int i = first; i + 1 < argc; i += 2) {
        QSvgRenderer renderer(QString::fromLocal8Bit(argv[i]));
        if (!renderer.isValid()) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const QSize pixels = size > 0 ? QSize(size, size) : renderer.defaultSize();
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
