#include "ui/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#ifndef ORX_HELP_DEFAULT_PATH
#define ORX_HELP_DEFAULT_PATH "/usr/share/orx/orx.html"
#endif

namespace orx::ui {

namespace {
constexpr const char* kHelpFileName = "orx.html";
}

QString defaultHelpPath() { return QString::fromUtf8(ORX_HELP_DEFAULT_PATH); }

QString helpBesideExecutable()
{
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(kHelpFileName);
    return QFileInfo::exists(path) ? path : QString();
}

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("Помощь - ВЕЛАРИ-5"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setAccessibleName(QStringLiteral("Помощь"));
    m_browser->setAccessibleName(QStringLiteral("Текст справки"));
    m_browser->setOpenExternalLinks(false);
    auto* contents = new QPushButton(QStringLiteral("Содержание"), this);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    connect(contents, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addLayout(buttons);
    resize(760, 600);
}

bool HelpViewer::showContents(const QString& helpFile)
{
    QFileInfo info(helpFile);
    if (!info.isFile() || !info.isReadable())
        return false;
    m_browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    m_browser->clearHistory();
    m_browser->scrollToAnchor(QStringLiteral("contents"));
    show();
    raise();
    activateWindow();
    return true;
}

} // namespace orx::ui
