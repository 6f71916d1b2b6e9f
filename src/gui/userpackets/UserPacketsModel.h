#pragma once
// The user packet table as the grid of the User Defined Packets window sees
// it: 60 rows of packet text and trigger text, labelled with their keys. It
// holds nothing of its own; every read and write goes to the table. Cells
// are named in the grid's coordinates: column 0 the key labels (the grid's
// fixed column, the model's row headers), 1 the packet, 2 the trigger (the
// model's columns 0 and 1); row 0 the titles, rows 1..60 the table's rows
// (the model's rows 0..59). Main thread only.

#include <QAbstractTableModel>

#include <string>
#include <string_view>

#include "core/userpackets/UserPacketTable.h"

namespace tapwise {

class UserPacketsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { KeyColumn = 0, PacketColumn = 1, TriggerColumn = 2 };

  explicit UserPacketsModel(UserPacketTable& table, QObject* parent = nullptr);

  // What grid cell (col, row) shows and Copy takes: the titles in row 0,
  // the key labels in column 0, the texts in columns 1 and 2.
  std::string CellText(int col, int row) const;
  // Stores the text of a packet or trigger cell as it stands; false (and
  // nothing stored) for any other cell.
  bool SetCellText(int col, int row, std::string_view text);
  // The table changed under the grid (a row move, a project read).
  void Reload();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // An edited cell is stored trimmed of its leading and trailing 00h..20h;
  // TextEdited follows when that changed the text.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  // A cell editor stored a new text.
  void TextEdited();

 private:
  UserPacketTable& m_table;
};

}  // namespace tapwise
