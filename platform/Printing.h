#pragma once

#include <QString>
#include <memory>

class QPrinter;

namespace platform {

// A printer on the user's default printer; tests redirect every print to a PDF file instead.
std::unique_ptr<QPrinter> defaultPrinter();
// An empty path prints to the default printer again.
void setPrintToFile(const QString &pdfPath);

} // namespace platform
