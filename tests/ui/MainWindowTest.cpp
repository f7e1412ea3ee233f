// The main window on a real event loop (offscreen), driven as the operator
// drives it: menu actions and shortcuts, the file dialogs and message boxes
// answered at their seams, velari-sim on a pseudo-terminal.

#include "archive/ArchiveJobs.h"
#include "charts/graf.h"
#include "device/receive.h"
#include "tests/SimProcess.h"
#include "tests/TestSupport.h"
#include "export/ExportCurrentTab.h"
#include "reports/ReportCommands.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ArchiveTableModel.h"
#include "ui/DBGrid.h"
#include "ui/DataSource.h"
#include "ui/GridLayoutText.h"
#include "ui/HelpViewer.h"
#include "ui/Program.h"
#include "ui/about.h"
#include "ui/logo.h"
#include "ui/main.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace orx;
using namespace orx::test;
using namespace orx::ui;

namespace {

std::string g_configDir;

QString q(const std::string& s) { return QString::fromStdString(s); }

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::remove_all(g_configDir + "/Kelvarin");
        setMessageBoxes(&boxes);
        setFileDialogs(&dialogs);
        noInstrument();
        program = std::make_unique<Program>();
        form = program->Form1;
    }
    void TearDown() override
    {
        m_settings.reset();
        program.reset();
        setMessageBoxes(nullptr);
        setFileDialogs(nullptr);
    }
    void noInstrument()
    {
        qputenv("ORX_COM1", tmp.path("no-com1").c_str());
        qputenv("ORX_COM2", tmp.path("no-com2").c_str());
    }
    void instrumentAt(const SimProcess& sim) { qputenv("ORX_COM1", sim.device().c_str()); }
    // The program's settings as another reader sees them.
    std::unique_ptr<QSettings> settingsStore() const
    {
        auto s = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             "Kelvarin", "ORX");
        s->beginGroup("1.0");
        return s;
    }
    QSettings& settings()
    {
        m_settings = settingsStore();
        return *m_settings;
    }
    std::unique_ptr<QSettings> m_settings;
    // "Создать" into path, from an instrument with the given options.
    void createFrom(const std::vector<std::string>& simOptions, const std::string& path)
    {
        SimProcess sim(simOptions);
        instrumentAt(sim);
        dialogs.nextPath = q(path);
        form->N2->trigger();
        noInstrument();
    }
    // A table on disk made the way the program makes one.
    void tableFromSim(const std::vector<std::string>& simOptions, const std::string& path)
    {
        createFrom(simOptions, path);
        ASSERT_TRUE(form->DocumentOpen);
        form->N7->trigger();
        boxes.shown.clear();
    }
    void openTable(const std::string& path)
    {
        dialogs.nextPath = q(path);
        form->N3->trigger();
    }
    int rowsShown() const
    {
        DBGrid* g = form->currentGrid();
        return g ? g->model()->rowCount() : -1;
    }
    QString cell(int row, int column) const
    {
        DBGrid* g = form->currentGrid();
        return g->model()->index(row, column).data().toString();
    }
    std::vector<bool> enabledCommands() const
    {
        std::vector<bool> e;
        for (QAction* a : {form->N4, form->N5, form->N7, form->N8, form->N9, form->N23, form->N33,
                           form->N21, form->Excel1, form->N37, form->N15})
            e.push_back(a->isEnabled());
        for (int b : {2, 3, 4})
            e.push_back(form->toolButtons[static_cast<std::size_t>(b)]->isEnabled());
        return e;
    }
    bool alwaysEnabledCommands() const
    {
        for (QAction* a : {form->N2, form->N3, form->N11, form->N24, form->N26})
            if (!a->isEnabled())
                return false;
        for (int b : {0, 1, 5})
            if (!form->toolButtons[static_cast<std::size_t>(b)]->isEnabled())
                return false;
        return true;
    }
    int visibleTabs() const
    {
        int n = 0;
        for (int i = 0; i < form->PageControl1->count(); ++i)
            n += form->PageControl1->isTabVisible(i);
        return n;
    }
    void selectTab(int tab) { form->PageControl1->setCurrentIndex(tab); }
    // Opens the in-place editor of a cell as a double click would.
    static QLineEdit* startEdit(DBGrid* grid, const QModelIndex& index)
    {
        grid->edit(index);
        return qobject_cast<QLineEdit*>(grid->gridDelegate()->openEditor());
    }

    TempDir tmp;
    RecordedBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<Program> program;
    TForm1* form = nullptr;
};

const std::vector<bool> kAllOn(14, true);
const std::vector<bool> kAllOff(14, false);
const std::vector<std::string> kSmallArchive = {"--operational", "12", "--observations", "3",
                                                "--records", "7"};

} // namespace

