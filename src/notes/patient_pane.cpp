#include "notes/patient_pane.h"

#include "app/help_topics.h"
#include "app/main_options.h"
#include "platform/prompter.h"
#include "store/data_module.h"
#include "store/table_model.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char* const HelpProperty = "helpContext";
const QString kSsMask = QStringLiteral("000\\-00\\-0000;1;_");

const QColor RowColour(0xBC, 0xFD, 0xB5);
const QColor AlternateRowColour(0xBC, 0xE4, 0xED);
const QColor ReminderColour(0xFF, 0xFF, 0xC8);

// Focus that comes and goes with the window's activation or a popup is not the user moving
// between fields.
bool movesBetweenFields(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

// A line edit whose keys and focus changes the pane handles first.
class HookedLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<bool(QKeyEvent*)> onKeyPress; // true: consumed
    std::function<void(QKeyEvent*)> onKeyRelease;
    std::function<void(Qt::FocusReason)> onFocusIn;
    std::function<void(Qt::FocusReason)> onFocusOut;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (onKeyPress && onKeyPress(e)) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override
    {
        QLineEdit::keyReleaseEvent(e);
        if (onKeyRelease)
            onKeyRelease(e);
    }
    void focusInEvent(QFocusEvent* e) override
    {
        QLineEdit::focusInEvent(e);
        if (onFocusIn)
            onFocusIn(e->reason());
    }
    void focusOutEvent(QFocusEvent* e) override
    {
        QLineEdit::focusOutEvent(e);
        if (onFocusOut)
            onFocusOut(e->reason());
    }
};

// One half of the patient grid. Tab out of a cell editor at the last name column of the frozen
// half goes on to the other half instead of wrapping to the next row.
class GridHalf : public QTableView {
public:
    using QTableView::QTableView;
    std::function<bool(QAbstractItemDelegate::EndEditHint)> onEditorClosed; // true: handled
    bool editorOpen() const { return state() == EditingState; }

protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        const bool moves = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
        if (moves && onEditorClosed) {
            QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
            onEditorClosed(hint);
            return;
        }
        QTableView::closeEditor(editor, hint);
    }
};

// The register's fields under the grid's column titles, and the grid's tooltip over its cells.
class TitledModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QString titles[] = {QStringLiteral("Last Name"), QStringLiteral("First Name"),
                                         QStringLiteral("SS Number")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
            return titles[section];
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::ToolTipRole)
            return TPatientPane::gridToolTip();
        return QIdentityProxyModel::data(index, role);
    }
};

QIcon navigatorIcon(NavigatorButton button)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (button) {
    case NavigatorButton::Insert:
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        break;
    case NavigatorButton::Delete:
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case NavigatorButton::Edit:
        p.setPen(QPen(Qt::black, 1.5));
        p.drawPolygon(QPolygonF({QPointF(8, 2.5), QPointF(14, 13.5), QPointF(2, 13.5)}));
        break;
    case NavigatorButton::Post:
        p.setPen(QPen(QColor(0, 128, 0), 2.2));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case NavigatorButton::Cancel:
        p.setPen(QPen(QColor(192, 0, 0), 2.2));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    return QIcon(pm);
}

bool editorOpen(const QTableView* view) { return static_cast<const GridHalf*>(view)->editorOpen(); }

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}
} // namespace

// ---- grid ------------------------------------------------------------------------------

