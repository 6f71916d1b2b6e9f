#pragma once
// The controls on the port tabs: enable/disable, the baud, parity, data-bits
// and stop-bits lists, the RTS and DTR boxes, and the CTS, DSR and CD
// indicators. Load fills them from a port's settings without raising a
// change; every change the user makes raises Changed, and Read gives the
// settings they now show.

#include <QCheckBox>
#include <QComboBox>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <cstdint>

#include "core/capture/PortSettings.h"

namespace tapwise {

class TTickedLabel;

// Item i of the baud list is rate i.
constexpr std::array<uint32_t, 16> BaudRates = {110,   300,   600,   1200,  2400,   4800,
                                                9600,  14400, 19200, 28800, 38400,  56000,
                                                57600, 115200, 128000, 256000};

class PortSetupPanel : public QWidget {
  Q_OBJECT
 public:
  explicit PortSetupPanel(QWidget* parent = nullptr);

  // Fills the controls; a rate that is not in the list leaves the baud list
  // as it is.
  void Load(const PortSettings& settings, bool enabled);
  // The settings the controls show. The baud rate is the one given when the
  // baud list shows no item.
  PortSettings Read(uint32_t currentRate) const;
  // Sets the indicators from the modem bits (bit 0 CTS, 1 DSR, 2 CD).
  void ShowModemLines(uint8_t bits);

  QToolButton* bDisable;
  QComboBox* BaudComboBox;
  QComboBox* ParityComboBox;
  QComboBox* BitsComboBox;
  QComboBox* StopComboBox;
  QCheckBox* RTSCheckBox;
  QCheckBox* DTRCheckBox;
  TTickedLabel* tlCTS;
  TTickedLabel* tlDSR;
  TTickedLabel* tlCD;

 signals:
  // A list or box was changed by the user (not by Load).
  void Changed();
  void DisableClicked(bool down);

 private:
  bool m_updatingControls = false;
};

}  // namespace tapwise
