// SPDX-License-Identifier: GPL-3.0-or-later
// The floor that bench/peers.sh compares the suite with: a Qt Widgets program with one tray icon and nothing
// else. Started under the name floor_window (a symlink), a left click on the icon also opens a small window, the
// counterpart of opening the calculator from its icon; started as floor_four it shows four icons, as many as the
// suite. The name picks the variant because the benchmark starts every program with an exec of the bare path and
// no arguments.
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWidget>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Drawn here, so the floor loads no image plugin and reads no file for its icon.
QIcon drawnIcon()
{
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2e, 0x7d, 0x32));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 18, 18);
    return QIcon(pixmap);
}

bool calledAs(const char *argv0, const char *name)
{
    const char *slash = std::strrchr(argv0, '/');
    return std::strcmp(slash ? slash + 1 : argv0, name) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QSystemTrayIcon icon(drawnIcon());
    icon.setToolTip(QStringLiteral("Floor"));

    // A tape and an entry line: about what a first window of a small tool holds.
    std::unique_ptr<QWidget> window;
    if (argc > 0 && calledAs(argv[0], "floor_window")) {
        QObject::connect(&icon, &QSystemTrayIcon::activated, &icon, [&window](QSystemTrayIcon::ActivationReason why) {
            if (why != QSystemTrayIcon::Trigger)
                return;
            if (!window) {
                window = std::make_unique<QWidget>();
                window->setWindowTitle(QStringLiteral("Floor window"));
                auto *layout = new QVBoxLayout(window.get());
                layout->addWidget(new QPlainTextEdit);
                layout->addWidget(new QLineEdit);
                window->resize(240, 300);
            }
            window->show();
            window->raise();
            window->activateWindow();
        });
    }
    icon.show();
    // Started as floor_four it shows four icons, as the suite does: what a tray icon costs on its own.
    std::vector<std::unique_ptr<QSystemTrayIcon>> more;
    if (argc > 0 && calledAs(argv[0], "floor_four")) {
        for (int i = 0; i < 3; ++i) {
            more.push_back(std::make_unique<QSystemTrayIcon>(drawnIcon()));
            more.back()->setToolTip(QStringLiteral("Floor ") + QString::number(i + 2));
            more.back()->show();
        }
    }
    const int status = QApplication::exec();
    window.reset();
    return status;
}