TEST_F(MainWindow, StartsWithNoDocument)
{
    EXPECT_EQ(form->windowTitle(), QString("ВЕЛАРИ-5"));
    EXPECT_FALSE(form->DocumentOpen);
    EXPECT_FALSE(form->PageControl1->isVisibleTo(form));
    EXPECT_EQ(visibleTabs(), 0);
    EXPECT_EQ(enabledCommands(), kAllOff);
    EXPECT_TRUE(alwaysEnabledCommands());
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(form->centralWidget()->palette().color(QPalette::Window),
              form->style()->standardPalette().color(QPalette::Dark));
    // The default folder is the current one, written before the window shows.
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(settings().value("Default_dir").toString(), QDir::currentPath());
}

TEST_F(MainWindow, MenusToolbarAndPopupAsDesigned)
{
    QStringList menus;
    for (QAction* a : form->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({"Файл", "Вид", "Правка", "Сервис", "Справка"}));
    QStringList file;
    for (QAction* a : form->menuBar()->actions()[0]->menu()->actions())
        file << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(file, QStringList({"Создать", "Открыть", "Дополнить", "Сохранить", "Закрыть", "-",
                                 "Предварительный просмотр", "Печать", "-", "Выход"}));
    QStringList popup;
    for (QAction* a : form->PopupMenu1->actions())
        popup << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(popup, QStringList({"График", "Печать", "-", "Выровнять столбцы", "-", "Удалить"}));
    EXPECT_EQ(form->N2->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(form->N3->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(form->N5->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(form->N9->shortcut(), QKeySequence("Ctrl+P"));
    EXPECT_EQ(form->N24->shortcut(), QKeySequence("F1"));
    // Icon-only tool buttons carry their command's name for screen readers.
    QStringList names;
    for (QToolButton* b : form->toolButtons) {
        names << b->accessibleName();
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonIconOnly);
    }
    EXPECT_EQ(names, QStringList({"Создать", "Открыть", "Сохранить", "Предварительный просмотр",
                                  "Печать", "Помощь"}));
    ASSERT_EQ(form->PageControl1->count(), 21);
    EXPECT_EQ(form->PageControl1->tabText(0), QString("Оперативный"));
    EXPECT_EQ(form->PageControl1->tabText(20), QString("Наб. №20"));
    EXPECT_EQ(form->grids[20]->objectName(), QString("DBGridPro22"));
    EXPECT_EQ(form->grids[20]->accessibleName(), QString("Наб. №20"));
}

TEST_F(MainWindow, CreateShowsAllTabsWithOperationalCurrent)
{
    const std::string path = tmp.path("new.db");
    createFrom(kSmallArchive, path);
    ASSERT_TRUE(boxes.shown.empty()) << boxes.texts().join("|").toStdString();
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(visibleTabs(), 21);
    EXPECT_EQ(form->currentTab(), 0);
    EXPECT_EQ(form->windowTitle(), QString("ВЕЛАРИ-5"));
    EXPECT_EQ(enabledCommands(), kAllOn);
    EXPECT_EQ(form->centralWidget()->palette().color(QPalette::Window),
              form->style()->standardPalette().color(QPalette::Button));
    EXPECT_EQ(rowsShown(), 12);
    EXPECT_EQ(cell(0, 0), QString("1"));
    EXPECT_EQ(dialogs.asked.back().filter, QString("Файлы данных (*.db)"));
    EXPECT_EQ(dialogs.asked.back().defaultSuffix, QString("db"));
    // The emulated instrument fills observations 1, 2 and 4.
    selectTab(4);
    EXPECT_EQ(rowsShown(), 7);
    EXPECT_EQ(cell(6, 0), QString("7"));
    selectTab(3);
    EXPECT_EQ(rowsShown(), 0); // an observation without rows still has its tab
    // The first document with no stored layout writes the equalized one.
    const auto layout = parseGridLayout(settings().value("Table_1").toString().toStdString());
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->size(), 6u);
    for (const ColumnLayout& c : *layout)
        EXPECT_EQ(c.width, layout->front().width);
}

TEST_F(MainWindow, CreateCancelledAtTheDialogClosesTheOpenDocument)
{
    createFrom(kSmallArchive, tmp.path("a.db"));
    ASSERT_TRUE(form->DocumentOpen);
    dialogs.nextPath.clear();
    form->N2->trigger();
    EXPECT_FALSE(form->DocumentOpen);
    EXPECT_EQ(visibleTabs(), 0);
    EXPECT_EQ(enabledCommands(), kAllOff);
}

TEST_F(MainWindow, CreateWithAFailedDownloadLeavesTheFileUntouched)
{
    const std::string path = tmp.path("kept.db");
    tableFromSim(kSmallArchive, path);
    const std::string before = readFile(path);
    dialogs.nextPath = q(path);
    form->N2->trigger(); // no instrument on either port
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QString("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
    EXPECT_EQ(readFile(path), before);
    EXPECT_FALSE(form->DocumentOpen);
    EXPECT_EQ(visibleTabs(), 0);
}

TEST_F(MainWindow, CreateFromAnEmptyArchiveLeavesTheEmptyTable)
{
    const std::string path = tmp.path("empty.db");
    createFrom({"--operational", "0", "--observations", "0"}, path);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString("Архив прибора пуст!"));
    EXPECT_EQ(boxes.shown[0].caption, QString("Ошибка"));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Information);
    EXPECT_FALSE(form->DocumentOpen);
    EXPECT_FALSE(form->Dbf1.isOpen());
    EXPECT_EQ(visibleTabs(), 0); // the tabs the download showed are hidden again
    ArchiveTable t;
    t.open(path);
    EXPECT_EQ(t.recordCount(), 0u);
}