PatientGrid::PatientGrid(QAbstractItemModel* model, QWidget* parent) : QFrame(parent), m_model(model)
{
    setObjectName(QStringLiteral("PatientGrid"));
    setFrameShape(QFrame::StyledPanel);
    auto* frozen = new GridHalf(this);
    auto* scroll = new GridHalf(this);
    m_frozen = frozen;
    m_scroll = scroll;
    m_frozen->setObjectName(QStringLiteral("PatientGridNames"));
    m_scroll->setObjectName(QStringLiteral("PatientGridScrolling"));

    QPalette pal = palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(g, QPalette::Base, RowColour);
        pal.setColor(g, QPalette::AlternateBase, AlternateRowColour);
        pal.setColor(g, QPalette::Highlight, Qt::white);
        pal.setColor(g, QPalette::HighlightedText, Qt::black);
    }
    const int rowHeight = fontMetrics().height() + 6;
    for (QTableView* v : {m_frozen, m_scroll}) {
        v->setModel(model);
        v->setPalette(pal);
        v->setFrameShape(QFrame::NoFrame);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setAlternatingRowColors(true);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setTabKeyNavigation(false);
        v->setWordWrap(false);
        v->verticalHeader()->hide();
        v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        v->verticalHeader()->setDefaultSectionSize(rowHeight);
        v->horizontalHeader()->setHighlightSections(false);
        v->horizontalHeader()->setSectionsMovable(false);
        v->installEventFilter(this);
    }
    QItemSelectionModel* unused = m_scroll->selectionModel();
    m_scroll->setSelectionModel(m_frozen->selectionModel());
    delete unused;

    m_frozen->setColumnHidden(SsColumn, true);
    m_scroll->setColumnHidden(0, true);
    m_scroll->setColumnHidden(1, true);
    m_frozen->setColumnWidth(0, 80);
    m_frozen->setColumnWidth(1, 74);
    m_scroll->horizontalHeader()->setMinimumSectionSize(85);
    m_scroll->horizontalHeader()->setStretchLastSection(true);
    m_scroll->setColumnWidth(SsColumn, 90);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_frozen->setFocusPolicy(Qt::StrongFocus);
    // Tab reaches the grid through its frozen half only.
    m_scroll->setFocusPolicy(Qt::ClickFocus);

    connect(m_frozen->verticalScrollBar(), &QScrollBar::valueChanged, m_scroll->verticalScrollBar(), &QScrollBar::setValue);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, m_frozen->verticalScrollBar(), &QScrollBar::setValue);
    // With a sideways scroll bar under the other half, the frozen half keeps the same height of rows.
    connect(m_scroll->horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int max) {
        m_frozen->setHorizontalScrollBarPolicy(max > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    });
    connect(m_scroll->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateSsEditor(); });
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateSsEditor(); });
    connect(m_scroll->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { updateSsEditor(); });
    connect(m_frozen->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { updateFrozenWidth(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        m_frozen->setColumnHidden(SsColumn, true);
        m_scroll->setColumnHidden(0, true);
        m_scroll->setColumnHidden(1, true);
    });

    frozen->onEditorClosed = [this](QAbstractItemDelegate::EndEditHint hint) {
        if (hint == QAbstractItemDelegate::EditNextItem)
            setCurrentColumn(m_column == 0 ? 1 : SsColumn);
        else if (m_column == 1)
            setCurrentColumn(0);
        else
            leaveGrid(false);
        return true;
    };

    connect(m_frozen->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (!current.isValid())
                    return;
                m_column = current.column();
                if (!m_syncing && hasFocusInside() && !m_ssEditor->hasFocus()) {
                    QTableView* want = m_column == SsColumn ? m_scroll : m_frozen;
                    if (!want->hasFocus() && !editorOpen(want))
                        want->setFocus(Qt::OtherFocusReason);
                }
                updateSsEditor();
                if (!m_syncing)
                    Q_EMIT rowChosen(current.row());
            });

    auto* ss = new HookedLineEdit(m_scroll->viewport());
    ss->setObjectName(QStringLiteral("SSNumEditor"));
    ss->setFrame(false);
    ss->hide();
    ss->onKeyPress = [this, ss](QKeyEvent* e) {
        switch (e->key()) {
        case Qt::Key_Tab:
            leaveGrid(true);
            return true;
        case Qt::Key_Backtab:
            setCurrentColumn(1);
            return true;
        case Qt::Key_Left:
            if (ss->cursorPosition() > 0 || ss->hasSelectedText())
                return false;
            setCurrentColumn(1);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            moveRow(e->key() == Qt::Key_Down ? 1 : -1);
            return true;
        default:
            return false;
        }
    };
    m_ssEditor = ss;

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_frozen);
    layout->addWidget(m_scroll, 1);
    updateFrozenWidth();

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget*) {
        updateHeaderFont();
        updateSsEditor();
    });
}

