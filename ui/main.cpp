#include "ui/main.h"

#include "archive/ArchiveJobs.h"
#include "archive/BlockSummary.h"
#include "archive/DecodeArchive.h"
#include "archive/RecordModel.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "device/receive.h"
#include "export/ExportCurrentTab.h"
#include "reports/ReportCommands.h"
#include "storage/StorageError.h"
#include "ui/ArchiveTableModel.h"
#include "ui/DBGrid.h"
#include "ui/DataSource.h"
#include "ui/FileDialogs.h"
#include "ui/GridLayoutText.h"
#include "ui/HelpViewer.h"
#include "ui/MessageBoxes.h"
#include "ui/TabColumns.h"
#include "ui/about.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// The icons are compiled into a static library: register them explicitly.
static void initIconResources() { Q_INIT_RESOURCE(icons); }

namespace orx::ui {

namespace {

constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;
constexpr int kDesignWidth = 703;
constexpr int kDesignHeight = 501;
constexpr int kToolBarHeight = 29;
constexpr int kInterfaceFontPixels = 11;
constexpr int kMinColumnWidth = 2;
constexpr const char* kIndexSuffix = ".mdx";
constexpr const char* kTitleSeparator = " - ";

QString base() { return QString::fromUtf8(kApplicationTitle); }

// Icons of ImageList1, by index.
QIcon listIcon(int index)
{
    static const char* const files[] = {"create", "open", "save", "preview",
                                        "print",  "help", "delete"};
    return QIcon(QStringLiteral(":/icons/%1.xpm").arg(QString::fromLatin1(files[index])));
}

// Icon-only tool buttons show no hints; their names stay for screen readers.
class NoHints : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

TForm1::TForm1(ArchiveImage& image, QWidget* parent) : QMainWindow(parent), m_image(image)
{
    setWindowTitle(base());
    setAccessibleName(base());
    resize(kDesignWidth, kDesignHeight);
    QFont f = font();
    f.setPixelSize(kInterfaceFontPixels);
    setFont(f);
    setAcceptDrops(true);

    initIconResources();
    QIcon appIcon(QStringLiteral(":/icons/orx-256.png"));
    appIcon.addFile(QStringLiteral(":/icons/orx-48.png"));
    setWindowIcon(appIcon);
    DataSource1 = new DataSource(Dbf1, this);
    createActions();
    createMenus();
    createToolBar();
    createTabs();

    connect(DataSource1, &DataSource::rowsReset, this, &TForm1::showCursorInGrid);
    connect(DataSource1, &DataSource::rowsReset, this, &TForm1::restartSummary);
    connect(DataSource1, &DataSource::rowsReset, this, [this] {
        if (!DataSource1->editing())
            DocumentModified = false; // a re-read closes the editors
    });
    m_statusLine = new QLabel(this);
    m_statusLine->setAccessibleName(QStringLiteral("Сводка по вкладке"));
    m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_statusLine, 1);
    m_summaryTimer.setSingleShot(true);
    m_summaryTimer.setInterval(0);
    connect(&m_summaryTimer, &QTimer::timeout, this, &TForm1::summaryStep);
    connect(DataSource1, &DataSource::edited, this, [this] { DocumentModified = true; });
    connect(DataSource1, &DataSource::editFinished, this, [this] { DocumentModified = false; });
    connect(DataSource1, &DataSource::failed, this,
            [this](const QString& text) { showErrorBox(this, text); });