TEST_F(MainWindow, CreateInAFolderThatCannotBeWritten)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    const std::string dir = tmp.path("ro");
    std::filesystem::create_directory(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::owner_exec);
    createFrom(kSmallArchive, dir + "/a.db");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QString("ВЕЛАРИ-5"));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(form->DocumentOpen);
}

TEST_F(MainWindow, OpenSetsTheTitleAndShowsTheOperationalTab)
{
    const std::string path = tmp.path("obj.1.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    ASSERT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->windowTitle(), QString("obj.1 - ВЕЛАРИ-5"));
    EXPECT_EQ(applicationTitle(), QString("obj.1 - ВЕЛАРИ-5"));
    EXPECT_EQ(form->currentTab(), 0);
    EXPECT_EQ(form->Dbf1.filter(), "NO <>''");
    EXPECT_EQ(rowsShown(), 12);
    EXPECT_EQ(dialogs.asked.back().filter, QString("Базы данных (*.db)"));
    EXPECT_EQ(form->defaultDir(), q(tmp.dir()));
    form->N7->trigger();
    EXPECT_EQ(form->windowTitle(), QString("ВЕЛАРИ-5"));
}

TEST_F(MainWindow, OpenFailuresSayTheTableIsDamaged)
{
    const std::string good = tmp.path("good.db");
    tableFromSim(kSmallArchive, good);
    // A table whose last column is not TYPE.
    std::string bytes = readFile(good);
    const std::size_t typeName = 32 + 127 * 32;
    ASSERT_EQ(bytes.substr(typeName, 4), "TYPE");
    bytes.replace(typeName, 4, "TYPX");
    writeFile(tmp.path("lacking.db"), bytes);
    writeFile(tmp.path("text.db"), "not a table at all");
    const std::string held = tmp.path("held.db");
    writeFile(held, readFile(good));
    TableHolder holder(held);
    ASSERT_TRUE(holder.holding());

    for (const std::string name : {"missing.db", "lacking.db", "text.db", "held.db"}) {
        openTable(good); // a document open before is closed first
        ASSERT_TRUE(form->DocumentOpen);
        boxes.shown.clear();
        openTable(tmp.path(name));
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].text, QString("База данных повреждена !"));
        EXPECT_EQ(boxes.shown[0].caption, QString("Ошибка"));
        EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
        EXPECT_FALSE(form->DocumentOpen) << name;
        EXPECT_EQ(visibleTabs(), 0);
        EXPECT_EQ(form->windowTitle(), QString("ВЕЛАРИ-5"));
    }
}

TEST_F(MainWindow, OpenCancelledKeepsTheDocument)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    dialogs.nextPath.clear();
    form->N3->trigger();
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->windowTitle(), QString("a - ВЕЛАРИ-5"));
}

TEST_F(MainWindow, AppendAddsOnlyNewerReadingsAndKeepsTheTab)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    selectTab(2);
    ASSERT_EQ(rowsShown(), 7);
    std::vector<std::string> extended = kSmallArchive;
    extended.insert(extended.end(), {"--extend", "4"});
    SimProcess sim(extended);
    instrumentAt(sim);
    form->N4->trigger();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join("|").toStdString();
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->currentTab(), 2);
    EXPECT_EQ(form->Dbf1.filter(), "NN2 <>''");
    EXPECT_EQ(rowsShown(), 11);
    EXPECT_EQ(cell(10, 0), QString("11"));
    EXPECT_EQ(form->windowTitle(), QString("a - ВЕЛАРИ-5"));
    selectTab(0);
    EXPECT_EQ(rowsShown(), 16);
    // On disk: the table was saved by closing and opening it again.
    ArchiveTable t;
    form->N7->trigger();
    t.open(path);
    EXPECT_EQ(t.recordCount(), 12u + 4 + 3 * (7 + 4));
}

TEST_F(MainWindow, AppendWithACancelledDownloadChangesNothing)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    form->Dbf1.setSortOrder("NO", true);
    form->N4->trigger(); // nothing on the ports
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->Dbf1.sortColumn(), "NO"); // not even the sort
}

