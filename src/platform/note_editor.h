#pragma once
// The rich-text editor of a note: a QTextEdit that loads and saves RTF, exposes the character
// and paragraph attributes the note commands set, and exchanges RTF, HTML and text by clipboard.

#include <QTextEdit>

class QIODevice;

class NoteEditor : public QTextEdit {
    Q_OBJECT
public:
    explicit NoteEditor(QWidget* parent = nullptr);

    // RTF in and out; loading also accepts plain text. Loading leaves the editor unmodified
    // with no undo history. False when the file or device cannot be read or written.
    bool loadFromFile(const QString& path);
    bool saveToFile(const QString& path) const;
    bool loadFromStream(QIODevice* device);
    bool saveToStream(QIODevice* device) const;
    QByteArray rtf() const;
    void setRtf(const QByteArray& bytes);

    // The current text attributes: the selection's when there is one, otherwise those of the
    // text typed next.
    QString selectionFontName() const;
    void setSelectionFontName(const QString& name);
    qreal selectionFontSize() const;
    void setSelectionFontSize(qreal points);
    bool selectionBold() const;
    void setSelectionBold(bool on);
    bool selectionItalic() const;
    void setSelectionItalic(bool on);
    bool selectionUnderline() const;
    void setSelectionUnderline(bool on);
    QColor selectionColor() const;
    void setSelectionColor(const QColor& colour);
    // Vertical offset in twips, positive up.
    int selectionOffset() const;
    void setSelectionOffset(int twips);

    // The default attributes: those of text without its own formatting and of a new note.
    QString defaultFontName() const;
    void setDefaultFontName(const QString& name);
    qreal defaultFontSize() const;
    void setDefaultFontSize(qreal points);

    // For the paragraphs the selection touches.
    Qt::Alignment paragraphAlignment() const;
    void setParagraphAlignment(Qt::Alignment alignment);
    bool hasBullets() const;
    void setBullets(bool on);

    // The start of the first match that begins at or after `from` and ends at or before `to`
    // (-1: the end of the note), or -1. The selection is not changed.
    int findText(const QString& text, int from, int to, bool matchCase, bool wholeWord) const;

    bool isModified() const;
    void setModified(bool modified);

    // Qt always paints widgets through a back buffer, so there is never flicker to reduce;
    // the flag is kept for the setting that asks for it.
    bool isDoubleBuffered() const { return m_doubleBuffered; }
    void setDoubleBuffered(bool on) { m_doubleBuffered = on; }

    static const QStringList& rtfMimeTypes();

protected:
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void changeEvent(QEvent* event) override;

private:
    void keepSelectionVisible();
    void merge(const QTextCharFormat& format);
    bool m_doubleBuffered = false;
    bool m_adjustingPalette = false;
};