void PatientGrid::updateFrozenWidth()
{
    m_frozen->setFixedWidth(m_frozen->columnWidth(0) + m_frozen->columnWidth(1) + 2 * m_frozen->frameWidth());
}

bool PatientGrid::hasFocusInside() const
{
    const QWidget* f = QApplication::focusWidget();
    return f && (f == this || isAncestorOf(f));
}

void PatientGrid::updateHeaderFont()
{
    const bool bold = hasFocusInside();
    for (QTableView* v : {m_frozen, m_scroll}) {
        QFont f = v->horizontalHeader()->font();
        if (f.bold() != bold) {
            f.setBold(bold);
            v->horizontalHeader()->setFont(f);
        }
    }
}

void PatientGrid::showRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_syncing = true;
    const QModelIndex index = m_model->index(row, m_column);
    m_frozen->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_frozen->scrollTo(m_model->index(row, 0));
    m_syncing = false;
    updateSsEditor();
}

void PatientGrid::setCurrentColumn(int column)
{
    const QModelIndex current = m_frozen->selectionModel()->currentIndex();
    m_column = std::clamp(column, 0, SsColumn);
    if (current.isValid()) {
        m_syncing = true;
        m_frozen->selectionModel()->setCurrentIndex(m_model->index(current.row(), m_column),
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_syncing = false;
    }
    if (hasFocusInside())
        focusCurrentCell();
    else
        updateSsEditor();
}

void PatientGrid::focusCurrentCell()
{
    QTableView* view = m_column == SsColumn ? m_scroll : m_frozen;
    if (m_column != SsColumn)
        hideSsEditor();
    view->setFocus(Qt::OtherFocusReason);
    updateSsEditor();
}

void PatientGrid::setTabMovesBetweenColumns(bool on)
{
    m_frozen->setTabKeyNavigation(on);
    m_scroll->setTabKeyNavigation(on);
}

bool PatientGrid::tabMovesBetweenColumns() const { return m_frozen->tabKeyNavigation(); }

void PatientGrid::setEditing(bool editing)
{
    m_editing = editing;
    const auto triggers = editing ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                        QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                                  : QAbstractItemView::NoEditTriggers;
    m_frozen->setEditTriggers(triggers);
    updateSsEditor();
}

void PatientGrid::updateSsEditor()
{
    const QModelIndex current = m_frozen->selectionModel()->currentIndex();
    const bool wanted = m_editing && current.isValid() && current.column() == SsColumn && hasFocusInside();
    const QRect cell = wanted ? m_scroll->visualRect(current) : QRect();
    if (!wanted || cell.isEmpty()) {
        hideSsEditor();
        return;
    }
    m_ssEditor->setGeometry(cell);
    if (m_ssEditor->isHidden()) {
        m_ssEditor->setText(current.data(Qt::EditRole).toString());
        m_ssEditor->setCursorPosition(0); // typing over the mask from its first place
        m_ssEditor->show();
        Q_EMIT ssEditorShown();
    }
    m_ssEditor->raise();
    if (!m_ssEditor->hasFocus())
        m_ssEditor->setFocus(Qt::OtherFocusReason);
}

void PatientGrid::hideSsEditor()
{
    if (m_ssEditor->isHidden())
        return;
    const bool hadFocus = m_ssEditor->hasFocus();
    m_ssEditor->hide();
    if (hadFocus)
        (m_column == SsColumn ? m_scroll : m_frozen)->setFocus(Qt::OtherFocusReason);
}

void PatientGrid::commitCellEditor()
{
    // Taking the focus from an open cell editor makes its delegate write the value and close it.
    for (QTableView* v : {m_frozen, m_scroll}) {
        const QWidget* f = QApplication::focusWidget();
        if (editorOpen(v) && f && v->isAncestorOf(f))
            v->setFocus(Qt::OtherFocusReason);
    }
}

void PatientGrid::moveRow(int delta)
{
    const QModelIndex current = m_frozen->selectionModel()->currentIndex();
    if (!current.isValid())
        return;
    const int row = current.row() + delta;
    if (row < 0 || row >= m_model->rowCount())
        return;
    hideSsEditor();
    m_frozen->selectionModel()->setCurrentIndex(m_model->index(row, m_column),
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void PatientGrid::leaveGrid(bool forward)
{
    hideSsEditor();
    QWidget* w = this;
    for (int guard = 0; guard < 1000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == this)
            break;
        if (isAncestorOf(w) || !w->isEnabled() || !w->isVisible() || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return;
    }
}

bool PatientGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && watched == m_frozen && m_column == SsColumn) {
        m_scroll->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (event->type() != QEvent::KeyPress || (watched != m_frozen && watched != m_scroll))
        return QFrame::eventFilter(watched, event);
    auto* view = static_cast<QTableView*>(watched);
    if (editorOpen(view))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool tabs = view->tabKeyNavigation();
    if (watched == m_frozen) {
        switch (key->key()) {
        case Qt::Key_Right:
            if (m_column != 1)
                return false;
            setCurrentColumn(SsColumn);
            return true;
        case Qt::Key_Tab:
            if (!tabs)
                return false;
            setCurrentColumn(m_column + 1);
            return true;
        case Qt::Key_Backtab:
            if (!tabs)
                return false;
            if (m_column == 0)
                leaveGrid(false);
            else
                setCurrentColumn(m_column - 1);
            return true;
        default:
            return false;
        }
    }
    switch (key->key()) {
    case Qt::Key_Left:
    case Qt::Key_Backtab:
        if (key->key() == Qt::Key_Backtab && !tabs)
            return false;
        setCurrentColumn(1);
        return true;
    case Qt::Key_Tab:
        leaveGrid(true);
        return true;
    default:
        return false;
    }
}

// ---- pane ------------------------------------------------------------------------------

TPatientPane::TPatientPane(TDataModule1& dm, DefaultNoteDate& noteDate, QWidget* parent)
    : QWidget(parent),
      m_dm(dm),
      m_finder(std::make_unique<PatientFinder>(dm)),
      m_actions(std::make_unique<PatientActions>(dm, noteDate))
{
    setObjectName(QStringLiteral("PatientPane"));
    setProperty(HelpProperty, HelpContext::PatientGrid);
    m_model = new TableModel(&dm.kbmTablePatient(),
                             {QStringLiteral("LastName"), QStringLiteral("FirstName"), QStringLiteral("SSNum")}, this);
    auto* titled = new TitledModel(this);
    titled->setSourceModel(m_model);
    m_titled = titled;
    buildFields();
    connectRegister();
    setModeLabels(PatientFinder::Mode::LastName);
    m_grid->setEditing(m_actions->editing());
    m_date->setReadOnly(!m_actions->editing());
    refreshFields();
    updateNavigator();
    m_grid->showRow(m_model->currentRow());
    m_finderEdit->setText(m_finder->text());
}

TPatientPane::~TPatientPane() = default;

QString TPatientPane::gridToolTip()
{
    return QStringLiteral("To select a patient scroll or\r\nuse the Finder Box Below this grid.\r\n\r\n"
                          "To add a patient first click on the '+' below.\r\n"
                          "To edit a patient first click on the delta symbol below.\r\n");
}

QString TPatientPane::reminderToolTip() { return QStringLiteral("Reminders For \r\nSelected Patient"); }

QString TPatientPane::dateToolTip() { return QStringLiteral("Patient's Date of Birth"); }

Table& TPatientPane::table() const { return m_dm.kbmTablePatient(); }

QLineEdit* TPatientPane::ssEditor() const { return m_grid->ssEditor(); }

QToolButton* TPatientPane::navigatorButton(NavigatorButton button) const { return m_nav[int(button)]; }

void TPatientPane::buildFields()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(3);

    auto* reminderLabel = new QLabel(QStringLiteral("Reminder For This Patient"), this);
    auto* reminder = new HookedLineEdit(this);
    reminder->setObjectName(QStringLiteral("ReminderField"));
    reminder->setToolTip(reminderToolTip());
    reminder->setMaxLength(100);
    QPalette pal = reminder->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(g, QPalette::Base, ReminderColour);
    reminder->setPalette(pal);
    reminderLabel->setBuddy(reminder);
    m_reminder = reminder;
    layout->addWidget(reminderLabel);
    layout->addWidget(reminder);

    auto* gridGroup = new QGroupBox(QStringLiteral("Patient"), this);
    gridGroup->setObjectName(QStringLiteral("PatientGroup"));
    auto* gridLayout = new QVBoxLayout(gridGroup);
    gridLayout->setContentsMargins(3, 3, 3, 3);
    m_grid = new PatientGrid(m_titled, gridGroup);
    m_grid->setToolTip(gridToolTip());
    m_grid->frozenView()->setToolTip(gridToolTip());
    m_grid->scrollingView()->setToolTip(gridToolTip());
    m_grid->setMinimumHeight(120);
    gridLayout->addWidget(m_grid);
    layout->addWidget(gridGroup, 1);

    auto* caption = new QLabel(QStringLiteral("Find by full or partial names"), this);
    m_lastLabel = new QLabel(QStringLiteral("Last Name,"), this);
    m_lastLabel->setObjectName(QStringLiteral("LastNameLabel"));
    m_firstLabel = new QLabel(QStringLiteral("First Name"), this);
    m_firstLabel->setObjectName(QStringLiteral("FirstNameLabel"));
    auto* labels = new QHBoxLayout;
    labels->setSpacing(4);
    labels->addWidget(m_lastLabel);
    labels->addWidget(m_firstLabel);
    labels->addStretch(1);
    layout->addWidget(caption);
    layout->addLayout(labels);

    auto* finder = new HookedLineEdit(this);
    finder->setObjectName(QStringLiteral("PatientFinder"));
    finder->setToolTip(PatientFinder::toolTip());
    finder->setMaxLength(30);
    finder->setProperty(HelpProperty, HelpContext::PatientFinder);
    m_finderEdit = finder;
    layout->addWidget(finder);

    auto* nav = new QHBoxLayout;
    nav->setSpacing(1);
    const char* names[] = {"NavInsert", "NavDelete", "NavEdit", "NavPost", "NavCancel"};
    for (int i = 0; i < 5; ++i) {
        const auto b = NavigatorButton(i);
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(names[i]));
        button->setIcon(navigatorIcon(b));
        button->setToolTip(PatientActions::navigatorHint(b));
        button->setAutoRaise(false);
        button->setFixedSize(24, 22);
        connect(button, &QToolButton::clicked, this, [this, b] { clickNavigator(b); });
        m_nav[i] = button;
        nav->addWidget(button);
    }
    nav->addStretch(1);
    layout->addLayout(nav);

    auto* fields = new QHBoxLayout;
    m_sexGroup = new QGroupBox(QStringLiteral("Sex"), this);
    m_sexGroup->setObjectName(QStringLiteral("SexGroup"));
    auto* sexLayout = new QHBoxLayout(m_sexGroup);
    sexLayout->setContentsMargins(4, 2, 4, 2);
    m_male = new QRadioButton(QStringLiteral("Male"), m_sexGroup);
    m_female = new QRadioButton(QStringLiteral("Female"), m_sexGroup);
    sexLayout->addWidget(m_male);
    sexLayout->addWidget(m_female);
    m_sexButtons = new QButtonGroup(this);
    m_sexButtons->addButton(m_male, 0);
    m_sexButtons->addButton(m_female, 1);
    connect(m_sexButtons, &QButtonGroup::idClicked, this,
            [this](int id) { sexChosen(PatientFields::sexCode(id == 0)); });

    m_dateGroup = new QGroupBox(QStringLiteral("Date of Birth"), this);
    m_dateGroup->setObjectName(QStringLiteral("DateOfBirthGroup"));
    auto* dateLayout = new QHBoxLayout(m_dateGroup);
    dateLayout->setContentsMargins(4, 2, 4, 2);
    auto* date = new HookedLineEdit(m_dateGroup);
    date->setObjectName(QStringLiteral("DateOfBirthField"));
    date->setToolTip(dateToolTip());
    date->setInputMask(PatientFields::dateFieldMask());
    m_date = date;
    dateLayout->addWidget(date);
    // Entering the group puts the focus into its date field.
    m_dateGroup->setFocusPolicy(Qt::ClickFocus);
    m_dateGroup->setFocusProxy(date);
    fields->addWidget(m_sexGroup);
    fields->addWidget(m_dateGroup, 1);
    layout->addLayout(fields);

    for (QWidget* w : {static_cast<QWidget*>(m_grid), static_cast<QWidget*>(m_sexGroup), static_cast<QWidget*>(m_dateGroup)})
        w->setProperty(HelpProperty, HelpContext::PatientGrid);

    // Reminder, grid, finder, navigator, sex, date of birth.
    QWidget* order[] = {m_reminder, m_grid->frozenView(), m_finderEdit, m_nav[0], m_nav[1], m_nav[2],
                        m_nav[3],   m_nav[4],             m_male,       m_female, m_date};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // Reminder field: typing edits the current patient while it has the focus.
    reminder->onFocusIn = [this](Qt::FocusReason r) {
        if (movesBetweenFields(r))
            m_actions->reminderEntered();
    };
    reminder->onFocusOut = [this](Qt::FocusReason r) {
        if (movesBetweenFields(r))
            m_actions->reminderLeft();
    };
    connect(reminder, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_source = m_reminder;
        const bool taken = m_actions->reminderEdited(text);
        m_source = nullptr;
        if (!taken)
            refreshFields();
    });

    // Finder.
    finder->onKeyPress = [this](QKeyEvent* e) { return m_finder->keyPress(e->key(), e->text()); };
    finder->onKeyRelease = [this](QKeyEvent* e) { m_finder->keyRelease(e->key(), e->text()); };
    finder->onFocusIn = [this](Qt::FocusReason r) {
        if (!m_focusingFinder && movesBetweenFields(r))
            m_finder->entered(macroRunning && macroRunning());
    };
    finder->onFocusOut = [this](Qt::FocusReason r) {
        if (movesBetweenFields(r))
            m_finder->left();
    };
    connect(finder, &QLineEdit::textEdited, m_finder.get(), &PatientFinder::setText);

    // Date of birth.
    date->onKeyPress = [](QKeyEvent* e) {
        const int k = e->key();
        return k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Return || k == Qt::Key_Enter;
    };
    date->onKeyRelease = [this](QKeyEvent* e) {
        switch (e->key()) {
        case Qt::Key_Down:
            sexChosen(PatientFields::sexCode(false));
            break;
        case Qt::Key_Up:
            sexChosen(PatientFields::sexCode(true));
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (commitDateField())
                m_actions->dateFieldEnter();
            break;
        default:
            break;
        }
    };
    date->onFocusOut = [this](Qt::FocusReason r) {
        if (!movesBetweenFields(r) || !commitDateField())
            return;
        m_actions->dateFieldLeft();
    };
    connect(date, &QLineEdit::textEdited, this, [this] {
        if (!m_actions->editing())
            return;
        if (const auto v = PatientFields::readDateField(m_date->displayText())) {
            m_source = m_date;
            m_actions->setDateOfBirth(*v);
            m_source = nullptr;
        }
    });

    // SS number editor over its cell.
    const int ss = table().fieldIndex(QStringLiteral("SSNum"));
    const QString mask = ss >= 0 && !table().fieldDefs()[size_t(ss)].editMask.isEmpty()
                             ? table().fieldDefs()[size_t(ss)].editMask
                             : kSsMask;
    m_grid->ssEditor()->setInputMask(PatientFields::inputMask(mask));
    connect(m_grid->ssEditor(), &QLineEdit::textEdited, this, [this, mask] {
        m_source = m_grid->ssEditor();
        m_actions->setSsNumber(PatientFields::maskedValue(m_grid->ssEditor()->displayText(), mask));
        m_source = nullptr;
    });
}

