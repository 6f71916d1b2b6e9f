#include "gui/userpackets/UserPacketsModel.h"

#include "core/userpackets/UserPacketEditing.h"
#include "core/userpackets/UserPacketKeys.h"
#include "gui/controls/AnsiText.h"

namespace tapwise {

namespace {

const char* const Titles[] = {"Key", "User Packet", "Trigger"};

}  // namespace

UserPacketsModel::UserPacketsModel(UserPacketTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {}

std::string UserPacketsModel::CellText(int col, int row) const {
  if (col < KeyColumn || col > TriggerColumn) return {};
  if (row == 0) return Titles[col];
  switch (col) {
    case KeyColumn:
      return KeyLabel(row);
    case PacketColumn:
      return m_table.PacketText(row);
    default:
      return m_table.TriggerText(row);
  }
}

bool UserPacketsModel::SetCellText(int col, int row, std::string_view text) {
  if (!ValidUserPacketRow(row) || (col != PacketColumn && col != TriggerColumn)) return false;
  if (col == PacketColumn) {
    m_table.SetPacketText(row, text);
  } else {
    m_table.SetTriggerText(row, text);
  }
  const QModelIndex changed = index(row - 1, col - 1);
  emit dataChanged(changed, changed);
  return true;
}

void UserPacketsModel::Reload() {
  emit dataChanged(index(0, 0), index(UserPacketRowCount - 1, 1));
  emit headerDataChanged(Qt::Vertical, 0, UserPacketRowCount - 1);
}

int UserPacketsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : UserPacketRowCount;
}

int UserPacketsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant UserPacketsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return AnsiToQString(CellText(index.column() + 1, index.row() + 1));
}

QVariant UserPacketsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  return AnsiToQString(orientation == Qt::Horizontal ? CellText(section + 1, 0) : CellText(KeyColumn, section + 1));
}

Qt::ItemFlags UserPacketsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool UserPacketsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  const int col = index.column() + 1;
  const int row = index.row() + 1;
  const std::string text = TrimPacketText(QStringToAnsi(value.toString()));
  // Leaving a cell without changing it changes nothing: the project stays
  // as it was and the triggers are not rebuilt (nor their errors shown again).
  if (text == CellText(col, row)) return true;
  if (!SetCellText(col, row, text)) return false;
  emit TextEdited();
  return true;
}

}  // namespace tapwise
