#include "platform/note_editor.h"

#include "platform/rich_text_format.h"
#include "platform/rich_text_reader.h"
#include "platform/rich_text_writer.h"
#include "platform/safe_save.h"

#include <QEvent>
#include <QFile>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QUrl>
#include <QUuid>

namespace {

// Images live in their document's resources: a copy into another document takes them along,
// under fresh names so they cannot clash with images already there.
void carryImages(const QTextDocument& from, QTextDocument& to, bool rename)
{
    QTextCursor c(&to);
    for (QTextBlock b = to.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.charFormat().isImageFormat())
                continue;
            QTextImageFormat f = frag.charFormat().toImageFormat();
            const QVariant res = from.resource(QTextDocument::ImageResource, QUrl(f.name()));
            if (!res.isValid())
                continue;
            if (rename) {
                f.setName(QStringLiteral("note-image:") + QUuid::createUuid().toString(QUuid::WithoutBraces));
                c.setPosition(frag.position());
                c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
                c.setCharFormat(f);
            }
            to.addResource(QTextDocument::ImageResource, QUrl(f.name()), res);
        }
    }
}

} // namespace

NoteEditor::NoteEditor(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    setTabChangesFocus(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    keepSelectionVisible();
}

const QStringList& NoteEditor::rtfMimeTypes()
{
    static const QStringList types{QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                   QStringLiteral("text/richtext")};
    return types;
}

// ---- files and streams ------------------------------------------------------------------------

QByteArray NoteEditor::rtf() const
{
    return RtfWriter::write(*document());
}

void NoteEditor::setRtf(const QByteArray& bytes)
{
    RtfReader::read(bytes, document());
    document()->clearUndoRedoStacks();
    document()->setModified(false);
}

bool NoteEditor::loadFromStream(QIODevice* device)
{
    QTextDocument* doc = document();
    if (!RtfReader::read(device, doc))
        return false;
    doc->clearUndoRedoStacks();
    doc->setModified(false);
    moveCursor(QTextCursor::Start);
    return true;
}

bool NoteEditor::loadFromFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return loadFromStream(&f);
}

bool NoteEditor::saveToStream(QIODevice* device) const
{
    return RtfWriter::write(*document(), device);
}

bool NoteEditor::saveToFile(const QString& path) const
{
    return SafeSave::save(path, rtf());
}

// ---- character attributes ---------------------------------------------------------------------

void NoteEditor::merge(const QTextCharFormat& format)
{
    mergeCurrentCharFormat(format);
}

QString NoteEditor::selectionFontName() const
{
    const QTextCharFormat f = currentCharFormat();
    const QStringList fams = f.fontFamilies().toStringList();
    if (!fams.isEmpty())
        return fams.first();
    if (f.hasProperty(QTextFormat::FontFamily))
        return f.stringProperty(QTextFormat::FontFamily);
    return defaultFontName();
}

void NoteEditor::setSelectionFontName(const QString& name)
{
    QTextCharFormat f;
    f.setFontFamilies({name});
    merge(f);
}

qreal NoteEditor::selectionFontSize() const
{
    const QTextCharFormat f = currentCharFormat();
    return f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0 ? f.fontPointSize()
                                                                                : defaultFontSize();
}

void NoteEditor::setSelectionFontSize(qreal points)
{
    if (points <= 0)
        return;
    QTextCharFormat f;
    f.setFontPointSize(points);
    merge(f);
}

bool NoteEditor::selectionBold() const
{
    const QTextCharFormat f = currentCharFormat();
    return f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold
                                                  : document()->defaultFont().weight() >= QFont::DemiBold;
}

void NoteEditor::setSelectionBold(bool on)
{
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    merge(f);
}

bool NoteEditor::selectionItalic() const { return currentCharFormat().fontItalic(); }

void NoteEditor::setSelectionItalic(bool on)
{
    QTextCharFormat f;
    f.setFontItalic(on);
    merge(f);
}

bool NoteEditor::selectionUnderline() const { return currentCharFormat().fontUnderline(); }

void NoteEditor::setSelectionUnderline(bool on)
{
    QTextCharFormat f;
    f.setFontUnderline(on);
    merge(f);
}

QColor NoteEditor::selectionColor() const
{
    const QBrush b = currentCharFormat().foreground();
    return b.style() == Qt::NoBrush ? palette().color(QPalette::Text) : b.color();
}

void NoteEditor::setSelectionColor(const QColor& colour)
{
    QTextCharFormat f;
    f.setForeground(colour);
    merge(f);
}

int NoteEditor::selectionOffset() const { return RichText::verticalOffset(currentCharFormat()); }

void NoteEditor::setSelectionOffset(int twips)
{
    // Only the offset changes; the shift shown on screen follows the text's own size.
    QTextCharFormat f;
    RichText::setVerticalOffset(f, twips, selectionFontSize());
    merge(f);
}

