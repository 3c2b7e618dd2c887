#pragma once
// TPasteMacroForm: "Run Selected Macro Part", a window of pages, each holding the macro of one
// presentation, from which the user selects a piece and runs just that piece. Created once at
// start-up and hidden until used; its pages stay while it is hidden.

#include <QWidget>

class NoteEditor;
class QPushButton;
class QTabWidget;

class TPasteMacroForm : public QWidget {
    Q_OBJECT
public:
    explicit TPasteMacroForm(QWidget* parent = nullptr);
    ~TPasteMacroForm() override;

    // A page captioned with the presentation's name, holding its macro text in the user's font.
    void NewMacroPage(const QString& caption, const QString& macroText, const QString& fontName, int fontSize);
    // Removes every page and hides the window.
    void clearAndHide();

    int pageCount() const;
    QTabWidget* pages() const { return m_pages; }
    NoteEditor* pageEditor(int index) const;
    // The selected text of the active page's editor (plain text, paragraphs as line feeds).
    QString selectedPart() const;

    void BtnTransferClick();
    void BtnCloseTabClick();
    void BtnHidePageClick();

Q_SIGNALS:
    // "Run &Selected Part": run this text.
    void runRequested(const QString& macroText);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTabWidget* m_pages = nullptr;
};
