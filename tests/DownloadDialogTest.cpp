// TForm2 on a real event loop (offscreen), talking to velari-sim.

#include "archive/ArchiveImage.h"
#include "device/receive.h"
#include "tests/SimProcess.h"
#include "ui/MessageBoxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace orx;
using namespace orx::test;

namespace {

class RecordedBoxes : public ui::MessageBoxes
{
public:
    std::vector<ui::MessageRequest> shown;
    QMessageBox::StandardButton show(QWidget*, const ui::MessageRequest& r) override
    {
        shown.push_back(r);
        return QMessageBox::Ok;
    }
};

class Host : public DownloadHost
{
public:
    std::vector<int> tabs;
    int pageControlShown = 0;
    void makeTabVisible(int tab) override { tabs.push_back(tab); }
    void showPageControl() override { ++pageControlShown; }
};

class Dialog : public ::testing::Test
{
protected:
    void SetUp() override { ui::setMessageBoxes(&boxes); }
    void TearDown() override { ui::setMessageBoxes(nullptr); }
    void ports(const std::string& com1, const std::string& com2)
    {
        qputenv("ORX_COM1", com1.c_str());
        qputenv("ORX_COM2", com2.c_str());
    }
    RecordedBoxes boxes;
    ArchiveImage image;
};

} // namespace

TEST_F(Dialog, DownloadShowsTheInstrumentAndEndsWithOk)
{
    SimProcess sim({"--operational", "12", "--observations", "2", "--records", "35", "--version", "15.03.07"});
    ports(sim.device(), "/nonexistent");
    Host host;
    TForm2 dialog(image);
    dialog.setHost(&host);
    EXPECT_EQ(dialog.windowTitle(), QString("Прием данных"));
    EXPECT_EQ(dialog.size(), QSize(490, 245));
    QString statusWhileWaiting;
    QTimer::singleShot(200, [&] { statusWhileWaiting = dialog.StaticText2->text(); });
    const int result = dialog.exec();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(statusWhileWaiting, QString("Идет прием информации ..."));
    EXPECT_EQ(dialog.StaticText5->text(), QString("ВЕЛАРИ-5"));
    EXPECT_EQ(dialog.StaticText1->text(), QString("15.03.07"));
    EXPECT_EQ(dialog.StaticText7->text(), QString("12//35//35/"));
    EXPECT_EQ(host.tabs, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(image.length(), 3u + 120 + 2 * (5 + 350));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Dialog, NotFoundMessageThenCancel)
{
    ports("/nonexistent1", "/nonexistent2");
    TForm2 dialog(image);
    EXPECT_EQ(dialog.exec(), 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QString("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
    EXPECT_EQ(boxes.shown[0].caption, QString("Ошибка"));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
}

TEST_F(Dialog, WrongInstrument)
{
    SimProcess sim({"--type", "6"});
    ports(sim.device(), "/nonexistent");
    TForm2 dialog(image);
    EXPECT_EQ(dialog.exec(), 2);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString("Вы подключили не тот прибор !"));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::Ok);
}

TEST_F(Dialog, StreamErrorKeepsTheDialogUntilCancel)
{
    SimProcess sim({"--bad-pair"});
    ports(sim.device(), "/nonexistent");
    const std::vector<std::uint8_t> previous = {0xCE, 0, 0};
    image.assign(previous);
    TForm2 dialog(image);
    bool openAfterError = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!boxes.shown.empty()) {
            poll.stop();
            QTimer::singleShot(100, [&] {
                openAfterError = dialog.isVisible();
                dialog.Button1->click();
            });
        }
    });
    poll.start(20);
    EXPECT_EQ(dialog.exec(), 2);
    EXPECT_TRUE(openAfterError);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QString("ВЕЛАРИ-5"));
    EXPECT_TRUE(boxes.shown[0].text.endsWith('.'));
    EXPECT_EQ(std::vector<std::uint8_t>(image.data(), image.data() + image.length()), previous);
}

TEST_F(Dialog, CancelWhileWaiting)
{
    SimProcess sim({"--silent"});
    ports(sim.device(), "/nonexistent");
    TForm2 dialog(image);
    QTimer::singleShot(300, [&] { dialog.Button1->click(); });
    EXPECT_EQ(dialog.exec(), 2);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(dialog.session().driver().IsConnected());
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
