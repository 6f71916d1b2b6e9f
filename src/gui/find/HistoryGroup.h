#pragma once
// The Properties window's History group: how many packets, and how many
// megabytes, the display's history may hold before its oldest packets go
// (PacketHistory). A change applies at once; a smaller bound lets the
// oldest packets go at once. The main window keeps the values in the
// settings. Main thread only.

#include <QGroupBox>

namespace tapwise {

class PacketHistory;
class TEditUpDown;

class HistoryGroup : public QGroupBox {
  Q_OBJECT
 public:
  explicit HistoryGroup(PacketHistory& history, QWidget* parent = nullptr);

  // Fills the fields from the history; their handlers do nothing meanwhile.
  void Load();

  TEditUpDown* eHistoryPackets;
  TEditUpDown* eHistoryMegabytes;

 private:
  void eHistoryChange();

  PacketHistory& m_history;
  bool m_loading = false;
};

}  // namespace tapwise