    FormCreate();
}

TForm1::~TForm1()
{
    // "Выход" and the end of the run: the table is closed with what was posted.
    // An open editor is dropped and the grids go first, so nothing they do
    // while being torn down reaches the table.
    for (DBGrid* g : grids)
        g->finishEdit(false);
    delete PageControl1;
    PageControl1 = nullptr;
    try {
        if (Dbf1.isOpen())
            Dbf1.close();
    } catch (const std::exception&) {
    }
}

void TForm1::setForms(TForm2* form2, TForm3* form3, TForm4* form4, Tform6* form6)
{
    m_form2 = form2;
    m_form3 = form3;
    m_form4 = form4;
    m_form6 = form6;
    if (m_form2)
        m_form2->setHost(this);
}

// ---------------------------------------------------------------- building

void TForm1::createActions()
{
    auto make = [this](const char* text, void (TForm1::*handler)(), int icon = -1,
                       QKeySequence key = {}) {
        auto* a = new QAction(QString::fromUtf8(text), this);
        if (icon >= 0)
            a->setIcon(listIcon(icon));
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    N2 = make("Создать", &TForm1::N2Click, 0, QKeySequence(Qt::CTRL | Qt::Key_N));
    N3 = make("Открыть", &TForm1::N3Click, 1, QKeySequence(Qt::CTRL | Qt::Key_O));
    N4 = make("Дополнить", &TForm1::N4Click);
    N5 = make("Сохранить", &TForm1::N5Click, 2, QKeySequence(Qt::CTRL | Qt::Key_S));
    N7 = make("Закрыть", &TForm1::N7Click);
    N8 = make("Предварительный просмотр", &TForm1::N8Click, 3);
    N9 = make("Печать", &TForm1::N9Click, 4, QKeySequence(Qt::CTRL | Qt::Key_P));
    N11 = make("Выход", &TForm1::N11Click);
    N23 = make("Выровнять столбцы", &TForm1::N23Click);
    N33 = make("Убрать сортировку", &TForm1::N33Click);
    N21 = make("Удалить строки", &TForm1::N21Click, 6);
    Excel1 = make("Экспорт в Excel", &TForm1::Excel1Click);
    N37 = make("Перенумеровать строки", &TForm1::N37Click);
    N15 = make("Построить график", &TForm1::N15Click);
    N24 = make("Помощь", &TForm1::N24Click, 5, QKeySequence(Qt::Key_F1));
    N24->setShortcutContext(Qt::WindowShortcut);
    N26 = make("О программе", &TForm1::N26Click);
    // The pop-up menu's own items stay enabled; it shows only over the tabs.
    N16 = make("График", &TForm1::N15Click);
    N22 = make("Печать", &TForm1::N22Click);
    N31 = make("Выровнять столбцы", &TForm1::N23Click);
    N32 = make("Удалить", &TForm1::N21Click);
}

void TForm1::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setAccessibleName(QStringLiteral("Главное меню"));
    auto menu = [bar](const char* title) {
        QMenu* m = bar->addMenu(QString::fromUtf8(title));
        m->setAccessibleName(QString::fromUtf8(title).remove(QLatin1Char('&')));
        return m;
    };
    QMenu* file = menu("Файл");
    file->addActions({N2, N3, N4, N5, N7});
    file->addSeparator();
    file->addActions({N8, N9});
    file->addSeparator();
    file->addAction(N11);
    QMenu* view = menu("Вид");
    view->addAction(N23);
    view->addSeparator();
    view->addAction(N33);
    menu("Правка")->addAction(N21);
    menu("Сервис")->addActions({Excel1, N37, N15});
    QMenu* help = menu("Справка");
    help->addAction(N24);
    help->addSeparator();
    help->addAction(N26);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setAccessibleName(QStringLiteral("Контекстное меню"));
    PopupMenu1->addActions({N16, N22});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(N31);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(N32);
}

void TForm1::createToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("Панель инструментов"));
    ToolBar1->setAccessibleName(QStringLiteral("Панель инструментов"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto* help = new QAction(listIcon(5), QStringLiteral("Помощь"), this);
    connect(help, &QAction::triggered, this, &TForm1::ToolButton6Click);
    const std::array<QAction*, 6> buttons = {N2, N3, N5, N8, N9, help};
    auto* noHints = new NoHints(this);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        ToolBar1->addAction(buttons[i]);
        auto* b = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(buttons[i]));
        b->setObjectName(QStringLiteral("ToolButton%1").arg(i + 1));
        b->setAccessibleName(buttons[i]->text());
        b->installEventFilter(noHints);
        toolButtons[i] = b;
    }
}

