// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Icons.h"

#include <QFile>
#include <QImage>
#include <QPixmap>

namespace platform {

QIcon suiteIcon(const QString &name)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        // Raw premultiplied pixels, drawn at build time: no image reader, so no image plugin is loaded.
        QFile file(u":/icons/" + QString::number(size) + u'/' + name + u".argb");
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray pixels = file.readAll();
        if (pixels.size() != qsizetype(size) * size * 4)
            continue;
        const QImage image(reinterpret_cast<const uchar *>(pixels.constData()), size, size, size * 4,
                           QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image.copy()));
    }
    return icon;
}

} // namespace platform
