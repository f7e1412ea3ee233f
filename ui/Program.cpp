#include "ui/Program.h"

#include "charts/graf.h"
#include "charts/param_graf.h"
#include "device/receive.h"
#include "ui/MessageBoxes.h"
#include "ui/about.h"
#include "ui/logo.h"
#include "ui/main.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

namespace orx::ui {

void installRussianTranslations(QApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ru", "qt_ru"}) {
        auto* t = new QTranslator(&app);
        if (t->load(QString::fromLatin1(name), folder))
            QApplication::installTranslator(t);
        else
            delete t;
    }
}

Program::Program()
{
    setApplicationTitle(QString::fromUtf8(kApplicationTitle));
    Form1 = new TForm1(image);
    Form2 = new TForm2(image, Form1);
    Form3 = new TForm3(Form1);
    Form4 = new TForm4(Form1);
    Form5 = new TForm5;
    form6 = new Tform6(Form1);
    Form1->setForms(Form2, Form3, Form4, form6);
}

Program::~Program()
{
    delete Form5;
    delete Form1; // owns the dialogs
}

void Program::showSplash()
{
    Form5->exec();
    delete Form5;
    Form5 = nullptr;
}

void Program::openArguments(const QStringList& arguments)
{
    // The first argument is the program itself; one more names a table.
    if (arguments.size() >= 2 && !arguments.at(1).isEmpty())
        Form1->openFromOutside(arguments.at(1));
}

void Program::showMain()
{
    // Without a window manager nothing maximises the window: start it at the
    // screen's size so it fills the screen either way.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        Form1->setGeometry(screen->availableGeometry());
    Form1->showMaximized();
}

} // namespace orx::ui
