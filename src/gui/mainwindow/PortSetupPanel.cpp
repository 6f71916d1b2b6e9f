#include "gui/mainwindow/PortSetupPanel.h"

#include <QHBoxLayout>

#include "gui/controls/AnsiText.h"
#include "gui/controls/TickedLabel.h"
#include "gui/controls/ToolIcons.h"

namespace tapwise {

namespace {

QComboBox* PickList(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (const char* item : items) list->addItem(AnsiToQString(item));
  list->setFocusPolicy(Qt::ClickFocus);
  return list;
}

TTickedLabel* Indicator(QWidget* parent, const char* name, const char* caption) {
  auto* label = new TTickedLabel(parent);
  label->setObjectName(name);
  label->SetCaption(caption);
  label->SetState(TTickedLabel::sNone);
  label->SetBackColour(Qt::transparent);
  label->setFixedSize(48, 17);
  return label;
}

}  // namespace

PortSetupPanel::PortSetupPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pPortSetup");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 3, 4, 3);
  row->setSpacing(4);

  bDisable = new QToolButton(this);
  bDisable->setObjectName("bDisable");
  bDisable->setCheckable(true);
  bDisable->setAutoRaise(true);
  bDisable->setIcon(QIcon(DrawToolIcon(ToolIcon::PortDisabled)));
  bDisable->setToolTip("Enable / Disable this Port");
  bDisable->setFocusPolicy(Qt::NoFocus);
  row->addWidget(bDisable);

  BaudComboBox = PickList(this, "BaudComboBox",
                          {"110 baud", "300 baud", "600 baud", "1200 baud", "2400 baud",
                           "4800 baud", "9600 baud", "14k4 baud", "19k2 baud", "28k8 baud",
                           "38k4 baud", "56k baud", "57k6 baud", "115k2 baud", "128k baud",
                           "256k baud"});
  ParityComboBox = PickList(this, "ParityComboBox",
                            {"No Parity", "Odd Parity", "Even Parity", "Mark Parity", "Space Parity"});
  BitsComboBox = PickList(this, "BitsComboBox", {"5 bits", "6 bits", "7 bits", "8 bits"});
  StopComboBox = PickList(this, "StopComboBox", {"1 Stop", "1\xBD Stop", "2 Stop"});
  // Until the first port is loaded the baud list shows nothing. A list that
  // picked its first item on filling would, for a first port whose rate is
  // not in it, show 110 baud and put it on the line at the next change.
  BaudComboBox->setCurrentIndex(-1);
  for (QComboBox* list : {BaudComboBox, ParityComboBox, BitsComboBox, StopComboBox}) {
    row->addWidget(list);
    connect(list, &QComboBox::currentIndexChanged, this, [this] {
      if (!m_updatingControls) emit Changed();
    });
  }
  RTSCheckBox = new QCheckBox("RTS", this);
  RTSCheckBox->setObjectName("RTSCheckBox");
  DTRCheckBox = new QCheckBox("DTR", this);
  DTRCheckBox->setObjectName("DTRCheckBox");
  for (QCheckBox* box : {RTSCheckBox, DTRCheckBox}) {
    box->setFocusPolicy(Qt::ClickFocus);
    row->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this] {
      if (!m_updatingControls) emit Changed();
    });
  }
  row->addSpacing(6);
  tlCTS = Indicator(this, "tlCTS", "CTS");
  tlDSR = Indicator(this, "tlDSR", "DSR");
  tlCD = Indicator(this, "tlCD", "CD");
  row->addWidget(tlCTS);
  row->addWidget(tlDSR);
  row->addWidget(tlCD);
  row->addStretch(1);

  connect(bDisable, &QToolButton::clicked, this, [this](bool down) { emit DisableClicked(down); });
}

void PortSetupPanel::Load(const PortSettings& settings, bool enabled) {
  m_updatingControls = true;
  bDisable->setChecked(!enabled);
  bDisable->setIcon(QIcon(DrawToolIcon(enabled ? ToolIcon::PortEnabled : ToolIcon::PortDisabled)));
  for (size_t i = 0; i < BaudRates.size(); ++i) {
    if (BaudRates[i] == settings.BaudRate) BaudComboBox->setCurrentIndex(static_cast<int>(i));
  }
  ParityComboBox->setCurrentIndex(settings.Parity);
  BitsComboBox->setCurrentIndex(settings.DataBits - 5);
  StopComboBox->setCurrentIndex(settings.StopBits);
  RTSCheckBox->setChecked(settings.RTS != 0);
  DTRCheckBox->setChecked(settings.DTR != 0);
  m_updatingControls = false;
}

PortSettings PortSetupPanel::Read(uint32_t currentRate) const {
  PortSettings settings;
  const int baud = BaudComboBox->currentIndex();
  settings.BaudRate = baud >= 0 ? BaudRates[static_cast<size_t>(baud)] : currentRate;
  settings.Parity = static_cast<uint8_t>(std::max(0, ParityComboBox->currentIndex()));
  settings.DataBits = static_cast<uint8_t>(std::max(0, BitsComboBox->currentIndex()) + 5);
  settings.StopBits = static_cast<uint8_t>(std::max(0, StopComboBox->currentIndex()));
  settings.RTS = RTSCheckBox->isChecked() ? 1 : 0;
  settings.DTR = DTRCheckBox->isChecked() ? 1 : 0;
  return settings;
}

void PortSetupPanel::ShowModemLines(uint8_t bits) {
  tlCTS->SetState(bits & 1 ? TTickedLabel::sTicked : TTickedLabel::sNone);
  tlDSR->SetState(bits & 2 ? TTickedLabel::sTicked : TTickedLabel::sNone);
  tlCD->SetState(bits & 4 ? TTickedLabel::sTicked : TTickedLabel::sNone);
}

}  // namespace tapwise
