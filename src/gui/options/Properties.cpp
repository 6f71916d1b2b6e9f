#include "gui/options/Properties.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

#include "core/session/MonitorSession.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/Box.h"
#include "gui/controls/EditUpDown.h"
#include "gui/controls/NiceLabel.h"
#include "gui/controls/PanelTransparent.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/controls/WindowFont.h"
#include "gui/find/HistoryGroup.h"
#include "gui/options/Colours.h"
#include "gui/options/RecordOptions.h"

namespace tapwise {

namespace {

constexpr int EditWidth = 62;
constexpr int EditHeight = 21;

// The precisions of the time list, in its order.
constexpr TimeStyle TimeChoices[] = {TimeStyle::Tenths, TimeStyle::Milliseconds, TimeStyle::Microseconds};

// A value the user may still be typing can lie outside the field's range;
// what reaches the settings never does (they are 8 and 16 bits wide).
int32_t InRange(const TEditUpDown& edit) { return std::clamp(edit.Value(), edit.Min(), edit.Max()); }

TEditUpDown* NumberEdit(QWidget* parent, int32_t min, int32_t max, int32_t scale, const char* hint) {
  auto* edit = new TEditUpDown(parent);
  edit->SetMax(max);
  edit->SetMin(min);
  edit->SetScale(scale);
  edit->setToolTip(hint);
  edit->setFixedSize(EditWidth, EditHeight);
  return edit;
}

// The edit with its unit to the right.
QHBoxLayout* WithUnit(TEditUpDown* edit, const char* unit) {
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  row->addWidget(edit);
  row->addWidget(new QLabel(unit));
  row->addStretch(1);
  return row;
}

// The edit with its caption above.
QVBoxLayout* Captioned(const char* caption, TEditUpDown* edit) {
  auto* column = new QVBoxLayout;
  column->setSpacing(1);
  column->addWidget(new QLabel(caption));
  column->addWidget(edit);
  return column;
}

// The two buttons' glyphs, 16 × 16: a letter for the font, four colour
// squares for the colours.
QPixmap FontGlyph() {
  QPixmap glyph(16, 16);
  glyph.fill(Qt::transparent);
  QPainter canvas(&glyph);
  QFont letter(QStringLiteral("Liberation Serif"));
  letter.setPixelSize(15);
  letter.setBold(true);
  canvas.setFont(letter);
  canvas.setPen(QColor(0, 0, 128));
  canvas.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
  return glyph;
}

QPixmap ColoursGlyph() {
  QPixmap glyph(16, 16);
  glyph.fill(Qt::transparent);
  QPainter canvas(&glyph);
  const QColor squares[] = {QColor(255, 0, 0), QColor(0, 128, 0), QColor(0, 0, 255), QColor(255, 255, 0)};
  for (int i = 0; i < 4; ++i) {
    const QRect square(1 + (i % 2) * 7, 1 + (i / 2) * 7, 7, 7);
    canvas.fillRect(square, squares[i]);
    canvas.setPen(QColor(64, 64, 64));
    canvas.drawRect(square.adjusted(0, 0, -1, -1));
  }
  return glyph;
}

QPushButton* GlyphButton(QWidget* parent, const char* caption, const QPixmap& glyph, const char* hint) {
  auto* button = new QPushButton(QIcon(glyph), caption, parent);
  button->setToolTip(hint);
  button->setFocusPolicy(Qt::TabFocus);
  return button;
}

}  // namespace

TPropertiesForm::TPropertiesForm(MonitorSession& session, Appearance& appearance, TColoursForm& colours,
                                 WindowDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_session(session),
      m_appearance(appearance),
      m_colours(colours),
      m_dialogs(dialogs) {
  setObjectName("PropertiesForm");
  setWindowTitle("Properties");
  setFont(WindowFont());

  auto* client = new QVBoxLayout(this);
  client->setContentsMargins(0, 0, 0, 0);
  auto* panel = new TPanelTransparent(this);
  panel->SetLowered(true);
  client->addWidget(panel);
  auto* rows = new QVBoxLayout(panel);
  rows->setContentsMargins(6, 4, 6, 6);
  rows->setSpacing(6);
  auto* groups = new QHBoxLayout;
  groups->setSpacing(6);
  groups->addWidget(BuildDisplayGroup());
  groups->addWidget(BuildPlayGroup());
  rows->addLayout(groups);
  gRecord = new TRecordOptions(m_session, panel);
  rows->addWidget(gRecord);
  groups->addWidget(m_historyGroup = new HistoryGroup(session.History(), panel));

  // Not resizable: as big as the designed client area, or as its contents
  // need where the desktop's font is wider.
  setFixedSize(sizeHint().expandedTo(QSize(220, 215)));

  // The window sees every key first, whichever control has the focus.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  Load();
}

QWidget* TPropertiesForm::BuildDisplayGroup() {
  auto* group = new QGroupBox("Display");
  auto* column = new QVBoxLayout(group);
  column->setSpacing(3);
  rbDisplayHex = new QRadioButton("Hex Packets", group);
  rbDisplayASCII = new QRadioButton("ASCII", group);
  eTimeOut = NumberEdit(group, 1, 1000, 5, "Delay between packets (character times)");
  TimeComboBox = new QComboBox(group);
  TimeComboBox->setObjectName("TimeComboBox");
  TimeComboBox->addItems({"Tenths", "ms", QStringLiteral("\u00B5s")});
  TimeComboBox->setToolTip("Precision of the packet times: tenths as in packet data files,\n"
                           "or milliseconds or microseconds in a wider header");
  TimeComboBox->setFixedHeight(EditHeight);
  bFont = GlyphButton(group, "&Font", FontGlyph(), "Change Display Font");
  bColours = GlyphButton(group, "&Colours", ColoursGlyph(), "Change Display Colours");
  column->addWidget(rbDisplayHex);
  column->addWidget(rbDisplayASCII);
  column->addSpacing(4);
  column->addWidget(new QLabel("Packet Gap", group));
  column->addLayout(WithUnit(eTimeOut, "mS"));
  column->addSpacing(2);
  column->addWidget(new QLabel("Packet Time", group));
  column->addWidget(TimeComboBox);
  column->addStretch(1);
  column->addWidget(bFont);
  column->addWidget(bColours);

  connect(rbDisplayHex, &QRadioButton::clicked, this, &TPropertiesForm::rgDisplayChangeClick);
  connect(rbDisplayASCII, &QRadioButton::clicked, this, &TPropertiesForm::rgDisplayChangeClick);
  connect(eTimeOut, &TEditUpDown::OnChange, this, &TPropertiesForm::eTimeOutChange);
  connect(TimeComboBox, &QComboBox::currentIndexChanged, this, &TPropertiesForm::TimeComboBoxChange);
  connect(bFont, &QPushButton::clicked, this, &TPropertiesForm::bFontClick);
  connect(bColours, &QPushButton::clicked, this, &TPropertiesForm::bColoursClick);
  return group;
}

QWidget* TPropertiesForm::BuildPlayGroup() {
  auto* group = new QGroupBox("Play");
  auto* column = new QVBoxLayout(group);
  column->setSpacing(3);
  rbPlayOne = new QRadioButton("One Shot", group);
  rbPlayOne->setToolTip("Asserts Pause between every Packet");
  rbPlayCont = new QRadioButton("Continuous", group);
  rbPlayCont->setToolTip("Packets are sent continually with the specified gap");
  ePlayGap = NumberEdit(group, 0, 100, 100, "Delay between sending packets (seconds)");
  cbPlayRepeat = new QCheckBox("Repeat", group);
  auto* line = new TBox(group);
  line->SetLineBottom(false);
  line->SetLineLeft(false);
  line->SetLineRight(false);
  line->setFixedHeight(2);
  lTerminator = new TNiceLabel(group);
  lTerminator->SetAutoSize(true);
  lTerminator->SetCaption("Packet Terminator\\n\\1(RAW files only)");
  lTerminator->setMinimumSize(lTerminator->size());
  eTerm = NumberEdit(group, 0, 255, 1, "RAW files only: Packet termination character");
  eTerm->SetHex(true);
  eTerm->setFixedWidth(46);
  eTermCount = NumberEdit(group, 1, 65535, 1, "RAW files only: Packet termination character");
  column->addWidget(rbPlayOne);
  column->addWidget(rbPlayCont);
  column->addLayout(WithUnit(ePlayGap, "mS gap"));
  column->addWidget(cbPlayRepeat);
  column->addWidget(line);
  column->addWidget(lTerminator);
  auto* terminator = new QHBoxLayout;
  terminator->setSpacing(6);
  terminator->addLayout(Captioned("Char", eTerm));
  terminator->addLayout(Captioned("Count", eTermCount));
  terminator->addStretch(1);
  column->addLayout(terminator);
  column->addStretch(1);

  for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{rbPlayOne, rbPlayCont, cbPlayRepeat}) {
    connect(button, &QAbstractButton::clicked, this, &TPropertiesForm::RecorderParamClick);
  }
  for (TEditUpDown* edit : {ePlayGap, eTerm, eTermCount}) {
    connect(edit, &TEditUpDown::OnChange, this, &TPropertiesForm::RecorderParamClick);
  }
  return group;
}

void TPropertiesForm::Load() {
  m_historyGroup->Load();
  m_loading = true;
  const bool hex = m_session.HexDisplay();
  rbDisplayHex->setChecked(hex);
  rbDisplayASCII->setChecked(!hex);
  // A gap that is no multiple of 5 (from a project) shows rounded down and
  // stays as it is until the field is changed.
  eTimeOut->SetValue(m_session.Comms().PacketGap.load() / eTimeOut->Scale());
  // As a click on the mode does: a project read in ASCII mode must not
  // leave the gap field looking editable.
  eTimeOut->setEnabled(hex);
  const auto time = std::find(std::begin(TimeChoices), std::end(TimeChoices), m_appearance.Time());
  TimeComboBox->setCurrentIndex(time == std::end(TimeChoices) ? 0 : static_cast<int>(time - std::begin(TimeChoices)));
  const PlaySettings& play = m_session.GetPlaySettings();
  rbPlayOne->setChecked(play.OneShot != 0);
  rbPlayCont->setChecked(play.OneShot == 0);
  ePlayGap->SetValue(play.PlayGap);
  cbPlayRepeat->setChecked(play.Repeat != 0);
  eTerm->SetValue(play.TerminatorChar);
  eTermCount->SetValue(play.TerminatorCount);
  gRecord->Load();
  m_loading = false;
}

void TPropertiesForm::rgDisplayChangeClick() {
  if (m_loading) return;
  const bool hex = rbDisplayHex->isChecked();
  // A click on the button that is already checked changes nothing.
  if (!m_session.SetDisplayMode(hex)) return;
  eTimeOut->setEnabled(hex);
}

void TPropertiesForm::eTimeOutChange() {
  if (m_loading) return;
  m_session.SetPacketGap(static_cast<uint16_t>(InRange(*eTimeOut) * eTimeOut->Scale()));
}

void TPropertiesForm::TimeComboBoxChange() {
  if (m_loading) return;
  const int index = TimeComboBox->currentIndex();
  if (index >= 0 && index < static_cast<int>(std::size(TimeChoices))) m_appearance.SetTime(TimeChoices[index]);
}

void TPropertiesForm::RecorderParamClick() {
  if (m_loading) return;
  // All five at once, whichever control changed.
  PlaySettings play;
  play.OneShot = rbPlayOne->isChecked() ? 1 : 0;
  play.PlayGap = static_cast<uint8_t>(InRange(*ePlayGap));
  play.Repeat = cbPlayRepeat->isChecked() ? 1 : 0;
  play.TerminatorChar = static_cast<uint8_t>(InRange(*eTerm));
  play.TerminatorCount = static_cast<uint16_t>(InRange(*eTermCount));
  m_session.SetPlaySettings(play);
}

void TPropertiesForm::bFontClick() {
  QFont initial(AnsiToQString(m_appearance.FontName()));
  if (m_appearance.FontSize() > 0) initial.setPointSize(static_cast<int>(m_appearance.FontSize()));
  const std::optional<QFont> chosen = m_dialogs.AskForFont(this, initial);
  if (!chosen) return;
  // Only the name and the size: the display draws plain text in one colour.
  const int size = chosen->pointSize() > 0 ? chosen->pointSize() : static_cast<int>(m_appearance.FontSize());
  m_appearance.SetFont(QStringToAnsi(chosen->family()), size);
}

void TPropertiesForm::bColoursClick() {
  m_colours.show();
  m_colours.raise();
  m_colours.activateWindow();
}

bool TPropertiesForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    hide();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tapwise