TEST_F(MainWindow, SaveKeepsTheTabAndItsFilter)
{
    const std::string path = tmp.path("a.db");
    // Seed 4 fills observation 5.
    tableFromSim({"--operational", "4", "--observations", "6", "--records", "3", "--seed", "4"},
                 path);
    openTable(path);
    selectTab(5);
    form->N5->trigger();
    EXPECT_EQ(form->currentTab(), 5);
    EXPECT_EQ(form->Dbf1.filter(), "NN5 <>''");
    EXPECT_TRUE(form->Dbf1.filtered());
    EXPECT_EQ(rowsShown(), 3);
    EXPECT_EQ(form->Dbf1.position(), 0u);
}

TEST_F(MainWindow, CloseDeletesTheSortIndexBesideTheTable)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    writeFile(tmp.path("a.mdx"), "index");
    form->N7->trigger();
    EXPECT_FALSE(std::filesystem::exists(tmp.path("a.mdx")));
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(enabledCommands(), kAllOff);
}

TEST_F(MainWindow, DefaultFolderIsWrittenAtWindowCloseNotByExit)
{
    const std::string dir = tmp.path("data");
    std::filesystem::create_directory(dir);
    tableFromSim(kSmallArchive, dir + "/a.db");
    openTable(dir + "/a.db");
    form->N11->trigger(); // "Выход"
    program.reset();
    // "Выход" asked the application to quit; a main loop that starts and ends
    // clears that request, so later dialogs in this process run normally.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    EXPECT_NE(settings().value("Default_dir").toString(), q(dir));

    program = std::make_unique<Program>();
    form = program->Form1;
    EXPECT_NE(form->defaultDir(), q(dir));
    openTable(dir + "/a.db");
    EXPECT_EQ(dialogs.asked.back().directory, QDir::currentPath()); // the folder read at start
    form->close();
    EXPECT_EQ(settings().value("Default_dir").toString(), q(dir));
    EXPECT_FALSE(form->DocumentOpen);

    // The next run's dialogs start there; a folder gone since starts them at home.
    program = std::make_unique<Program>();
    form = program->Form1;
    dialogs.nextPath.clear();
    form->N3->trigger();
    EXPECT_EQ(dialogs.asked.back().directory, q(dir));
    program.reset();
    std::filesystem::remove_all(dir);
    program = std::make_unique<Program>();
    form = program->Form1;
    form->N3->trigger();
    EXPECT_EQ(dialogs.asked.back().directory, QDir::homePath());
}

TEST_F(MainWindow, StoredLayoutIsRestoredAndAForeignOneIgnored)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    // A layout of ours with its own widths comes back.
    auto layout = *parseGridLayout(settings().value("Table_1").toString().toStdString());
    for (std::size_t i = 0; i < layout.size(); ++i)
        layout[i].width = 50 + 10 * static_cast<int>(i);
    layout[0].field = "NOPE"; // a column the grid lacks changes nothing
    settings().setValue("Table_1", q(formatGridLayout(layout)));
    openTable(path);
    const std::vector<int> restored = form->DBGridPro2->designWidths();
    EXPECT_EQ(restored[1], 60);
    EXPECT_EQ(restored[5], 100);
    EXPECT_NE(restored[0], 50);
    form->N7->trigger();

    // A foreign text changes nothing and is replaced at the next close.
    settings().setValue("Table_1", "[grid]\nNO=61,DATEO=108");
    boxes.shown.clear();
    openTable(path);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(form->DBGridPro2->designWidths(), restored);
    EXPECT_EQ(settings().value("Table_1").toString(), QString("[grid]\nNO=61,DATEO=108"));
    form->N7->trigger();
    EXPECT_TRUE(parseGridLayout(settings().value("Table_1").toString().toStdString()));
}

TEST_F(MainWindow, EqualizeColumnsGivesEveryColumnTheSameWidth)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    form->show();
    selectTab(1);
    form->N23->trigger();
    const std::vector<int> w = form->grids[1]->designWidths();
    EXPECT_EQ(std::count(w.begin(), w.end(), w[0]), 7);
    EXPECT_EQ(w[0], form->grids[1]->fitWidth() / 7);
}

