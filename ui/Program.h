#pragma once

// The program's start: the application title, Qt's Russian translations,
// the six windows created in their order, the splash, then the main window.

#include "archive/ArchiveImage.h"

#include <QStringList>

class QApplication;
class QTranslator;

namespace orx {
class TForm2;
}

namespace orx::ui {

class TForm1;
class TForm3;
class TForm4;
class TForm5;
class Tform6;

// Loads Qt's own Russian texts for the standard dialogs and buttons.
void installRussianTranslations(QApplication& app);

class Program
{
public:
    // Creates TForm1 (whose FormCreate runs now, hidden), TForm2, TForm3,
    // TForm4, TForm5 and Tform6.
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Shows the splash modally until its timer closes it, then destroys it.
    void showSplash();
    // Shows the main window maximised.
    void showMain();
    // A table named on the command line ("orx FILE.db") opens as "Открыть" would.
    void openArguments(const QStringList& arguments);

    ArchiveImage image;
    TForm1* Form1 = nullptr;
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm5* Form5 = nullptr;
    Tform6* form6 = nullptr;
};

} // namespace orx::ui
