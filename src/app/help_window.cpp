#include "app/help_window.h"

#include "app/help_topics.h"
#include "platform/prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
// A help file larger than this is not ours; it is refused rather than read whole.
constexpr qint64 MaxHelpFileBytes = 8 * 1024 * 1024;
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Medrova Help"));
    auto* layout = new QVBoxLayout(this);
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(false);
    m_browser->setOpenLinks(true);
    layout->addWidget(m_browser);
    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    connect(contents, &QPushButton::clicked, this, [this] { showTopic(HelpContext::Contents); });
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    resize(640, 560);
}

bool THelpWindow::load()
{
    // Read again when the file changed (or the program directory did), else keep the copy.
    const QFileInfo info(HelpFile::path());
    if (!m_html.isEmpty() && info.filePath() == m_loadedFrom && info.lastModified() == m_loadedStamp &&
        info.size() == m_loadedSize)
        return true;
    m_html.clear();
    QFile f(HelpFile::path());
    if (!f.open(QIODevice::ReadOnly) || f.size() > MaxHelpFileBytes) {
        Prompter::current().warning(QStringLiteral("Unable to open the help file %1")
                                        .arg(QDir::toNativeSeparators(HelpFile::path())));
        return false;
    }
    m_html = QString::fromUtf8(f.readAll());
    m_loadedFrom = info.filePath();
    m_loadedStamp = info.lastModified();
    m_loadedSize = info.size();
    m_browser->setHtml(m_html);
    return true;
}

bool THelpWindow::showTopic(int context)
{
    if (!load())
        return false;
    bool found = HelpFile::hasTopic(m_html, context);
    if (!found) {
        Prompter::current().warning(QStringLiteral("Help topic %1 is not in the help file.").arg(context));
        context = HelpContext::Contents;
    }
    m_topic = context;
    show();
    raise();
    activateWindow();
    m_browser->scrollToAnchor(HelpFile::anchor(context));
    return found;
}

THelpWindow* THelpWindow::instance()
{
    static QPointer<THelpWindow> window;
    if (!window)
        window = new THelpWindow;
    return window;
}

void showHelpTopic(int context) { THelpWindow::instance()->showTopic(context); }