TEST_F(MainWindow, TypedChangeIsPostedWhenTheRowIsLeftOrAskedAboutAtClose)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    form->show();
    DBGrid* grid = form->DBGridPro2;
    QAbstractItemModel* m = grid->model();
    // Only TO is editable on "Оперативный".
    EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m->flags(m->index(0, 5)) & Qt::ItemIsEditable);

    grid->setCurrentIndex(m->index(1, 5));
    auto* editor = startEdit(grid, m->index(1, 5));
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "33,3");
    EXPECT_TRUE(form->DocumentModified);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits on a queued call
    EXPECT_EQ(cell(1, 5), QString("33,3"));
    EXPECT_EQ(readFile(path).find("33,3"), std::string::npos) << "in the file before the row is left";
    grid->setCurrentIndex(m->index(3, 5)); // leaving the row posts it
    EXPECT_FALSE(form->DocumentModified);
    EXPECT_EQ(form->Dbf1.readTextAt(1, "TO"), "33,3");

    // A change not posted: "Закрыть" asks, and "Нет" drops it.
    editor = startEdit(grid, m->index(3, 5));
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "-1");
    boxes.answers = {QMessageBox::No};
    form->N7->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString("Сохранить изменения в таблицах ?"));
    EXPECT_EQ(boxes.shown[0].caption, QString("ВЕЛАРИ-5"));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    {
        ArchiveTable t;
        t.open(path);
        EXPECT_EQ(t.readTextAt(1, "TO"), "33,3");
        EXPECT_NE(t.readTextAt(3, "TO"), "-1");
    }

    // "Да" saves what was typed.
    openTable(path);
    grid->setCurrentIndex(m->index(3, 5));
    editor = startEdit(grid, m->index(3, 5));
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "-1");
    boxes.shown.clear();
    boxes.answers = {QMessageBox::Yes};
    form->N7->trigger();
    ASSERT_EQ(boxes.shown.size(), 1u);
    ArchiveTable t;
    t.open(path);
    EXPECT_EQ(t.readTextAt(3, "TO"), "-1");
}

TEST_F(MainWindow, CtrlASelectsAllRowsAsOneRange)
{
    const std::string path = tmp.path("big.db");
    std::vector<TableRow> rows;
    for (int i = 1; i <= 3000; ++i)
        rows.push_back(OperationalRow{std::to_string(i), "A", "1", "01.01.2024", "00:00:00", "1"});
    writeTable(path, rows);
    openTable(path);
    form->show();
    DBGrid* grid = form->DBGridPro2;
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->selectionModel()->selection().size(), 1); // one range, not 3000 rows
    EXPECT_EQ(grid->selectionModel()->selectedRows().size(), 3000);
    grid->scrollToBottom();
    EXPECT_EQ(cell(2999, 0), QString("3000"));
}

TEST_F(MainWindow, TypedTextInAnOpenEditorIsKeptByCommandsAndEscLeavesNoQuestion)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    form->show();
    DBGrid* grid = form->DBGridPro2;
    QAbstractItemModel* m = grid->model();
    grid->setCurrentIndex(m->index(1, 5));
    grid->selectionModel()->clearSelection(); // the row being edited is not selected
    QLineEdit* editor = startEdit(grid, m->index(1, 5));
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "88,8");
    // A command chosen while the editor is open puts the typed text in its row first.
    grid->selectionModel()->select(m->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form->N21->trigger();
    EXPECT_EQ(rowsShown(), 11);
    EXPECT_EQ(cell(1, 5), QString("88,8"));
    EXPECT_FALSE(form->DocumentModified);

    // Esc drops what was typed: closing asks nothing.
    editor = startEdit(grid, m->index(2, 5));
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "5");
    EXPECT_TRUE(form->DocumentModified);
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->DocumentModified);
    form->N7->trigger();
    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join("|").toStdString();
    ArchiveTable t;
    t.open(path);
    EXPECT_EQ(t.readTextAt(1, "TO"), "88,8");
}

TEST_F(MainWindow, CreateOnAFullDiskKeepsTheRowsWrittenAndOpensNothing)
{
    // A file-size limit stands in for a full disk, whoever runs the test.
    const std::string path = tmp.path("full.db");
    SimProcess sim(kSmallArchive);
    instrumentAt(sim);
    dialogs.nextPath = q(path);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 4130 + 5 * 761 + 100; // the header and five rows
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    form->N2->trigger();
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_EQ(boxes.shown.size(), 1u) << boxes.texts().join("|").toStdString();
    EXPECT_EQ(boxes.shown[0].text, QString("Error while writing occurred. (Disk full?)."));
    EXPECT_EQ(boxes.shown[0].caption, QString("ВЕЛАРИ-5"));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(form->DocumentOpen);
    EXPECT_EQ(visibleTabs(), 0);
    ArchiveTable t;
    t.open(path);
    EXPECT_EQ(t.recordCount(), 5u); // the rows posted before the failure stay
}

