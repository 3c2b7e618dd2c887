#include "macro/paste_macro_form.h"

#include "app/window_placement_widget.h"
#include "platform/note_editor.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString PositionSection = QStringLiteral("PartialMacroPositon");
constexpr int MinimumWidth = 327;
} // namespace

TPasteMacroForm::TPasteMacroForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("PasteMacroForm"));
    setWindowTitle(QStringLiteral("Run Selected Macro Part"));
    setMinimumWidth(MinimumWidth);
    resize(460, 420);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl"));
    // Qt's tab bar keeps one row; scroll buttons reach the pages that do not fit.
    m_pages->tabBar()->setUsesScrollButtons(true);
    m_pages->tabBar()->setExpanding(false);
    m_pages->tabBar()->setDrawBase(false);
    m_pages->setStyleSheet(QStringLiteral("QTabBar::tab:hover { text-decoration: underline; }"));
    layout->addWidget(m_pages, 1);

    auto* buttons = new QHBoxLayout;
    auto add = [&](const char* name, const QString& caption, void (TPasteMacroForm::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
    };
    add("BtnTransfer", QStringLiteral("Run &Selected Part"), &TPasteMacroForm::BtnTransferClick);
    add("BtnCloseTab", QStringLiteral("&Close Active Tab"), &TPasteMacroForm::BtnCloseTabClick);
    add("BtnHidePage", QStringLiteral("&Hide Page"), &TPasteMacroForm::BtnHidePageClick);
    layout->addLayout(buttons);

    WindowPlacementWidget::restore(this, PositionSection, true);
}

TPasteMacroForm::~TPasteMacroForm() { WindowPlacementWidget::save(this, PositionSection); }

void TPasteMacroForm::NewMacroPage(const QString& caption, const QString& macroText, const QString& fontName,
                                   int fontSize)
{
    auto* editor = new NoteEditor;
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor->setAcceptRichText(false);
    editor->setDefaultFontName(fontName);
    editor->setDefaultFontSize(fontSize > 0 ? fontSize : 12);
    const int index = m_pages->addTab(editor, caption);
    m_pages->setCurrentIndex(index);
    editor->clear();
    editor->setPlainText(macroText);
    editor->setModified(false);
}

void TPasteMacroForm::clearAndHide()
{
    while (m_pages->count() > 0) {
        QWidget* page = m_pages->widget(0);
        m_pages->removeTab(0);
        delete page;
    }
    hide();
}

int TPasteMacroForm::pageCount() const { return m_pages->count(); }

NoteEditor* TPasteMacroForm::pageEditor(int index) const { return qobject_cast<NoteEditor*>(m_pages->widget(index)); }

QString TPasteMacroForm::selectedPart() const
{
    NoteEditor* editor = pageEditor(m_pages->currentIndex());
    if (!editor)
        return QString();
    QString text = editor->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void TPasteMacroForm::BtnTransferClick()
{
    if (pageCount() == 0)
        return;
    Q_EMIT runRequested(selectedPart());
}

void TPasteMacroForm::BtnCloseTabClick()
{
    const int index = m_pages->currentIndex();
    if (index < 0)
        return;
    QWidget* page = m_pages->widget(index);
    m_pages->removeTab(index);
    delete page;
}

void TPasteMacroForm::BtnHidePageClick() { hide(); }

void TPasteMacroForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        setMaximumSize(s->availableGeometry().size());
}
