// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

class QPrinter;

namespace platform {

// A printer on the user's default printer; tests redirect every print to a PDF file instead. Nothing, with the
// reason in `why`, where no printer is set up.
std::unique_ptr<QPrinter> defaultPrinter(QString *why = nullptr);
// An empty path prints to the default printer again.
void setPrintToFile(const QString &pdfPath);

} // namespace platform