TEST_F(MainWindow, HelpOpensFromTheMenuF1AndTheToolbar)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    ASSERT_TRUE(form->helpFile().endsWith("orx.html"));
    form->N24->trigger();
    ASSERT_TRUE(form->helpViewer());
    EXPECT_TRUE(form->helpViewer()->isVisible());
    EXPECT_TRUE(form->helpViewer()->browser()->source().toLocalFile().endsWith("orx.html"));
    EXPECT_TRUE(form->helpViewer()->browser()->toPlainText().contains("Содержание"));
    form->helpViewer()->close();

    form->activateWindow();
    QTest::keyClick(form, Qt::Key_F1);
    EXPECT_TRUE(form->helpViewer()->isVisible());
    form->helpViewer()->close();

    form->toolButtons[5]->click();
    EXPECT_TRUE(form->helpViewer()->isVisible());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MainWindow, AboutShowsTheVersionAtEveryShowing)
{
    Tform6* about = program->form6;
    EXPECT_EQ(about->size(), QSize(515, 151));
    about->Label2->setText("design text");
    QString shown;
    QTimer::singleShot(0, [&] {
        shown = about->Label2->text();
        about->Button1->click();
    });
    form->N26->trigger();
    EXPECT_EQ(shown, QString("Версия ") + ORX_PROJECT_VERSION);
    EXPECT_EQ(about->result(), 1);
    EXPECT_EQ(about->Label3->text(), QString("Программа для передачи данных с прибора ВЕЛАРИ-5."));
}

// ---------------------------------------------------------------- row commands

namespace {
// Clicks a column title as the operator does, with or without Ctrl.
void clickTitle(DBGrid* grid, int column, Qt::KeyboardModifiers keys = {})
{
    QHeaderView* h = grid->horizontalHeader();
    const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, keys, at);
}
} // namespace

TEST_F(MainWindow, DeleteRemovesExactlyTheSelectedRowsOfTheTab)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    form->show();
    selectTab(2);
    DBGrid* grid = form->currentGrid();
    QAbstractItemModel* m = grid->model();
    // Click, Ctrl+click, Shift+click: rows 1, 3, 4 and 5 with a range.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(m->index(1, 0)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      grid->visualRect(m->index(3, 0)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      grid->visualRect(m->index(5, 0)).center());
    ASSERT_EQ(grid->selectionModel()->selectedRows().size(), 4);
    form->N21->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(rowsShown(), 3);
    QStringList left;
    for (int r = 0; r < rowsShown(); ++r)
        left << cell(r, 0);
    EXPECT_EQ(left, QStringList({"1", "3", "7"}));
    EXPECT_EQ(form->Dbf1.position(), 0u);
    form->N7->trigger();
    ArchiveTable t;
    t.open(path);
    EXPECT_EQ(t.recordCount(), 12u + 3 * 7); // marked deleted, still in the file
    t.setFilter("NO <>''");
    t.setFiltered(true);
    EXPECT_EQ(t.countVisible(), 12u);
    t.setFilter("NN4 <>''");
    EXPECT_EQ(t.countVisible(), 7u);
}

TEST_F(MainWindow, DeleteWithNoSelectionOnlyReturnsToTheFirstRow)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    form->show();
    DBGrid* grid = form->currentGrid();
    grid->setCurrentIndex(grid->model()->index(5, 0)); // the focused row is no selection
    grid->selectionModel()->clearSelection();
    const std::string before = readFile(path);
    form->N32->trigger(); // "Удалить" of the pop-up menu
    EXPECT_EQ(rowsShown(), 12);
    EXPECT_EQ(form->Dbf1.position(), 0u);
    form->N7->trigger();
    EXPECT_EQ(readFile(path).substr(32), before.substr(32)); // only the header date may change
}

