#pragma once

// TForm1, the main window: menus, toolbar, the 21 tabbed grids over the one
// archive table, and the document's life (create from a download, open,
// extend, save, close).

#include "device/receive.h"
#include "storage/ArchiveTable.h"

#include <QMainWindow>

#include <QTimer>

#include <array>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QSettings;
class QTabWidget;
class QToolBar;
class QToolButton;

namespace orx {
class ArchiveImage;
class BlockSummaryBuilder;
struct BlockSummary;
class TForm2;
} // namespace orx

namespace orx::ui {

class ArchiveTableModel;
class DataSource;
class DBGrid;
class HelpViewer;
class TForm3;
class TForm4;
class Tform6;

inline constexpr const char* kSettingsOrganization = "Kelvarin";
inline constexpr const char* kSettingsApplication = "ORX";
inline constexpr const char* kSettingsGroup = "1.0";
inline constexpr const char* kValueDefaultDir = "Default_dir";
inline constexpr const char* kValueTable1 = "Table_1";

class TForm1 : public QMainWindow, public DownloadHost
{
    Q_OBJECT
public:
    explicit TForm1(ArchiveImage& image, QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs created after the main window.
    void setForms(TForm2* form2, TForm3* form3, TForm4* form4, Tform6* form6);

    // Document state.
    bool DocumentOpen = false;
    bool DocumentModified = false;
    ArchiveTable Dbf1;
    DataSource* DataSource1 = nullptr;
    QString defaultDir() const { return m_defaultDir; }
    QString helpFile() const { return m_helpFile; }

    // Components, by the names the commands use.
    QTabWidget* PageControl1 = nullptr;
    std::array<DBGrid*, 21> grids{}; // DBGridPro2 .. DBGridPro22, by tab
    DBGrid* DBGridPro2 = nullptr;    // the "Оперативный" grid
    QToolBar* ToolBar1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *N2 = nullptr, *N3 = nullptr, *N4 = nullptr, *N5 = nullptr, *N7 = nullptr,
            *N8 = nullptr, *N9 = nullptr, *N11 = nullptr, *N23 = nullptr, *N33 = nullptr,
            *N21 = nullptr, *Excel1 = nullptr, *N37 = nullptr, *N15 = nullptr, *N24 = nullptr,
            *N26 = nullptr;
    // Pop-up items: "График", "Печать", "Выровнять столбцы", "Удалить".
    QAction *N16 = nullptr, *N22 = nullptr, *N31 = nullptr, *N32 = nullptr;
    std::array<QToolButton*, 6> toolButtons{}; // ToolButton1 .. ToolButton6
    HelpViewer* helpViewer() const { return m_help; }
    // The status line under the tabs: the current tab's summary once counted.
    QLabel* statusLine() const { return m_statusLine; }
    bool summaryReady() const { return !m_summary && !m_summaryTimer.isActive(); }

    // Opens a table named from outside (the command line, a dropped file)
    // the way "Открыть" opens the file chosen in its dialog.
    void openFromOutside(const QString& path);

    // Start-up and closing.
    void FormCreate();
    void FormClose();

    // Commands.
    void N2Click();  // "Создать"
    void N3Click();  // "Открыть"
    void N4Click();  // "Дополнить"
    void N5Click();  // "Сохранить"
    void N7Click();  // "Закрыть"
    void N8Click();  // "Предварительный просмотр"
    void N9Click();  // "Печать"
    void N11Click(); // "Выход"
    void N15Click(); // "Построить график", "График"
    void N21Click(); // "Удалить строки", "Удалить"
    void N22Click(); // "Печать" of the pop-up menu
    void N23Click(); // "Выровнять столбцы"
    void N24Click(); // "Помощь"
    void N26Click(); // "О программе"
    void N33Click(); // "Убрать сортировку"
    void N37Click(); // "Перенумеровать строки"
    void Excel1Click();
    void ToolButton6Click();

    // The document.
    void Open_DB(const QString& path);
    void Create_DB(const QString& path);
    void Save_DB();
    void Close_DB();
    void enable_button();
    void disable_button();

    // The tabbed view.
    void PageControl1Change();
    void tab_vis_en();
    void tab_vis_dis();
    void RestoreGridLayout(const QString& valueName, DBGrid* grid);
    void SaveGridLayout(const QString& valueName, DBGrid* grid);
    void EqualizeColumns(DBGrid* grid);
    void ResetSort();
    void DBGridPro2SelectionChange() {}
    // A title click changed a column's sort mark: the table takes that order.
    void DBGridPro1TitleStateChange(DBGrid* grid, int column);

    // The tab whose block is shown: -1 while no tab is shown.
    int currentTab() const;
    DBGrid* currentGrid() const;

    // DownloadHost: the download dialog shows tabs while it receives.
    void makeTabVisible(int tab) override;
    void showPageControl() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createTabs();
    void setBackground(bool documentShown);
    void setTitle(const QString& title);
    void gridRowChanged(DBGrid* grid, int row);
    void titleClicked(DBGrid* grid, int column);
    void showCursorInGrid();
    bool postEdit();
    void finishEdits(bool keep);
    QString dialogFolder() const;
    bool anyTabVisible() const;
    void restartSummary();
    void summaryStep();

    ArchiveImage& m_image;
    TForm2* m_form2 = nullptr;
    TForm3* m_form3 = nullptr;
    TForm4* m_form4 = nullptr;
    Tform6* m_form6 = nullptr;
    QSettings* m_settings = nullptr;
    QWidget* m_client = nullptr;
    HelpViewer* m_help = nullptr;
    std::array<ArchiveTableModel*, 21> m_models{};
    QString m_defaultDir;
    QString m_dialogDir; // the folder both dialogs start in, as read at start
    QString m_helpFile;
    bool m_quitting = false;
    QLabel* m_statusLine = nullptr;
    std::unique_ptr<BlockSummaryBuilder> m_summary;
    QTimer m_summaryTimer;
};

} // namespace orx::ui
