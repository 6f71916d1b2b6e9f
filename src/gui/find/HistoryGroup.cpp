#include "gui/find/HistoryGroup.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

#include "core/display/PacketHistory.h"
#include "gui/controls/EditUpDown.h"

namespace tapwise {

namespace {

TEditUpDown* LimitEdit(QWidget* parent, size_t min, size_t max, const char* name, const char* hint) {
  auto* edit = new TEditUpDown(parent);
  edit->setObjectName(name);
  edit->SetMax(static_cast<int32_t>(max));
  edit->SetMin(static_cast<int32_t>(min));
  edit->setToolTip(hint);
  edit->setFixedSize(70, 21);
  return edit;
}

size_t InRange(const TEditUpDown& edit) {
  return static_cast<size_t>(std::clamp(edit.Value(), edit.Min(), edit.Max()));
}

}  // namespace

HistoryGroup::HistoryGroup(PacketHistory& history, QWidget* parent)
    : QGroupBox("History", parent), m_history(history) {
  setObjectName("HistoryGroup");
  setToolTip("How far back the display scrolls and find searches: the oldest packets go first");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(3);
  eHistoryPackets = LimitEdit(this, HistoryLimits::MinPackets, HistoryLimits::MaxPackets, "eHistoryPackets",
                              "At most this many packets");
  eHistoryMegabytes = LimitEdit(this, HistoryLimits::MinMegabytes, HistoryLimits::MaxMegabytes, "eHistoryMegabytes",
                                "At most this much memory (MB)");
  column->addWidget(new QLabel("Packets", this));
  column->addWidget(eHistoryPackets);
  column->addSpacing(4);
  column->addWidget(new QLabel("Memory (MB)", this));
  column->addWidget(eHistoryMegabytes);
  column->addStretch(1);
  for (TEditUpDown* edit : {eHistoryPackets, eHistoryMegabytes}) {
    connect(edit, &TEditUpDown::OnChange, this, &HistoryGroup::eHistoryChange);
  }
  Load();
}

void HistoryGroup::Load() {
  m_loading = true;
  eHistoryPackets->SetValue(static_cast<int32_t>(m_history.Limits().Packets));
  eHistoryMegabytes->SetValue(static_cast<int32_t>(m_history.Limits().Megabytes));
  m_loading = false;
}

void HistoryGroup::eHistoryChange() {
  if (m_loading) return;
  m_history.SetLimits({InRange(*eHistoryPackets), InRange(*eHistoryMegabytes)});
}

}  // namespace tapwise
