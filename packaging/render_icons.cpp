// Renders the application icon at the sizes the icon theme wants, at build time:
//   render_icons <icon.svg> <output folder> <size>...
// writes <output folder>/<size>/tarnibe.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <cstdio>

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
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        const QString folder = args[2] + u'/' + args[i];
        if (size <= 0 || image.size() != QSize(size, size) || !QDir().mkpath(folder) ||
            !image.save(folder + u"/tarnibe.png")) {
            std::fprintf(stderr, "render_icons: could not render %s at %d px\n", qPrintable(args[1]), size);
            return 1;
        }
    }
    return 0;
}