TEST_F(MainWindow, RenumberClosesTheGapsOfTheTabShown)
{
    const std::string path = tmp.path("a.db");
    tableFromSim({"--operational", "6", "--observations", "2", "--records", "4"}, path);
    openTable(path);
    form->show();
    DBGrid* grid = form->currentGrid();
    grid->selectionModel()->select(grid->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid->selectionModel()->select(grid->model()->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form->N21->trigger();
    form->N37->trigger();
    QStringList numbers;
    for (int r = 0; r < rowsShown(); ++r)
        numbers << cell(r, 0);
    EXPECT_EQ(numbers, QStringList({"1", "2", "3", "4"}));
    const std::vector<std::uint32_t> operationalRecords = [&] {
        std::vector<std::uint32_t> r;
        for (std::size_t i = 0; i < form->Dbf1.countVisible(); ++i)
            r.push_back(form->Dbf1.recordAtPosition(i));
        return r;
    }();

    // On an observation tab its own column is numbered; "Оперативный" keeps its rows.
    selectTab(1);
    ASSERT_EQ(rowsShown(), 4);
    grid = form->currentGrid();
    grid->selectionModel()->select(grid->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form->N21->trigger();
    form->N37->trigger();
    numbers.clear();
    for (int r = 0; r < rowsShown(); ++r)
        numbers << cell(r, 0);
    EXPECT_EQ(numbers, QStringList({"1", "2", "3"})) << boxes.texts().join("|").toStdString();
    // The observation rows got no operational number; the operational ones kept theirs.
    for (std::size_t i = 0; i < form->Dbf1.countVisible(); ++i)
        EXPECT_EQ(form->Dbf1.readTextAt(form->Dbf1.recordAtPosition(i), "NO"), "");
    selectTab(0);
    ASSERT_EQ(rowsShown(), 4);
    for (std::size_t i = 0; i < operationalRecords.size(); ++i)
        EXPECT_EQ(form->Dbf1.readTextAt(operationalRecords[i], "NO"), std::to_string(i + 1));

    // Sorted by the column being renumbered: the rows are numbered in the
    // order shown before the first write, each exactly once.
    clickTitle(form->DBGridPro2, 0); // "N" descending: 4, 3, 2, 1
    std::vector<std::uint32_t> shown;
    for (std::size_t i = 0; i < form->Dbf1.countVisible(); ++i)
        shown.push_back(form->Dbf1.recordAtPosition(i));
    form->N37->trigger();
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(form->Dbf1.readTextAt(shown[i], "NO"), std::to_string(i + 1)) << i;
}

TEST_F(MainWindow, TitleClicksSortAndCtrlClickBringsBackFileOrder)
{
    const std::string path = tmp.path("a.db");
    writeTable(path, {OperationalRow{"1", "A", "1", "05.01.2024", "10:00:00", "1"},
                      OperationalRow{"2", "A", "1", "01.02.2024", "10:00:00", "2"},
                      OperationalRow{"10", "A", "1", "03.01.2023", "10:00:00", "3"},
                      ObservationRow{1, "1", "01.01.2024", "10:00", "1", "1", "1,00", "A1"}});
    openTable(path);
    form->show();
    auto column = [&](int c) {
        QStringList v;
        for (int r = 0; r < rowsShown(); ++r)
            v << cell(r, c);
        return v;
    };
    clickTitle(form->DBGridPro2, 1); // "Дата": up, the texts descending
    EXPECT_EQ(form->DBGridPro2->mark(1), SortMark::Up);
    EXPECT_EQ(column(1), QStringList({"05.01.2024", "03.01.2023", "01.02.2024"}));
    clickTitle(form->DBGridPro2, 1); // down: ascending
    EXPECT_EQ(form->DBGridPro2->mark(1), SortMark::Down);
    EXPECT_EQ(column(1), QStringList({"01.02.2024", "03.01.2023", "05.01.2024"}));
    clickTitle(form->DBGridPro2, 1); // and up again
    EXPECT_EQ(form->DBGridPro2->mark(1), SortMark::Up);
    EXPECT_EQ(column(1), QStringList({"05.01.2024", "03.01.2023", "01.02.2024"}));
    clickTitle(form->DBGridPro2, 0); // "N": the mark moves, texts compare character by character
    EXPECT_EQ(form->DBGridPro2->mark(1), SortMark::None);
    clickTitle(form->DBGridPro2, 0);
    EXPECT_EQ(column(0), QStringList({"1", "10", "2"}));
    selectTab(1); // another tab keeps the order in force
    EXPECT_EQ(form->Dbf1.sortColumn(), "NO");
    selectTab(0);
    clickTitle(form->DBGridPro2, 0, Qt::ControlModifier);
    EXPECT_EQ(form->DBGridPro2->mark(0), SortMark::None);
    EXPECT_EQ(column(0), QStringList({"1", "2", "10"}));

    // A sort survives "Сохранить" and is gone after "Закрыть" and "Открыть".
    clickTitle(form->DBGridPro2, 0);
    form->N5->trigger();
    EXPECT_EQ(column(0), QStringList({"2", "10", "1"}));
    form->N7->trigger();
    openTable(path);
    EXPECT_EQ(column(0), QStringList({"1", "2", "10"}));
    EXPECT_EQ(form->DBGridPro2->mark(0), SortMark::None);
}

// ---------------------------------------------------------------- beyond the menus

TEST_F(MainWindow, OpensATableNamedOnTheCommandLineOrDropped)
{
    const std::string path = tmp.path("obj.7.db");
    tableFromSim(kSmallArchive, path);
    program->openArguments({"orx", q(path)});
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->windowTitle(), QString("obj.7 - ВЕЛАРИ-5"));
    EXPECT_EQ(visibleTabs(), 21);
    EXPECT_EQ(form->defaultDir(), q(tmp.dir()));
    form->N7->trigger();

    // Dropped onto the window: a .db file opens; anything else is refused.
    form->show();
    auto drop = [&](const std::string& file) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(q(file))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(form, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(form, &dropped);
        return true;
    };
    EXPECT_FALSE(drop(tmp.path("notes.txt")));
    EXPECT_FALSE(form->DocumentOpen);
    EXPECT_TRUE(drop(path));
    EXPECT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->windowTitle(), QString("obj.7 - ВЕЛАРИ-5"));

    // A file that is no table: the same message as "Открыть".
    writeFile(tmp.path("broken.db"), "no table");
    program->openArguments({"orx", q(tmp.path("broken.db"))});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString("База данных повреждена !"));
    EXPECT_FALSE(form->DocumentOpen);
}

