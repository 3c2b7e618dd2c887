#pragma once
// TDlgMenu: the "Select" pick list a running macro shows. It shows the list it is given and
// reports what the user did (a double click, a paste entry, Skip, Cancel or the close box);
// turning that into pasted text and remembered choices is the interpreter's business.

#include "macro/pick_action.h"

#include <QDialog>

class QListWidget;
class QMenu;
class QAction;

class TDlgMenu : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` bounds the dialog's height and keeps the dialog above it.
    explicit TDlgMenu(QWidget* mainWindow);
    ~TDlgMenu() override;

    // Fills the list and shows the dialog without blocking. A repeated request keeps the
    // list's selection, so that a paste entry chosen with nothing selected can be retried.
    void ShowTheList(const PickRequest& request);

    // Window height for a list: 230 pixels up to 12 items, 15 more for each further item,
    // never more than the main window's height minus 100.
    static int heightFor(int items, int mainWindowHeight);

    QListWidget* ListBoxSelect() const { return m_list; }
    QMenu* ParseMenuPopup() const { return m_popup; }
    QAction* menuAction(PickAction::Kind kind) const;

Q_SIGNALS:
    // Emitted once per shown list; the dialog is hidden by then.
    void actionChosen(const PickAction& action);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report(const PickAction& action);
    void FormShow();
    void ListBoxSelectDblClick();
    void pasteEntry(PickAction::Kind kind);
    QList<int> selectedRows() const;

    QListWidget* m_list = nullptr;
    QMenu* m_popup = nullptr;
    QHash<int, QAction*> m_actions;
    bool m_waiting = false; // a list is shown and its action not yet reported
};
