#include "gui/options/RecordOptions.h"

#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include <algorithm>
#include <cstdint>

#include "core/recorder/RotationSettings.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/EditUpDown.h"

namespace tapwise {

namespace {

constexpr uint64_t Megabyte = 1024 * 1024;
constexpr int64_t Minute = 60;
// What the fields offer before the user has chosen anything.
constexpr int32_t ShownSize = 100;
constexpr int32_t ShownMinutes = 60;

int32_t InRange(const TEditUpDown& edit) { return std::clamp(edit.Value(), edit.Min(), edit.Max()); }

// Whole units, rounded up: a limit never shows as less than it is.
int32_t UnitsOf(uint64_t value, uint64_t unit) { return static_cast<int32_t>((value + unit - 1) / unit); }

TEditUpDown* CountEdit(QWidget* parent, int32_t min, int32_t max, const char* hint) {
  auto* edit = new TEditUpDown(parent);
  edit->SetMax(max);
  edit->SetMin(min);
  edit->setToolTip(hint);
  edit->setFixedSize(62, 21);
  return edit;
}

}  // namespace

TRecordOptions::TRecordOptions(MonitorSession& session, QWidget* parent)
    : QGroupBox("Record", parent), m_session(session) {
  setObjectName("RecordOptions");
  setToolTip("How the next recording is kept: in one file, or in new files by size or time");
  rbRecordOneFile = new QRadioButton("One file", this);
  rbRecordOneFile->setToolTip("The whole recording in the file chosen");
  rbRotateSize = new QRadioButton("New file every", this);
  rbRotateSize->setToolTip("Files named NAME-YYYYMMDD-HHMMSS, a new one before a packet would pass the size");
  rbRotateTime = new QRadioButton("New file every", this);
  rbRotateTime->setToolTip("Files named NAME-YYYYMMDD-HHMMSS, a new one at each multiple of the time");
  // Up to a terabyte, and up to a year: as far as -rotate: goes.
  eRotateSize = CountEdit(this, 1, 1024 * 1024, "Largest size of one file (megabytes)");
  eRotateEvery = CountEdit(this, 1, 366 * 24 * 60, "Time between new files (minutes)");
  eRotateKeep = CountEdit(this, 0, 1000000, "Newest files kept, the one being written included; 0 keeps every file");

  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(3);
  grid->addWidget(rbRecordOneFile, 0, 0);
  grid->addWidget(rbRotateSize, 1, 0);
  grid->addWidget(eRotateSize, 1, 1);
  grid->addWidget(new QLabel("MB", this), 1, 2);
  grid->addWidget(rbRotateTime, 2, 0);
  grid->addWidget(eRotateEvery, 2, 1);
  grid->addWidget(new QLabel("min", this), 2, 2);
  grid->addWidget(new QLabel("Keep", this), 3, 0, Qt::AlignRight);
  grid->addWidget(eRotateKeep, 3, 1);
  grid->addWidget(new QLabel("files (0: all)", this), 3, 2);
  grid->setColumnStretch(3, 1);

  for (QRadioButton* button : {rbRecordOneFile, rbRotateSize, rbRotateTime}) {
    connect(button, &QRadioButton::clicked, this, &TRecordOptions::rgRotateClick);
  }
  connect(eRotateSize, &TEditUpDown::OnChange, this, &TRecordOptions::eRotateSizeChange);
  connect(eRotateEvery, &TEditUpDown::OnChange, this, &TRecordOptions::eRotateEveryChange);
  connect(eRotateKeep, &TEditUpDown::OnChange, this, &TRecordOptions::eRotateKeepChange);
  Load();
}

void TRecordOptions::Load() {
  m_loading = true;
  const RotationSettings& rotation = m_session.RecordRotation();
  const bool byTime = rotation.EverySeconds > 0;
  const bool bySize = !byTime && rotation.MaxBytes > 0;
  rbRecordOneFile->setChecked(!rotation.Rotates());
  rbRotateSize->setChecked(bySize);
  rbRotateTime->setChecked(byTime);
  eRotateSize->SetValue(bySize ? UnitsOf(rotation.MaxBytes, Megabyte) : ShownSize);
  eRotateEvery->SetValue(byTime ? UnitsOf(static_cast<uint64_t>(rotation.EverySeconds), Minute) : ShownMinutes);
  eRotateKeep->SetValue(static_cast<int32_t>(rotation.Keep));
  // One file has no older files to count.
  eRotateKeep->setEnabled(rotation.Rotates());
  m_loading = false;
}

void TRecordOptions::TakeKind(bool fromField) {
  const RotationSettings& current = m_session.RecordRotation();
  RotationSettings rotation;
  if (rbRotateSize->isChecked()) {
    rotation.MaxBytes = !fromField && current.MaxBytes > 0 && current.EverySeconds == 0
                            ? current.MaxBytes
                            : static_cast<uint64_t>(InRange(*eRotateSize)) * Megabyte;
  } else if (rbRotateTime->isChecked()) {
    rotation.EverySeconds = !fromField && current.EverySeconds > 0
                                ? current.EverySeconds
                                : static_cast<int64_t>(InRange(*eRotateEvery)) * Minute;
  }
  if (rotation.Rotates()) rotation.Keep = static_cast<uint32_t>(InRange(*eRotateKeep));
  eRotateKeep->setEnabled(rotation.Rotates());
  m_session.SetRecordRotation(rotation);
}

void TRecordOptions::rgRotateClick() {
  if (!m_loading) TakeKind(false);
}

void TRecordOptions::eRotateSizeChange() {
  if (m_loading) return;
  rbRotateSize->setChecked(true);
  TakeKind(true);
}

void TRecordOptions::eRotateEveryChange() {
  if (m_loading) return;
  rbRotateTime->setChecked(true);
  TakeKind(true);
}

void TRecordOptions::eRotateKeepChange() {
  if (!m_loading) TakeKind(false);
}

}  // namespace tapwise
