#include "client/deal_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/application.h"

namespace {

QSpinBox* Spin(QWidget* parent, const char* name, int low, int high)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(low, high);
    return spin;
}

}  // namespace

TDealDialog::TDealDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DealDialog"));
    rbFixed = new QRadioButton(tr("決まった数"), this);
    rbRandom = new QRadioButton(tr("毎回変わる（10～99）"), this);
    auto* targets = new QButtonGroup(this);
    targets->addButton(rbFixed);
    targets->addButton(rbRandom);
    spnTarget = Spin(this, "spnTarget", 1, 999);
    spnPace = Spin(this, "spnPace", 1, 60);
    spnAnswer = Spin(this, "spnAnswer", 5, 120);
    spnBots = Spin(this, "spnBots", 0, TDealOptions::MaxBots);
    cmbLevel = new QComboBox(this);
    cmbLevel->setObjectName(QStringLiteral("cmbLevel"));
    for (int level = 1; level <= TDealOptions::MaxLevel; ++level)
        cmbLevel->addItem(LevelName(level), level);

    auto* target = new QHBoxLayout;
    target->addWidget(rbFixed);
    target->addWidget(spnTarget);
    target->addWidget(rbRandom);
    auto* fields = new QFormLayout;
    fields->addRow(tr("目標数"), target);
    fields->addRow(tr("配札の間隔（秒、1～60）"), spnPace);
    fields->addRow(tr("解答の時間（秒、5～120）"), spnAnswer);
    fields->addRow(tr("コンピューター（0～5 人）"), spnBots);
    fields->addRow(tr("コンピューターの強さ"), cmbLevel);

    auto* buttons = new QDialogButtonBox(this);
    btnStart = buttons->addButton(tr("開始"), QDialogButtonBox::AcceptRole);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);

    ConnectHandler(rbFixed, &QRadioButton::toggled, [this] { spnTarget->setEnabled(rbFixed->isChecked()); });
    ConnectHandler(spnBots, &QSpinBox::valueChanged, [this] { cmbLevel->setEnabled(spnBots->value() > 0); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ConnectHandler(buttons, &QDialogButtonBox::accepted, [this] {
        hide();
        if (OnStart)
            OnStart(Options());
    });
}

void TDealDialog::Open(const QString& title, const TDealOptions& options)
{
    setWindowTitle(title);
    (options.Target ? rbFixed : rbRandom)->setChecked(true);
    spnTarget->setValue(options.Target.value_or(TDealOptions().Target.value_or(1)));
    spnPace->setValue(options.Pace);
    spnAnswer->setValue(options.Answer);
    spnBots->setValue(options.Bots);
    cmbLevel->setCurrentIndex(cmbLevel->findData(options.Level));
    // A box set to the value it held raises no change.
    spnTarget->setEnabled(options.Target.has_value());
    cmbLevel->setEnabled(options.Bots > 0);
    show();
    raise();
    btnStart->setFocus();
}

TDealOptions TDealDialog::Options() const
{
    TDealOptions options;
    options.Target = rbFixed->isChecked() ? std::optional<int>(spnTarget->value()) : std::nullopt;
    options.Pace = spnPace->value();
    options.Answer = spnAnswer->value();
    options.Bots = spnBots->value();
    options.Level = cmbLevel->currentData().toInt();
    return options;
}

QString TDealDialog::LevelName(int level)
{
    switch (level) {
    case 1: return tr("入門");
    case 2: return tr("初級");
    case 3: return tr("中級");
    case 4: return tr("上級");
    case 5: return tr("達人");
    }
    return QString::number(level);
}