QString NoteEditor::defaultFontName() const
{
    const QFont f = document()->defaultFont();
    return f.families().isEmpty() ? f.family() : f.families().first();
}

void NoteEditor::setDefaultFontName(const QString& name)
{
    QFont f = document()->defaultFont();
    f.setFamilies({name});
    document()->setDefaultFont(f);
    setSelectionFontName(name);
}

qreal NoteEditor::defaultFontSize() const
{
    const QFont f = document()->defaultFont();
    return f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() * 0.75;
}

void NoteEditor::setDefaultFontSize(qreal points)
{
    if (points <= 0)
        return;
    QFont f = document()->defaultFont();
    f.setPointSizeF(points);
    document()->setDefaultFont(f);
    setSelectionFontSize(points);
}

// ---- paragraphs -------------------------------------------------------------------------------

Qt::Alignment NoteEditor::paragraphAlignment() const
{
    return textCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask;
}

void NoteEditor::setParagraphAlignment(Qt::Alignment alignment)
{
    setAlignment(alignment);
}

bool NoteEditor::hasBullets() const
{
    const QTextList* list = textCursor().currentList();
    if (!list)
        return false;
    const auto style = list->format().style();
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
           style == QTextListFormat::ListSquare;
}

void NoteEditor::setBullets(bool on)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    if (on) {
        if (!hasBullets()) {
            QTextListFormat lf;
            lf.setStyle(QTextListFormat::ListDisc);
            lf.setIndent(1);
            c.createList(lf);
        }
    } else {
        const QTextBlock first = document()->findBlock(c.selectionStart());
        const QTextBlock last = document()->findBlock(c.selectionEnd());
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            if (QTextList* list = b.textList()) {
                list->remove(b);
                QTextCursor bc(b);
                QTextBlockFormat bf = b.blockFormat();
                bf.setIndent(0);
                bc.setBlockFormat(bf);
            }
            if (b == last)
                break;
        }
    }
    c.endEditBlock();
}

// ---- find -------------------------------------------------------------------------------------

int NoteEditor::findText(const QString& text, int from, int to, bool matchCase, bool wholeWord) const
{
    if (text.isEmpty())
        return -1;
    QTextDocument::FindFlags flags;
    if (matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (wholeWord)
        flags |= QTextDocument::FindWholeWords;
    const QTextCursor found = document()->find(text, qMax(0, from), flags);
    if (found.isNull() || (to >= 0 && found.selectionEnd() > to))
        return -1;
    return found.selectionStart();
}

bool NoteEditor::isModified() const { return document()->isModified(); }

void NoteEditor::setModified(bool modified) { document()->setModified(modified); }

// ---- clipboard --------------------------------------------------------------------------------

QMimeData* NoteEditor::createMimeDataFromSelection() const
{
    const QTextCursor c = textCursor();
    auto* mime = new QMimeData;
    if (!c.hasSelection())
        return mime;
    QTextDocument copy;
    copy.setDefaultFont(document()->defaultFont());
    QTextCursor(&copy).insertFragment(QTextDocumentFragment(c));
    carryImages(*document(), copy, false);
    const QByteArray rtfBytes = RtfWriter::write(copy);
    for (const QString& type : rtfMimeTypes())
        mime->setData(type, rtfBytes);
    mime->setHtml(copy.toHtml());
    mime->setText(c.selection().toPlainText());
    return mime;
}

bool NoteEditor::canInsertFromMimeData(const QMimeData* source) const
{
    for (const QString& type : rtfMimeTypes())
        if (source->hasFormat(type))
            return true;
    return QTextEdit::canInsertFromMimeData(source);
}

void NoteEditor::insertFromMimeData(const QMimeData* source)
{
    for (const QString& type : rtfMimeTypes()) {
        if (!source->hasFormat(type))
            continue;
        const QByteArray bytes = source->data(type);
        if (!RtfReader::isRtf(bytes))
            continue;
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        RtfReader::read(bytes, &pasted);
        // Rename in the pasted copy, then register under the new names in this document.
        QTextDocument staged;
        staged.setDefaultFont(document()->defaultFont());
        QTextCursor(&staged).insertFragment(QTextDocumentFragment(&pasted));
        carryImages(pasted, staged, true);
        textCursor().insertFragment(QTextDocumentFragment(&staged));
        carryImages(staged, *document(), false);
        ensureCursorVisible();
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

// ---- look -------------------------------------------------------------------------------------

void NoteEditor::keepSelectionVisible()
{
    // The selection stays visible while another control has the focus (find dialog, toolbar).
    m_adjustingPalette = true;
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    m_adjustingPalette = false;
}

void NoteEditor::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) && !m_adjustingPalette)
        keepSelectionVisible();
}
