// The real program window on a real X server (xcb under Xvfb): "Создать"
// through Qt's own file dialog with the path typed into it, the real
// download dialog talking to velari-sim, and the table written checked
// record by record against one decoded from the same archive image.
// With ORX_SCREENSHOT_DIR set it also leaves pictures of what a person sees.

#include "archive/ArchiveImage.h"
#include "archive/ArchiveJobs.h"
#include "tests/SimProcess.h"
#include "tests/TestSupport.h"
#include "ui/DBGrid.h"
#include "ui/HelpViewer.h"
#include "ui/Program.h"
#include "ui/about.h"
#include "ui/main.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <iterator>

using namespace orx;
using namespace orx::test;

namespace {

void screenshot(const char* name)
{
    const QByteArray dir = qgetenv("ORX_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromUtf8(dir) + "/" + name);
}

std::vector<std::uint8_t> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(RealDisplay, CreateThroughTheRealDialogs)
{
    ASSERT_EQ(QGuiApplication::platformName(), QString("xcb"));
    TempDir tmp;
    const std::string saved = tmp.path("served.img");
    // Paced at the real 9600 bit/s, so the download dialog is seen receiving.
    SimProcess sim({"--operational", "40", "--observations", "5", "--records", "30",
                    "--save-image", saved, "--pace"});
    qputenv("ORX_COM1", sim.device().c_str());
    qputenv("ORX_COM2", tmp.path("none").c_str());

    ui::Program program;
    QTimer::singleShot(1000, [] { screenshot("splash.png"); });
    program.showSplash();
    program.showMain();
    ui::TForm1* form = program.Form1;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    screenshot("main-empty.png");

    const std::string path = tmp.path("from the instrument.db");
    bool typed = false;
    bool dialogSeen = false;
    int confirmTicks = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            auto* name = files->findChild<QLineEdit*>("fileNameEdit");
            if (!name || !name->isVisible())
                return;
            if (!typed) {
                typed = true;
                name->setFocus();
                name->selectAll();
                QTest::keyClicks(name, QString::fromStdString(path));
                QTest::keyClick(name, Qt::Key_Return);
                return;
            }
            // Still open: a completion list may have taken the Return key, or the
            // folder was still being read. Confirm with the dialog's own button.
            if (++confirmTicks % 10 != 0)
                return;
            if (QCompleter* c = name->completer(); c && c->popup())
                c->popup()->hide();
            if (name->text() != QString::fromStdString(path))
                name->setText(QString::fromStdString(path));
            auto* box = files->findChild<QDialogButtonBox*>("buttonBox");
            if (QPushButton* save = box ? box->button(QDialogButtonBox::Save) : nullptr)
                save->click();
        } else if (modal && modal->windowTitle() == QString("Прием данных") && !dialogSeen) {
            dialogSeen = true;
            QTimer::singleShot(1500, [] { screenshot("download-dialog.png"); });
        }
    });
    driver.start(50);
    // Should a dialog never close, the test ends with a failure instead of waiting for ever.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QString stuck;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            stuck = QString::fromLatin1(d->metaObject()->className()) + " " + d->windowTitle();
            d->reject();
        }
    });
    watchdog.start(60000);
    QTest::keyClick(form, Qt::Key_N, Qt::ControlModifier);
    driver.stop();
    ASSERT_TRUE(watchdog.isActive()) << "a dialog did not close: " << stuck.toStdString()
                                     << (typed ? ", the path was typed" : "");

    ASSERT_TRUE(typed) << "the file dialog did not come";
    EXPECT_TRUE(dialogSeen);
    ASSERT_TRUE(form->DocumentOpen);
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);
    EXPECT_EQ(form->currentGrid()->model()->rowCount(), 40);
    QTest::qWait(200);
    screenshot("main-window.png");
    // The about dialog and the help, as a person sees them.
    QTimer::singleShot(300, [&program] {
        screenshot("about.png");
        program.form6->Button1->click();
    });
    form->N26->trigger();
    EXPECT_EQ(program.form6->result(), 1);
    form->N24->trigger();
    ASSERT_TRUE(form->helpViewer());
    QTest::qWait(300);
    screenshot("help.png");
    form->helpViewer()->close();
    form->N7->trigger();

    // Record for record what the decoder makes of the image the instrument served.
    ArchiveImage image;
    image.assign(fileBytes(saved));
    ArchiveTable reference;
    createTableFromArchive(reference, tmp.path("reference.db"), image);
    reference.close();
    const std::string ours = readFile(path);
    const std::string theirs = readFile(tmp.path("reference.db"));
    ASSERT_EQ(ours.size(), theirs.size());
    constexpr std::size_t kHeader = 4129, kRecord = 761;
    EXPECT_EQ(ours.substr(4, 4), theirs.substr(4, 4)); // the record count
    const std::size_t records = (ours.size() - kHeader) / kRecord;
    EXPECT_EQ(records, 40u + 5 * 30);
    for (std::size_t r = 0; r < records; ++r)
        ASSERT_EQ(ours.substr(kHeader + r * kRecord, kRecord),
                  theirs.substr(kHeader + r * kRecord, kRecord))
            << "record " << r;
    form->close();
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    TempDir config;
    qputenv("XDG_CONFIG_HOME", config.dir().c_str());
    QApplication app(argc, argv);
    ui::installRussianTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
