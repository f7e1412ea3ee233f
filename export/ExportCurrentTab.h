#pragma once

// "Экспорт в Excel" of the program: the workbook next to the open table,
// opened by the desktop afterwards.

#include <QString>
#include <QUrl>

class QWidget;

namespace orx {
class ArchiveTable;
}

namespace orx::ui {

// Opens a file with the desktop's default application; tests put their own in
// its place.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    // True when an application took the file.
    virtual bool open(const QUrl& url) = 0;
};

// The opener in use; nullptr restores the desktop's (QDesktopServices).
UrlOpener& urlOpener();
void setUrlOpener(UrlOpener* opener);

// The work of Excel1Click: exports tab `tab` (0 operational, k observation k)
// of the open table, with the filter and order in force, into "ВЕЛАРИ-5.xlsx"
// in the table's folder, replacing an earlier export only when the new one is
// complete. Errors go to the general error box and leave no workbook behind.
// The workbook is then opened by the desktop, or an information box names
// it. Returns the workbook's path, or an empty string when nothing was saved.
QString exportCurrentTab(QWidget* parent, ArchiveTable& table, int tab);

} // namespace orx::ui