void TPatientPane::connectRegister()
{
    Table& t = table();
    PatientFinder* f = m_finder.get();
    connect(f, &PatientFinder::textChanged, this, [this](const QString& text) {
        if (m_finderEdit->text() != text)
            m_finderEdit->setText(text);
    });
    connect(f, &PatientFinder::modeChanged, this, &TPatientPane::setModeLabels);
    connect(f, &PatientFinder::enabledChanged, m_finderEdit, &QWidget::setEnabled);
    connect(f, &PatientFinder::hintRequested, this, &TPatientPane::hintRequested);
    connect(f, &PatientFinder::finderReset, this, &TPatientPane::finderReset);
    connect(f, &PatientFinder::diagnosisFinderRequested, this, &TPatientPane::diagnosisFinderRequested);
    connect(f, &PatientFinder::focusRequested, this, [this] {
        m_focusingFinder = true;
        m_finderEdit->setFocus(Qt::OtherFocusReason);
        m_finderEdit->update();
        m_focusingFinder = false;
    });
    m_finderEdit->setEnabled(f->enabled());

    connect(m_actions.get(), &PatientActions::gridEditRequested, this, [this] {
        m_grid->setTabMovesBetweenColumns(true);
        m_grid->setCurrentColumn(0);
        m_grid->focusCurrentCell();
    });

    connect(&t, &Table::cursorMoved, this, [this](int) {
        refreshFields();
        updateNavigator();
    });
    connect(&t, &Table::layoutReset, this, [this] {
        refreshFields();
        updateNavigator();
    });
    connect(&t, &Table::rowChanged, this, [this](int) { refreshFields(); });
    connect(&t, &Table::stateChanged, this, [this](TableState) {
        const bool editing = m_actions->editing();
        m_grid->setEditing(editing);
        m_date->setReadOnly(!editing);
        refreshFields();
        updateNavigator();
    });
    connect(m_model, &TableModel::currentRowChanged, m_grid, &PatientGrid::showRow);
    connect(m_grid, &PatientGrid::rowChosen, this, &TPatientPane::chooseRow);

    connect(&m_dm, &TDataModule1::patientEditingChanged, this, [this](bool editing) {
        m_nav[int(NavigatorButton::Insert)]->setVisible(!editing);
        m_grid->setTabMovesBetweenColumns(editing);
    });
    connect(&m_dm, &TDataModule1::patientScrolling, m_grid, &PatientGrid::hideSsEditor);
    connect(&m_dm, &TDataModule1::patientGridRepaint, this, [this] {
        m_grid->frozenView()->viewport()->update();
        m_grid->scrollingView()->viewport()->update();
    });
}

