// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/form_Browse.h"

#include "core/Twips.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Folders, programs and launchers; nothing else can start a mail program.
class ProgramsOnly : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.suffix() == QLatin1String("desktop") || info.isExecutable();
    }
};

} // namespace

form_Browse::form_Browse(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("form_Browse"));
    setWindowTitle(QStringLiteral("Browse"));
    auto *frame = new QGroupBox(QStringLiteral("Browse to file "), this);
    File1 = new QFileDialog(frame);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setWindowFlags(Qt::Widget);
    File1->setOption(QFileDialog::DontUseNativeDialog);
    File1->setFileMode(QFileDialog::ExistingFile);
    File1->setProxyModel(new ProgramsOnly(File1));
    // The file list's columns are as wide as their headings and entries need in the desktop's font; the dialog's
    // own widths are made for another font and cut every column.
    if (auto *files = File1->findChild<QTreeView *>())
        files->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(File1, &QFileDialog::fileSelected, this, [this] { c_Ok_Click(); });
    connect(File1, &QFileDialog::rejected, this, &form_Browse::c_Cancel_Click);
    auto *instruction = new QLabel(QStringLiteral("Please select the program file or the launcher (*.desktop) file "
                                                  "that starts your emailprogram.  "),
                                   frame);
    instruction->setWordWrap(true);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(instruction);
    frameLayout->addWidget(File1);
    auto *tipFrame = new QGroupBox(QStringLiteral("Tip ! "), this);
    auto *tip = new QLabel(QStringLiteral("If your email program is in the applications menu, browse to "
                                          "/usr/share/applications and select its launcher. If you are using "
                                          "Thunderbird the standard path should be /usr/bin/thunderbird"),
                           tipFrame);
    tip->setWordWrap(true);
    auto *tipLayout = new QVBoxLayout(tipFrame);
    tipLayout->addWidget(tip);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(tipFrame);
}

void form_Browse::Form_Load()
{
    File1->setDirectory(QDir(QStringLiteral("/usr/share/applications")).exists()
                            ? QStringLiteral("/usr/share/applications")
                            : QStringLiteral("/usr/bin"));
    resize(640, 520);
    centreOnScreen(this);
}

void form_Browse::c_Ok_Click()
{
    const QStringList files = File1->selectedFiles();
    if (!files.isEmpty())
        Q_EMIT chosen(QDir::toNativeSeparators(files.first()));
    close();
}

void form_Browse::c_Cancel_Click()
{
    close();
}
