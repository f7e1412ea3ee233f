#include "export/ExportCurrentTab.h"

#include "export/ExcelExport.h"
#include "storage/ArchiveTable.h"
#include "ui/MessageBoxes.h"
#include "ui/Seam.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace orx::ui {

namespace {

class DesktopUrlOpener : public UrlOpener
{
public:
    bool open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

using OpenerSeam = Seam<UrlOpener, DesktopUrlOpener>;

} // namespace

UrlOpener& urlOpener()
{
    return OpenerSeam::current();
}

void setUrlOpener(UrlOpener* opener)
{
    OpenerSeam::install(opener);
}

QString exportCurrentTab(QWidget* parent, ArchiveTable& table, int tab)
{
    const QString tablePath = QFileInfo(QString::fromStdString(table.path())).absoluteFilePath();
    const QString outPath = QString::fromStdString(workbookPathFor(tablePath.toStdString()));
    try {
        exp2excel(table, tab, outPath.toStdString());
    } catch (const std::exception& e) {
        // ExportError and the table's own errors alike end the command here.
        showErrorBox(parent, e);
        return QString();
    }
    if (!urlOpener().open(QUrl::fromLocalFile(outPath))) {
        showMessage(
            parent,
            QStringLiteral("Книга сохранена в файле\n%1").arg(QDir::toNativeSeparators(outPath)),
            QString::fromUtf8(kApplicationTitle), QMessageBox::Information);
    }
    return outPath;
}

} // namespace orx::ui