void TPatientPane::setModeLabels(PatientFinder::Mode mode)
{
    const bool last = mode == PatientFinder::Mode::LastName;
    setTextColour(m_lastLabel, last ? Qt::red : Qt::black);
    setTextColour(m_firstLabel, last ? Qt::black : Qt::red);
}

void TPatientPane::refreshFields()
{
    const Table& t = table();
    const bool editing = m_actions->editing();
    const bool has = t.isActive() && (editing || !t.isEmpty());
    m_reminder->setReadOnly(!has);
    if (m_source != m_reminder) {
        const QString r = has ? t.text(QStringLiteral("Reminders")) : QString();
        if (m_reminder->text() != r)
            m_reminder->setText(r);
    }
    if (m_source != m_date) {
        const QVariant dob = has ? t.value(QStringLiteral("DateOfBirth")) : QVariant();
        const auto shown = PatientFields::readDateField(m_date->displayText());
        const bool same = shown && (shown->empty ? dob.isNull()
                                                 : !dob.isNull() && PatientFields::dateFieldText(dob) ==
                                                                        shown->date.toString(PatientFields::dateFieldFormat()));
        if (!same)
            m_date->setText(PatientFields::dateFieldText(dob));
    }
    refreshSex();
}

void TPatientPane::refreshSex()
{
    const QString code = m_actions->hasRecord() || m_actions->editing() ? m_actions->sex() : QString();
    m_sexButtons->setExclusive(false);
    m_male->setChecked(code == PatientFields::sexCode(true));
    m_female->setChecked(code == PatientFields::sexCode(false));
    m_sexButtons->setExclusive(true);
}

