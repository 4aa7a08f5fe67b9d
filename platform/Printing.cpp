// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Printing.h"

#include "platform/Seams.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace platform {

std::unique_ptr<QPrinter> defaultPrinter(QString *why)
{
    if (!seams().pdfPath.isEmpty()) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(seams().pdfPath);
        return printer;
    }
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        if (why)
            *why = QStringLiteral("No printer is set up on this computer.");
        return nullptr;
    }
    return std::make_unique<QPrinter>(printer, QPrinter::HighResolution);
}

void setPrintToFile(const QString &pdfPath)
{
    seams().pdfPath = pdfPath;
}

} // namespace platform