void TForm1::createTabs()
{
    m_client = new QWidget(this);
    m_client->setAutoFillBackground(true);
    setCentralWidget(m_client);
    auto* layout = new QVBoxLayout(m_client);
    layout->setContentsMargins(0, 0, 0, 0);

    PageControl1 = new QTabWidget(m_client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("Вкладки архива"));
    PageControl1->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(PageControl1);
    auto popup = [this](QWidget* over, const QPoint& pos) {
        PopupMenu1->popup(over->mapToGlobal(pos));
    };
    connect(PageControl1, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& pos) { popup(PageControl1, pos); });

    for (int tab = 0; tab < kTabCount; ++tab) {
        const QString caption = QString::fromStdString(tabCaption(tab));
        auto* page = new QWidget(PageControl1);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(tab + 1));
        page->setAccessibleName(caption);
        auto* pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        m_models[static_cast<std::size_t>(tab)] = new ArchiveTableModel(*DataSource1, tab, this);
        auto* grid = new DBGrid(m_models[static_cast<std::size_t>(tab)], page);
        grid->setObjectName(QStringLiteral("DBGridPro%1").arg(tab + 2));
        grid->setAccessibleName(caption);
        grid->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(grid, &QWidget::customContextMenuRequested, this,
                [grid, popup](const QPoint& pos) { popup(grid->viewport(), pos); });
        connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, grid](const QModelIndex& current) { gridRowChanged(grid, current.row()); });
        connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this, grid](int column) { titleClicked(grid, column); });
        connect(grid->gridDelegate(), &GridDelegate::typed, this,
                [this] { DocumentModified = true; });
        // Esc, or an editor closed with nothing posted: no typed change is left.
        connect(grid->gridDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
            if (!DataSource1->editing())
                DocumentModified = false;
        });
        pageLayout->addWidget(grid);
        grids[static_cast<std::size_t>(tab)] = grid;
        PageControl1->addTab(page, caption);
    }
    DBGridPro2 = grids[0];
    connect(DBGridPro2->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TForm1::DBGridPro2SelectionChange);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
}

void TForm1::setBackground(bool documentShown)
{
    QPalette p = m_client->palette();
    p.setColor(QPalette::Window, style()->standardPalette().color(
                                     documentShown ? QPalette::Button : QPalette::Dark));
    m_client->setPalette(p);
}

void TForm1::setTitle(const QString& title)
{
    setApplicationTitle(title);
    setWindowTitle(title);
}

QString TForm1::dialogFolder() const
{
    // A folder that is gone: the dialogs start at home instead.
    return QFileInfo(m_dialogDir).isDir() ? m_dialogDir : QDir::homePath();
}

// ---------------------------------------------------------------- start and close

void TForm1::FormCreate()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    setBackground(false);

    const QString beside = helpBesideExecutable();
    m_helpFile = beside.isEmpty() ? defaultHelpPath() : beside;

    m_settings = new QSettings(QSettings::NativeFormat, QSettings::UserScope,
                               QString::fromLatin1(kSettingsOrganization),
                               QString::fromLatin1(kSettingsApplication), this);
    m_settings->beginGroup(QString::fromLatin1(kSettingsGroup));
    if (m_settings->contains(QString::fromLatin1(kValueDefaultDir))) {
        m_defaultDir = m_settings->value(QString::fromLatin1(kValueDefaultDir)).toString();
    } else {
        m_defaultDir = QDir::toNativeSeparators(QDir::currentPath());
        m_settings->setValue(QString::fromLatin1(kValueDefaultDir), m_defaultDir);
        m_settings->sync();
    }
    m_dialogDir = m_defaultDir;

    if (Dbf1.isOpen())
        Dbf1.close();
    DocumentOpen = false;
    ResetSort();
    disable_button();
    tab_vis_dis();
}

void TForm1::FormClose()
{
    m_settings->setValue(QString::fromLatin1(kValueDefaultDir), m_defaultDir);
    m_settings->sync();
    Close_DB();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!m_quitting)
        FormClose();
    event->accept();
}

