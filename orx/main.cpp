// orx: the ВЕЛАРИ-5 program with its windows.

#include "ui/Program.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
#ifdef SIGXFSZ
    // A file-size limit then shows as a failed write, reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    orx::ui::installRussianTranslations(app);
    orx::ui::Program program;
    program.showSplash();
    program.showMain();
    program.openArguments(QApplication::arguments());
    return app.exec();
}
