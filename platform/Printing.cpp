#include "platform/Printing.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace platform {

namespace {
QString g_pdfPath;
}

std::unique_ptr<QPrinter> defaultPrinter()
{
    if (!g_pdfPath.isEmpty()) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(g_pdfPath);
        return printer;
    }
    return std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
}

void setPrintToFile(const QString &pdfPath)
{
    g_pdfPath = pdfPath;
}

} // namespace platform