void TForm1::N11Click()
{
    // Ends the program at once: no closing steps, the table closes with the objects.
    m_quitting = true;
    QCoreApplication::exit(0);
}

// ---------------------------------------------------------------- commands of the document

void TForm1::N2Click()
{
    if (DocumentOpen)
        Close_DB();
    const QString path = fileDialogs().getSaveFileName(
        this, {QStringLiteral("Создать"), dialogFolder(), QStringLiteral("Файлы данных (*.db)"),
               QStringLiteral("db")});
    if (path.isEmpty())
        return;
    const int result = m_form2 ? m_form2->exec() : kDialogCancel;
    if (result == kDialogOk)
        Create_DB(path);
    if (!DocumentOpen)
        tab_vis_dis(); // the tabs the download dialog showed go again
}

void TForm1::Create_DB(const QString& path)
{
    DocumentOpen = false;
    DocumentModified = false;
    std::uint64_t total = 0;
    try {
        if (Dbf1.isOpen())
            Dbf1.close();
        total = createTableFromArchive(Dbf1, QDir::toNativeSeparators(path).toStdString(), m_image);
    } catch (const std::exception& e) {
        // Rows posted before the failure stay in the file; the table closes.
        try {
            if (Dbf1.isOpen())
                Dbf1.close();
        } catch (const std::exception&) {
        }
        DataSource1->rowsChanged();
        showErrorBox(this, e);
        return;
    }
    PageControl1Change();
    if (total != 0) {
        DocumentOpen = true;
        setBackground(true);
        enable_button();
        tab_vis_en();
        RestoreGridLayout(QString::fromLatin1(kValueTable1), DBGridPro2);
        DataSource1->rowsChanged();
        return;
    }
    showMessage(this, QStringLiteral("Архив прибора пуст!"), QStringLiteral("Ошибка"),
                QMessageBox::Information);
    try {
        Dbf1.close();
    } catch (const std::exception& e) {
        showErrorBox(this, e);
    }
    DataSource1->rowsChanged();
}

void TForm1::N3Click()
{
    const QString path = fileDialogs().getOpenFileName(
        this, {QStringLiteral("Открыть"), dialogFolder(), QStringLiteral("Базы данных (*.db)"),
               QStringLiteral("db")});
    if (path.isEmpty())
        return;
    if (DocumentOpen)
        Close_DB();
    m_defaultDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    Open_DB(path);
}

void TForm1::Open_DB(const QString& path)
{
    if (DocumentOpen)
        Close_DB();
    DocumentModified = false;
    try {
        Dbf1.open(QDir::toNativeSeparators(path).toStdString());
    } catch (const std::exception&) {
        DataSource1->rowsChanged();
        showMessage(this, QStringLiteral("База данных повреждена !"), QStringLiteral("Ошибка"),
                    QMessageBox::Critical);
        return;
    }
    DocumentOpen = true;
    try {
        Dbf1.first();
    } catch (const std::exception& e) {
        showErrorBox(this, e);
    }
    setBackground(true);
    enable_button();
    tab_vis_en();
    RestoreGridLayout(QString::fromLatin1(kValueTable1), DBGridPro2);
    setTitle(QFileInfo(path).completeBaseName() + QString::fromLatin1(kTitleSeparator) + base());
    PageControl1->show();
    PageControl1Change();
}

void TForm1::N4Click()
{
    if (!DocumentOpen || !m_form2)
        return;
    if (!postEdit())
        return;
    if (m_form2->exec() != kDialogOk)
        return;
    ResetSort();
    try {
        DecodeArchive(Dbf1, m_image, DecodeMode::Append);
    } catch (const std::exception& e) {
        DataSource1->rowsChanged();
        showErrorBox(this, e);
        return;
    }
    PageControl1Change();
    DocumentOpen = true;
    Save_DB();
    tab_vis_en();
}

void TForm1::N5Click() { Save_DB(); }

