// SPDX-License-Identifier: GPL-3.0-or-later
// Renders an SVG icon at fixed sizes, at build time, so that the running program never needs the SVG renderer:
//   render_icons <icon.svg> <output folder> <size>...
// writes <output folder>/<size>/<icon>.png for the icon theme, and <icon>.argb beside it for the program: the raw
// premultiplied pixels, which it shows without any image reader (asking a reader for even a PNG makes Qt load every
// image format plugin first).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <cstdio>

static bool writeRaw(const QImage &image, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int y = 0; y < image.height(); ++y)
        if (file.write(reinterpret_cast<const char *>(image.constScanLine(y)), qint64(image.width()) * 4) < 0)
            return false;
    return true;
}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: render_icons <icon.svg> <output folder> <size>...\n");
        return 2;
    }
    const QIcon icon(args[1]);
    for (qsizetype i = 3; i < args.size(); ++i) {
        const int size = args[i].toInt();
        const QImage image =
            icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QString folder = args[2] + u'/' + args[i];
        if (size <= 0 || image.size() != QSize(size, size) || !QDir().mkpath(folder) ||
            !image.save(folder + u'/' + QFileInfo(args[1]).completeBaseName() + u".png") ||
            !writeRaw(image, folder + u'/' + QFileInfo(args[1]).completeBaseName() + u".argb")) {
            std::fprintf(stderr, "render_icons: could not render %s at %d px\n", qPrintable(args[1]), size);
            return 1;
        }
    }
    return 0;
}
