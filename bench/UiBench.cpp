// The main window over a table of 1,000,000 rows spread over the 21 blocks,
// under the offscreen platform: open it and paint the first screen of
// "Оперативный", switch to "Наб. №7" and paint, jump to the last row and
// paint; and the heap the window holds beyond the table engine's own.
// A timed run: each step is repeated and the median printed.

#include "bench/BenchSupport.h"
#include "storage/ArchiveTable.h"
#include "ui/DBGrid.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"
#include "ui/Program.h"
#include "ui/main.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QItemSelection>
#include <QTabWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <vector>

using namespace orx;

namespace {

double medianMs(int runs, const std::function<void()>& prepare, const std::function<void()>& step)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto t0 = std::chrono::steady_clock::now();
        step();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                         .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Renders the whole window now, as the next screen refresh would paint it.
void paint(QWidget* w) { (void)w->grab(); }

std::size_t heapInUse() { return mallinfo2().uordblks; }

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string config = bench::benchDir() + "/config";
    qputenv("XDG_CONFIG_HOME", config.c_str());
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    std::printf("generating a table of %d rows...\n", rows);
    const std::string path = bench::generatedTable(rows);
    const QString qpath = QString::fromStdString(path);

    ui::Program program;
    ui::TForm1* form = program.Form1;
    form->resize(1280, 800);
    form->show();
    paint(form);

    const double open = medianMs(
        5, [&] { form->Close_DB(); }, [&] {
            form->Open_DB(qpath);
            paint(form);
        });
    const double tabSwitch = medianMs(
        9, [&] { form->PageControl1->setCurrentIndex(0); paint(form); }, [&] {
            form->PageControl1->setCurrentIndex(7);
            paint(form);
        });
    const double toEnd = medianMs(
        9,
        [&] {
            form->PageControl1->setCurrentIndex(0);
            form->currentGrid()->scrollToTop();
            paint(form);
        },
        [&] {
            ui::DBGrid* grid = form->currentGrid();
            const QModelIndex last = grid->model()->index(grid->model()->rowCount() - 1, 0);
            grid->setCurrentIndex(last);
            grid->scrollTo(last);
            paint(form);
        });

    // Heap: the table engine alone, then the window over the same table.
    form->Close_DB();
    malloc_trim(0);
    const std::size_t before = heapInUse();
    {
        ArchiveTable table;
        table.open(path);
        table.setFilter(ArchiveTable::blockFilter(0));
        table.setFiltered(true);
        const std::size_t engine = heapInUse() - before;
        table.close();
        malloc_trim(0);
        const std::size_t base = heapInUse();
        form->Open_DB(qpath);
        paint(form);
        const std::size_t window = heapInUse() - base;
        std::printf("heap: table engine %.2f bytes/row, window with it %.2f bytes/row, "
                    "beyond the engine %.2f bytes/row\n",
                    double(engine) / rows, double(window) / rows,
                    (double(window) - double(engine)) / rows);
    }
    // The status line's summary of "Оперативный", counted a share per turn.
    form->PageControl1->setCurrentIndex(0);
    {
        const auto t0 = std::chrono::steady_clock::now();
        double longestTurn = 0;
        while (!form->summaryReady()) {
            const auto s0 = std::chrono::steady_clock::now();
            QCoreApplication::processEvents();
            longestTurn = std::max(longestTurn, std::chrono::duration<double, std::milli>(
                                                    std::chrono::steady_clock::now() - s0)
                                                    .count());
        }
        std::printf("status line summary of \"Оперативный\": %.1f ms in all, longest turn %.1f ms\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count(),
                    longestTurn);
    }
    std::printf("open and first paint of \"Оперативный\": %.1f ms\n", open);
    std::printf("switch to \"Наб. №7\" with paint:       %.2f ms\n", tabSwitch);
    std::printf("jump to the last row with paint:      %.2f ms\n", toEnd);
    form->Close_DB();

    // Row commands on operational tables.
    const std::string big = bench::operationalTable(100000);
    const std::string archive = bench::operationalTable(13107);
    const QString work = QString::fromStdString(bench::benchDir() + "/work.db");
    auto fresh = [&](const std::string& from) {
        form->Close_DB();
        QFile::remove(work);
        QFile::copy(QString::fromStdString(from), work);
        form->Open_DB(work);
        paint(form);
    };
    const double del = medianMs(
        5,
        [&] {
            fresh(big);
            ui::DBGrid* grid = form->currentGrid();
            QItemSelection sel;
            for (int r = 0; r < 1000; ++r) // every 50th row: 1,000 separate ranges
                sel.select(grid->model()->index(r * 50, 0), grid->model()->index(r * 50, 5));
            grid->selectionModel()->select(sel, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        },
        [&] {
            form->N21Click();
            paint(form);
        });
    const double renumber = medianMs(
        5, [&] { fresh(archive); }, [&] {
            form->N37Click();
            paint(form);
        });
    const double sort = medianMs(
        5,
        [&] {
            fresh(big);
            form->ResetSort();
            paint(form);
        },
        [&] {
            form->DBGridPro2->horizontalHeader()->sectionClicked(1); // "Дата"
            paint(form);
        });
    std::printf("delete 1,000 selected rows of 100,000 with the save: %.1f ms\n", del);
    std::printf("renumber 13,107 rows with the save:                 %.1f ms\n", renumber);
    std::printf("title-click sort of 100,000 rows with paint:        %.1f ms\n", sort);
    form->Close_DB();
    return 0;
}