void TForm1::Save_DB()
{
    if (!DocumentOpen)
        return;
    if (Dbf1.isOpen()) {
        finishEdits(true);
        if (!postEdit())
            return;
    }
    try {
        saveTable(Dbf1);
    } catch (const std::exception& e) {
        DataSource1->rowsChanged();
        showErrorBox(this, e);
        return;
    }
    DocumentModified = false;
    DataSource1->rowsChanged();
}

void TForm1::N7Click() { Close_DB(); }

void TForm1::Close_DB()
{
    if (DocumentOpen && DocumentModified) {
        const auto answer =
            showMessage(this, QStringLiteral("Сохранить изменения в таблицах ?"), base(),
                        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            Save_DB();
    }
    SaveGridLayout(QString::fromLatin1(kValueTable1), DBGridPro2);
    DocumentOpen = false;
    DocumentModified = false;
    if (Dbf1.isOpen()) {
        finishEdits(false);
        const QFileInfo table(QString::fromStdString(Dbf1.path()));
        try {
            Dbf1.close(); // a row edit not posted is dropped
        } catch (const std::exception& e) {
            showErrorBox(this, e);
        }
        QFile::remove(table.dir().filePath(table.completeBaseName() +
                                           QString::fromLatin1(kIndexSuffix)));
    }
    // With its index file the sort is gone: the next document starts in file order.
    Dbf1.clearSortOrder();
    for (DBGrid* g : grids)
        g->clearMarks();
    DataSource1->rowsChanged();
    disable_button();
    tab_vis_dis();
    setTitle(base());
    setBackground(false);
}

void TForm1::enable_button()
{
    for (QAction* a : {N4, N5, N7, N8, N9, N23, N33, N21, Excel1, N37, N15})
        a->setEnabled(true);
}

void TForm1::disable_button()
{
    for (QAction* a : {N4, N5, N7, N8, N9, N23, N33, N21, Excel1, N37, N15})
        a->setEnabled(false);
}

// ---------------------------------------------------------------- row edits

// Every command that moves the cursor or re-reads the rows first puts a
// typed change into its row: an open editor keeps what was typed.
bool TForm1::postEdit()
{
    try {
        finishEdits(true);
        DataSource1->post();
        return true;
    } catch (const std::exception& e) {
        showErrorBox(this, e);
        return false;
    }
}

void TForm1::finishEdits(bool keep)
{
    for (DBGrid* g : grids)
        g->finishEdit(keep);
    if (keep)
        return;
    try {
        DataSource1->cancel();
    } catch (const std::exception&) {
        // Dropping the row buffer re-reads the current row; a failed read
        // leaves nothing to keep.
    }
}

void TForm1::gridRowChanged(DBGrid* grid, int row)
{
    if (grid != currentGrid() || !Dbf1.isOpen() || row < 0)
        return;
    try {
        if (DataSource1->editing() && Dbf1.currentRecord() &&
            static_cast<std::size_t>(row) < Dbf1.countVisible() &&
            Dbf1.recordAtPosition(static_cast<std::size_t>(row)) != *Dbf1.currentRecord()) {
            DataSource1->post();
        }
        if (!DataSource1->editing() && static_cast<std::size_t>(row) < Dbf1.countVisible() &&
            Dbf1.position() != static_cast<std::size_t>(row))
            Dbf1.moveToPosition(static_cast<std::size_t>(row));
    } catch (const std::exception& e) {
        showErrorBox(this, e); // the change stays unposted
    }
}

void TForm1::showCursorInGrid()
{
    DBGrid* grid = currentGrid();
    if (!grid || !Dbf1.isOpen() || Dbf1.isEmpty())
        return;
    const QModelIndex idx = grid->model()->index(static_cast<int>(Dbf1.position()),
                                                 std::max(0, grid->currentIndex().column()));
    grid->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
    grid->scrollTo(idx);
}

// ---------------------------------------------------------------- the tabbed view

bool TForm1::anyTabVisible() const
{
    for (int i = 0; i < PageControl1->count(); ++i)
        if (PageControl1->isTabVisible(i))
            return true;
    return false;
}

int TForm1::currentTab() const
{
    if (!anyTabVisible())
        return -1;
    const int i = PageControl1->currentIndex();
    return i >= 0 && PageControl1->isTabVisible(i) ? i : -1;
}

DBGrid* TForm1::currentGrid() const
{
    const int tab = currentTab();
    return tab < 0 ? nullptr : grids[static_cast<std::size_t>(tab)];
}

void TForm1::PageControl1Change()
{
    const int tab = currentTab();
    if (tab < 0)
        return;
    // A change that cannot be posted is dropped (the box said why): the new
    // tab must never show the old tab's rows.
    if (Dbf1.isOpen() && !postEdit())
        DataSource1->cancel();
    try {
        Dbf1.setFiltered(false);
        Dbf1.setFilter(ArchiveTable::blockFilter(tab));
        Dbf1.setFiltered(true);
    } catch (const std::exception& e) {
        showErrorBox(this, e);
    }
    DataSource1->rowsChanged();
}

void TForm1::tab_vis_en()
{
    if (!Dbf1.isOpen())
        return;
    DBGridPro2->show();
    const bool noneShown = !anyTabVisible();
    for (int i = 0; i < kTabCount; ++i)
        PageControl1->setTabVisible(i, true);
    if (noneShown && PageControl1->currentIndex() != 0)
        PageControl1->setCurrentIndex(0); // the first made visible becomes current
    PageControl1->show();
}

void TForm1::tab_vis_dis()
{
    DBGridPro2->hide();
    for (int i = 0; i < kTabCount; ++i)
        PageControl1->setTabVisible(i, false);
    PageControl1->hide();
}

void TForm1::makeTabVisible(int tab)
{
    if (tab < 0 || tab >= kTabCount)
        return;
    const bool noneShown = !anyTabVisible();
    DBGridPro2->setVisible(true);
    PageControl1->setTabVisible(tab, true);
    if (noneShown && PageControl1->currentIndex() != tab)
        PageControl1->setCurrentIndex(tab);
}

void TForm1::showPageControl() { PageControl1->show(); }

void TForm1::EqualizeColumns(DBGrid* grid)
{
    const int n = static_cast<int>(grid->designWidths().size());
    if (n == 0)
        return;
    int width = grid->fitWidth();
    if (!grid->isVisible() || width <= 0) {
        // Not laid out yet: equal shares of the designed width.
        width = 0;
        for (int w : grid->designWidths())
            width += w;
    }
    grid->setDesignWidths(std::vector<int>(static_cast<std::size_t>(n),
                                           std::max(width / n, kMinColumnWidth)));
    grid->viewport()->update();
}

void TForm1::RestoreGridLayout(const QString& valueName, DBGrid* grid)
{
    if (!m_settings->contains(valueName)) {
        EqualizeColumns(grid);
        SaveGridLayout(valueName, grid);
        return;
    }
    // A text that is not a layout of ours is left alone; the next close replaces it.
    const auto stored = parseGridLayout(m_settings->value(valueName).toString().toStdString());
    if (!stored)
        return;
    for (const ColumnLayout& c : *stored)
        grid->applyColumnLayout(c, grid->columnOfField(c.field));
}

void TForm1::SaveGridLayout(const QString& valueName, DBGrid* grid)
{
    m_settings->setValue(valueName, QString::fromStdString(formatGridLayout(grid->columnLayouts())));
    m_settings->sync();
}

void TForm1::ResetSort()
{
    for (DBGrid* g : grids)
        g->clearMarks();
    if (!Dbf1.isOpen())
        return;
    try {
        Dbf1.clearSortOrder();
        Dbf1.refresh();
    } catch (const std::exception&) {
    }
    DataSource1->rowsChanged();
}

// ---------------------------------------------------------------- the status line

namespace {
constexpr std::size_t kSummaryRowsPerTurn = 15000;

QString summaryText(const BlockSummary& s)
{
    QString text = QStringLiteral("Строк: %1").arg(s.rows);
    if (!s.first.empty())
        text += QStringLiteral("   Первое: %1   Последнее: %2")
                    .arg(QString::fromStdString(s.first), QString::fromStdString(s.last));
    if (s.minimum)
        text += QStringLiteral("   T мин.: %1   средн.: %2   макс.: %3")
                    .arg(QString::fromStdString(formatTemperature(*s.minimum)),
                         QString::fromStdString(formatTemperature(*s.mean)),
                         QString::fromStdString(formatTemperature(*s.maximum)));
    const std::size_t bad = s.badMoments + s.badTemperatures;
    if (bad > 0)
        text += QStringLiteral("   Не разобрано значений: %1 (первое: «%2»)")
                    .arg(bad)
                    .arg(fromTableText(s.firstBad));
    return text;
}
} // namespace

// The rows were re-read: count afresh. The counting starts on the next turn
// of the event loop, so a command that re-reads several times counts once.
void TForm1::restartSummary()
{
    m_summaryTimer.stop();
    m_summary.reset();
    if (!DocumentOpen || currentTab() < 0 || !Dbf1.isOpen()) {
        m_statusLine->clear();
        return;
    }
    m_statusLine->setText(QStringLiteral("Строк: %1   подсчёт…").arg(Dbf1.countVisible()));
    m_summaryTimer.start();
}

// A share of the rows per turn of the event loop, so a large table never
// holds up the window.
void TForm1::summaryStep()
{
    try {
        if (!m_summary) {
            const int tab = currentTab();
            if (!DocumentOpen || tab < 0 || !Dbf1.isOpen()) {
                m_statusLine->clear();
                return;
            }
            m_summary = std::make_unique<BlockSummaryBuilder>(Dbf1, tab);
        }
        if (!m_summary->step(kSummaryRowsPerTurn)) {
            m_summaryTimer.start();
            return;
        }
        m_statusLine->setText(summaryText(m_summary->result()));
    } catch (const std::exception&) {
        m_statusLine->clear();
    }
    m_summary.reset();
}

// ---------------------------------------------------------------- opening from outside

void TForm1::openFromOutside(const QString& path)
{
    if (DocumentOpen)
        Close_DB();
    m_defaultDir = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    Open_DB(QFileInfo(path).absoluteFilePath());
}

namespace {
QString droppedTable(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1)
        return {};
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile() || !url.toLocalFile().endsWith(QStringLiteral(".db"), Qt::CaseInsensitive))
        return {};
    return url.toLocalFile();
}
} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedTable(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QString path = droppedTable(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openFromOutside(path);
}

// ---------------------------------------------------------------- other commands

void TForm1::N23Click()
{
    if (DBGrid* grid = currentGrid(); DocumentOpen && grid)
        EqualizeColumns(grid);
}

void TForm1::N33Click() { ResetSort(); }

void TForm1::N24Click()
{
    if (!m_help)
        m_help = new HelpViewer(this);
    if (!m_help->showContents(m_helpFile))
        showErrorBox(this, QStringLiteral("Не найден файл справки %1").arg(m_helpFile));
}

void TForm1::ToolButton6Click() { N24Click(); }

void TForm1::N26Click()
{
    if (m_form6)
        m_form6->exec();
}

void TForm1::N21Click()
{
    DBGrid* grid = currentGrid();
    if (!DocumentOpen || !grid || !Dbf1.isOpen() || !postEdit())
        return;
    // Selected rows as ranges of positions; deleting from the last position to
    // the first keeps the positions still to come valid.
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& r : grid->selectionModel()->selection())
        ranges.emplace_back(r.top(), r.bottom());
    std::sort(ranges.begin(), ranges.end());
    try {
        for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
            for (int row = it->second; row >= it->first; --row) {
                if (static_cast<std::size_t>(row) >= Dbf1.countVisible())
                    continue;
                Dbf1.moveToPosition(static_cast<std::size_t>(row));
                Dbf1.remove();
            }
        }
        grid->clearSelection();
        Dbf1.refresh();
        saveTable(Dbf1);
    } catch (const std::exception& e) {
        DataSource1->rowsChanged();
        showErrorBox(this, e);
        return;
    }
    DataSource1->rowsChanged();
}

