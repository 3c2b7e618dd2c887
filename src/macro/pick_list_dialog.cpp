#include "macro/pick_list_dialog.h"

#include "app/window_placement_widget.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>

namespace {
const QString PositionSection = QStringLiteral("MenuPosition");
constexpr int DialogWidth = 314;
constexpr int TitleBarAllowance = 27; // 230-pixel window = 203-pixel client area at design
constexpr int ItemHeight = 16;

const QString ListHint = QStringLiteral("Double click to pick one item.\r\n\r\nTo pick more than one item:\r\n"
                                        "Hold down CTRL ket and single click\r\nRight click for menu to paste choices");

QString displayHint(QString hint)
{
    hint.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return hint;
}
} // namespace

TDlgMenu::TDlgMenu(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("DlgMenu"));
    setWindowTitle(QStringLiteral("Select"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBoxSelect"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformItemSizes(true);
    QFont f = m_list->font();
    f.setPixelSize(13);
    m_list->setFont(f);
    m_list->setProperty("hint", ListHint);
    m_list->setToolTip(displayHint(ListHint));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->installEventFilter(this);
    layout->addWidget(m_list);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("ParseMenuPopup"));
    auto entry = [this](PickAction::Kind kind, const QString& name, const QString& caption, const QString& keys) {
        auto* a = new QAction(caption, this);
        a->setObjectName(name);
        if (!keys.isEmpty()) {
            a->setShortcut(QKeySequence(keys));
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(a); // the shortcut works while the dialog has the focus, menu closed
        }
        m_popup->addAction(a);
        m_actions.insert(int(kind), a);
        return a;
    };
    connect(entry(PickAction::Kind::Cancel, QStringLiteral("MenuItemCancel"), QStringLiteral("&Cancel Macro"), {}),
            &QAction::triggered, this, [this] { report(PickAction::cancel()); });
    connect(entry(PickAction::Kind::Skip, QStringLiteral("MenuItemSkip"), QStringLiteral("&Skip These Choices"),
                  QStringLiteral("Ctrl+Alt+X")),
            &QAction::triggered, this, [this] { report(PickAction::skip()); });
    connect(entry(PickAction::Kind::PasteInLine, QStringLiteral("PasteMultiple1"),
                  QStringLiteral("Paste Selections In A Line"), QStringLiteral("Ctrl+Alt+V")),
            &QAction::triggered, this, [this] { pasteEntry(PickAction::Kind::PasteInLine); });
    connect(entry(PickAction::Kind::PastePerLine, QStringLiteral("PasteOnePerLine"),
                  QStringLiteral("Paste One Item Per Line"), {}),
            &QAction::triggered, this, [this] { pasteEntry(PickAction::Kind::PastePerLine); });
    connect(entry(PickAction::Kind::PasteEveryOtherLine, QStringLiteral("PasteOneEveryOtherLine1"),
                  QStringLiteral("Paste One Item Every Other Line"), {}),
            &QAction::triggered, this, [this] { pasteEntry(PickAction::Kind::PasteEveryOtherLine); });

    connect(m_list, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_popup->popup(m_list->viewport()->mapToGlobal(at)); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, &TDlgMenu::ListBoxSelectDblClick);

    setFixedSize(DialogWidth, heightFor(0, 0) - TitleBarAllowance);
    WindowPlacementWidget::restore(this, PositionSection, true);
}

TDlgMenu::~TDlgMenu() { WindowPlacementWidget::save(this, PositionSection); }

int TDlgMenu::heightFor(int items, int mainWindowHeight)
{
    int h = 230;
    if (items > 12)
        h = 15 * (items - 12) + 230;
    if (mainWindowHeight > 0 && h > mainWindowHeight - 100)
        h = mainWindowHeight - 100;
    return qMax(h, TitleBarAllowance + 2 * ItemHeight);
}

QAction* TDlgMenu::menuAction(PickAction::Kind kind) const { return m_actions.value(int(kind)); }

void TDlgMenu::ShowTheList(const PickRequest& request)
{
    QList<int> keep;
    if (request.repeated)
        keep = selectedRows();
    m_list->clear();
    m_list->setSelectionMode(request.multiSelect ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
    for (const QString& text : request.items) {
        auto* item = new QListWidgetItem(text, m_list);
        item->setSizeHint(QSize(0, ItemHeight));
    }
    for (int row : keep)
        if (row >= 0 && row < m_list->count())
            m_list->item(row)->setSelected(true);
    setWindowTitle(request.caption.isEmpty() ? QStringLiteral("Select") : request.caption);
    m_waiting = true;
    FormShow();
    show();
    raise();
    activateWindow();
    m_list->setFocus();
}

void TDlgMenu::FormShow()
{
    const int mainHeight = parentWidget() ? parentWidget()->height() : 0;
    setFixedSize(DialogWidth, heightFor(m_list->count(), mainHeight) - TitleBarAllowance);
}

QList<int> TDlgMenu::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedIndexes())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TDlgMenu::ListBoxSelectDblClick()
{
    const int current = m_list->currentRow();
    if (current < 0)
        return;
    report(PickAction::doubleClick(current, selectedRows()));
}

void TDlgMenu::pasteEntry(PickAction::Kind kind)
{
    report(PickAction::paste(kind, selectedRows(), m_list->currentRow()));
}

void TDlgMenu::report(const PickAction& action)
{
    // One action per list: a second click or the close box after a pick reports nothing.
    if (!m_waiting)
        return;
    m_waiting = false;
    hide();
    Q_EMIT actionChosen(action);
}

void TDlgMenu::closeEvent(QCloseEvent* event)
{
    report(PickAction::close());
    event->accept();
}

void TDlgMenu::reject()
{
    // Escape is the close box.
    report(PickAction::close());
    QDialog::reject();
}

bool TDlgMenu::eventFilter(QObject* watched, QEvent* event)
{
    // The list takes Ctrl+Alt+letter as typed text for its keyboard search; the menu's
    // shortcuts must win over that.
    if (watched == m_list && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (QAction* a : std::as_const(m_actions)) {
            if (a->shortcut().isEmpty() || a->shortcut() != pressed)
                continue;
            event->accept();
            if (event->type() == QEvent::KeyPress)
                a->trigger();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TDlgMenu::keyPressEvent(QKeyEvent* event)
{
    // Enter picks the current item, as a double click does; it never closes the list empty.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        ListBoxSelectDblClick();
        return;
    }
    QDialog::keyPressEvent(event);
}
