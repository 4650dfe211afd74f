#include "client/table_list_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/application.h"

namespace {

enum TColumn { NameColumn, PlayersColumn, SeatedColumn, WatchersColumn, GameColumn, ColumnCount };

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

TTableListDialog::TTableListDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TableListDialog"));
    setWindowTitle(tr("テーブル一覧"));
    resize(440, 320);

    grdTables = new QTableWidget(0, ColumnCount, this);
    grdTables->setObjectName(QStringLiteral("grdTables"));
    grdTables->setHorizontalHeaderLabels(
        {tr("テーブル"), tr("参加者"), tr("着席"), tr("観戦", "watchers column"), tr("ゲーム")});
    grdTables->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTables->setSelectionMode(QAbstractItemView::SingleSelection);
    grdTables->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdTables->verticalHeader()->setVisible(false);
    grdTables->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    for (int column = PlayersColumn; column < ColumnCount; ++column)
        grdTables->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);

    btnJoin = new QPushButton(tr("参加"), this);
    btnWatch = new QPushButton(tr("観戦", "watch button"), this);
    auto* listButtons = new QHBoxLayout;
    listButtons->addStretch();
    listButtons->addWidget(btnJoin);
    listButtons->addWidget(btnWatch);

    edtNewName = new QLineEdit(this);
    edtNewName->setObjectName(QStringLiteral("edtNewName"));
    edtNewKey = new QLineEdit(this);
    edtNewKey->setObjectName(QStringLiteral("edtNewKey"));
    edtNewKey->setPlaceholderText(tr("なしで公開テーブル"));
    edtNewKey->setAttribute(Qt::WA_InputMethodEnabled, false);
    btnCreate = new QPushButton(tr("作って参加"), this);
    lblProblem = new QLabel(this);
    lblProblem->setTextFormat(Qt::PlainText);
    lblProblem->setWordWrap(true);
    auto* newTable = new QFormLayout;
    newTable->addRow(tr("新しいテーブル"), edtNewName);
    newTable->addRow(tr("鍵（任意）"), edtNewKey);
    newTable->addRow(QString(), btnCreate);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(tr("閉じる"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdTables);
    layout->addLayout(listButtons);
    layout->addLayout(newTable);
    layout->addWidget(lblProblem);
    layout->addWidget(close);

    ConnectHandler(btnJoin, &QPushButton::clicked, [this] { ChooseListed(false); });
    ConnectHandler(btnWatch, &QPushButton::clicked, [this] { ChooseListed(true); });
    ConnectHandler(grdTables, &QTableWidget::cellDoubleClicked, [this] { ChooseListed(false); });
    ConnectHandler(grdTables, &QTableWidget::itemSelectionChanged, [this] { RenderButtons(); });
    ConnectHandler(btnCreate, &QPushButton::clicked, [this] { ChooseNew(); });
    ConnectHandler(edtNewName, &QLineEdit::returnPressed, [this] { ChooseNew(); });
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    RenderButtons();
}

void TTableListDialog::Render(const TTableList& list)
{
    list_ = &list;
    const int selected = grdTables->currentRow();
    const QString selectedName =
        selected >= 0 && grdTables->item(selected, NameColumn) ? grdTables->item(selected, NameColumn)->text() : QString();
    const auto& rows = list.Rows();
    grdTables->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Protocol::Tables::TTableRow& row = rows[static_cast<std::size_t>(r)];
        grdTables->setItem(r, NameColumn, Cell(TTablePlace::TableCaption(row.Name), Qt::AlignLeft));
        grdTables->setItem(r, PlayersColumn, Cell(QString::number(row.Players), Qt::AlignRight));
        grdTables->setItem(r, SeatedColumn, Cell(QString::number(row.Seated), Qt::AlignRight));
        grdTables->setItem(r, WatchersColumn, Cell(QString::number(row.Watchers), Qt::AlignRight));
        grdTables->setItem(r, GameColumn, Cell(row.Game ? tr("対戦中") : QString(), Qt::AlignCenter));
        if (grdTables->item(r, NameColumn)->text() == selectedName)
            grdTables->selectRow(r);
    }
    RenderButtons();
}

void TTableListDialog::RenderButtons()
{
    const bool chosen = list_ && list_->ListedChoice(grdTables->currentRow(), false).has_value() &&
                        !grdTables->selectedItems().isEmpty();
    btnJoin->setEnabled(chosen);
    btnWatch->setEnabled(chosen);
}

void TTableListDialog::ChooseListed(bool watch)
{
    if (!list_ || grdTables->selectedItems().isEmpty())
        return;
    if (const std::optional<TTableChoice> choice = list_->ListedChoice(grdTables->currentRow(), watch); choice && OnChoose)
        OnChoose(*choice);
}

void TTableListDialog::ChooseNew()
{
    QString problem;
    const std::optional<TTableChoice> choice = TTableList::NewTableChoice(edtNewName->text(), edtNewKey->text(), problem);
    lblProblem->setText(problem);
    if (choice && OnChoose)
        OnChoose(*choice);
}