void TForm1::N37Click()
{
    const int tab = currentTab();
    if (!DocumentOpen || tab < 0 || !Dbf1.isOpen() || !postEdit())
        return;
    // Each block numbers its own sequence column, so observation rows never
    // gain an operational number.
    const int field = Dbf1.fieldIndex(sequenceColumn(tab));
    const std::string sortColumn = Dbf1.sortColumn();
    const bool descending = Dbf1.sortDescending();
    try {
        // Rows are visited in the order shown before the first write, even
        // when the sort is on the very column being renumbered.
        std::vector<std::uint32_t> visit(Dbf1.countVisible());
        for (std::size_t i = 0; i < visit.size(); ++i)
            visit[i] = Dbf1.recordAtPosition(i);
        Dbf1.clearSortOrder(); // file order: positions found by binary search
        for (std::size_t i = 0; i < visit.size(); ++i) {
            std::size_t lo = 0, hi = Dbf1.countVisible();
            while (lo < hi) {
                const std::size_t mid = lo + (hi - lo) / 2;
                if (Dbf1.recordAtPosition(mid) < visit[i])
                    lo = mid + 1;
                else
                    hi = mid;
            }
            Dbf1.moveToPosition(lo);
            Dbf1.edit();
            Dbf1.writeText(field, std::to_string(i + 1));
            Dbf1.post();
        }
        if (!sortColumn.empty())
            Dbf1.setSortOrder(sortColumn, descending);
        Dbf1.first();
        saveTable(Dbf1);
    } catch (const std::exception& e) {
        try {
            if (!sortColumn.empty() && Dbf1.isOpen())
                Dbf1.setSortOrder(sortColumn, descending); // the mark shown stays true
        } catch (const std::exception&) {
        }
        DataSource1->rowsChanged();
        showErrorBox(this, e);
        return;
    }
    DataSource1->rowsChanged();
}