void TPatientPane::updateNavigator()
{
    const Table& t = table();
    for (int i = 0; i < 5; ++i)
        m_nav[i]->setEnabled(!m_navigatorHeld &&
                             PatientActions::navigatorEnabled(NavigatorButton(i), t.state(), t.isEmpty()));
}

void TPatientPane::setNavigatorHeld(bool held)
{
    m_navigatorHeld = held;
    updateNavigator();
}

void TPatientPane::sexChosen(const QString& code)
{
    m_actions->setSex(code);
    refreshSex(); // a choice the record did not take is shown undone
}

void TPatientPane::chooseRow(int row)
{
    Table& t = table();
    if (!t.isActive())
        return;
    const int at = t.recNo();
    int position = row;
    if (t.state() == TableState::Insert) {
        const int inserted = std::max(at, 0);
        if (row == inserted)
            return;
        position = row > inserted ? row - 1 : row;
    } else if (row == at) {
        return;
    }
    if (t.state() == TableState::Browse) {
        if (!m_actions->guarded([&] {
                t.moveTo(position);
                return true;
            }))
            m_grid->showRow(m_model->currentRow());
        return;
    }
    // Leaving an edited record saves it first, which rebuilds the grid: done once the view
    // has finished with the click or key that chose the row.
    const QVariant id = t.valueAt(position, t.fieldIndex(QStringLiteral("ID")));
    QTimer::singleShot(0, this, [this, id] {
        Table& tb = table();
        const bool moved = m_actions->guarded([&] {
            if (tb.state() != TableState::Browse && !tb.post())
                return false;
            return tb.locate({QStringLiteral("ID")}, {id});
        });
        if (!moved)
            m_grid->showRow(m_model->currentRow());
    });
}

bool TPatientPane::commitDateField()
{
    if (!m_actions->editing())
        return true;
    const auto v = PatientFields::readDateField(m_date->displayText());
    if (!v) {
        Prompter::current().error(QStringLiteral("'%1' is not a valid date").arg(m_date->displayText()));
        QTimer::singleShot(0, m_date, [d = m_date] { d->setFocus(Qt::OtherFocusReason); });
        return false;
    }
    m_source = m_date;
    m_actions->setDateOfBirth(*v);
    m_source = nullptr;
    return true;
}

void TPatientPane::commitPendingEdits() { m_grid->commitCellEditor(); }

void TPatientPane::addPatient()
{
    commitPendingEdits();
    m_actions->addPatient();
}

void TPatientPane::clickNavigator(NavigatorButton button)
{
    commitPendingEdits();
    // A save, and an insert that saves the record being edited, take the date as typed.
    if ((button == NavigatorButton::Post || button == NavigatorButton::Insert) && !commitDateField())
        return;
    m_actions->navigatorClicked(button);
}

#include "moc_patient_pane.cpp"