TEST_F(MainWindow, StatusLineSummarisesTheCurrentTab)
{
    const std::string path = tmp.path("a.db");
    writeTable(path, {OperationalRow{"1", "A", "1", "02.03.2024", "10:00:00", "20"},
                      OperationalRow{"2", "A", "1", "01.03.2024", "23:59:59", "-12,8"},
                      OperationalRow{"3", "A", "1", "02.03.2024", "09:00:00", "23,5"},
                      ObservationRow{1, "1", "05.05.2024", "10:15", "24", "1", "0,0", "A1"}});
    openTable(path);
    QTRY_VERIFY(form->summaryReady());
    EXPECT_EQ(form->statusLine()->text(),
              QString("Строк: 3   Первое: 01.03.2024 23:59:59   Последнее: 02.03.2024 10:00:00"
                      "   T мин.: -12,8   средн.: 10,2   макс.: 23,5"));
    selectTab(1);
    QTRY_VERIFY(form->summaryReady());
    EXPECT_TRUE(form->statusLine()->text().startsWith("Строк: 1   Первое: 05.05.2024 10:15"));
    selectTab(2);
    QTRY_VERIFY(form->summaryReady());
    EXPECT_EQ(form->statusLine()->text(), QString("Строк: 0"));
    form->N7->trigger();
    EXPECT_TRUE(form->statusLine()->text().isEmpty());
}

// ---------------------------------------------------------------- export and print from the menus

namespace {
class RecordedOpener : public ui::UrlOpener
{
public:
    std::vector<QUrl> opened;
    bool open(const QUrl& url) override
    {
        opened.push_back(url);
        return true;
    }
};
class PdfPrintDialog : public reports::PrintDialog
{
public:
    explicit PdfPrintDialog(QString path) : m_path(std::move(path)) {}
    int pages = 0;
    bool exec(QWidget*, QPrinter& printer, int pageCount) override
    {
        pages = pageCount;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        return true;
    }

private:
    QString m_path;
};
} // namespace

TEST_F(MainWindow, ExportAndPrintTheCurrentTabFromTheMenus)
{
    const std::string path = tmp.path("a.db");
    tableFromSim(kSmallArchive, path);
    openTable(path);
    selectTab(2);
    RecordedOpener opener;
    setUrlOpener(&opener);
    form->Excel1->trigger();
    setUrlOpener(nullptr);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.texts().join("|").toStdString();
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0].toLocalFile(), q(tmp.path("ВЕЛАРИ-5.xlsx")));
    EXPECT_TRUE(std::filesystem::exists(tmp.path("ВЕЛАРИ-5.xlsx")));

    PdfPrintDialog dialog(q(tmp.path("report.pdf")));
    reports::setPrintDialog(&dialog);
    form->N9->trigger();
    reports::setPrintDialog(nullptr);
    EXPECT_EQ(dialog.pages, 1);
    EXPECT_TRUE(std::filesystem::exists(tmp.path("report.pdf")));
    // The report leaves the cursor on the tab's last row, and the grid shows it.
    EXPECT_EQ(form->Dbf1.position(), 6u);
    EXPECT_EQ(form->currentGrid()->currentIndex().row(), 6);

    // With no document these commands do nothing.
    form->N7->trigger();
    boxes.shown.clear();
    form->Excel1->trigger();
    form->N22->trigger();
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(Start, SplashForThreeSecondsThenTheMaximisedMainWindow)
{
    Program program;
    EXPECT_EQ(program.Form5->size(), QSize(400, 77));
    EXPECT_EQ(TForm5::banner().size(), QSize(400, 78));
    bool mainShownDuringSplash = true;
    bool splashShown = false;
    QTimer::singleShot(1000, [&] {
        splashShown = program.Form5 && program.Form5->isVisible();
        mainShownDuringSplash = program.Form1->isVisible();
    });
    QElapsedTimer clock;
    clock.start();
    program.showSplash();
    const qint64 elapsed = clock.elapsed();
    EXPECT_TRUE(splashShown);
    EXPECT_FALSE(mainShownDuringSplash);
    EXPECT_EQ(program.Form5, nullptr);
    EXPECT_GE(elapsed, 2900);
    program.showMain();
    EXPECT_TRUE(program.Form1->isVisible());
    EXPECT_TRUE(program.Form1->windowState() & Qt::WindowMaximized);
}

TEST(Start, StandardButtonsSpeakRussian)
{
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No);
    EXPECT_EQ(box.button(QDialogButtonBox::Yes)->text().remove('&'), QString("Да"));
    EXPECT_EQ(box.button(QDialogButtonBox::No)->text().remove('&'), QString("Нет"));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::signal(SIGXFSZ, SIG_IGN); // a file-size limit shows as a failed write, as in orx
    // The tests' own settings, never the user's.
    TempDir config;
    g_configDir = config.dir();
    qputenv("XDG_CONFIG_HOME", config.dir().c_str());
    QApplication app(argc, argv);
    installRussianTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