void TForm1::titleClicked(DBGrid* grid, int column)
{
    if (!DocumentOpen)
        return;
    SortMark mark = SortMark::None;
    if (!(grid->titleClickModifiers() & Qt::ControlModifier))
        mark = grid->mark(column) == SortMark::Up ? SortMark::Down : SortMark::Up;
    // The table has one order: the one mark shown names it.
    for (DBGrid* g : grids)
        if (g != grid)
            g->clearMarks();
    grid->setMark(column, mark);
    DBGridPro1TitleStateChange(grid, column);
}

void TForm1::DBGridPro1TitleStateChange(DBGrid* grid, int column)
{
    if (!Dbf1.isOpen() || !postEdit())
        return;
    const SortMark mark = grid->mark(column);
    try {
        Dbf1.clearSortOrder();
        if (mark == SortMark::None) {
            ResetSort();
            return;
        }
        Dbf1.setSortOrder(grid->archiveModel()->columns()[static_cast<std::size_t>(column)].field,
                          mark == SortMark::Up);
    } catch (const std::exception& e) {
        showErrorBox(this, e);
    }
    DataSource1->rowsChanged();
}

// Charts, export and reports: nothing while no document is open.
void TForm1::N8Click()
{
    if (DocumentOpen && currentTab() >= 0 && postEdit())
        reports::previewReport(this, Dbf1, currentTab());
    DataSource1->rowsChanged();
}

void TForm1::N9Click()
{
    if (DocumentOpen && currentTab() >= 0 && postEdit())
        reports::printReport(this, Dbf1, currentTab());
    DataSource1->rowsChanged();
}

void TForm1::N22Click() { N9Click(); }

void TForm1::Excel1Click()
{
    if (DocumentOpen && currentTab() >= 0 && postEdit())
        exportCurrentTab(this, Dbf1, currentTab());
    DataSource1->rowsChanged();
}

void TForm1::N15Click()
{
    if (!DocumentOpen)
        return;
    TabsChartSource source(
        Dbf1, PageControl1, [this] { PageControl1Change(); },
        [this] { DataSource1->rowsChanged(); });
    showCharts(*m_form4, *m_form3, source);
}

} // namespace orx::ui
