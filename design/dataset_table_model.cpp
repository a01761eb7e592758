#include "design/dataset_table_model.h"

#include <QLocale>
#include <optional>

#include "engine/data/dataset.h"
#include "view/message_guard.h"

namespace qd {

namespace {

// The edited text as a value of the field's type; nullopt when it is none.
std::optional<TVariant> ParseValue(const TField& field, const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return TVariant{};
  bool ok = false;
  if (IsRealFieldType(field.DataType())) {
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok) return std::nullopt;
    return TVariant{v};
  }
  if (IsIntegerFieldType(field.DataType())) {
    const qlonglong v = t.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return TVariant{static_cast<std::int64_t>(v)};
  }
  if (field.DataType() == TFieldType::ftBoolean) return TVariant{t == "1" || t.toLower() == "true"};
  return TVariant{text.toStdString()};
}

}  // namespace

TDataSetTableModel::TDataSetTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void TDataSetTableModel::SetDataSet(TDataSet* dataset) {
  beginResetModel();
  FDataSet = dataset;
  FCachedRow = -1;
  endResetModel();
}

void TDataSetTableModel::Refresh() {
  SetDataSet(FDataSet);
}

void TDataSetTableModel::SetReadOnly(bool on) {
  FReadOnly = on;
}

int TDataSetTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !FDataSet || !FDataSet->Active()) return 0;
  return static_cast<int>(FDataSet->RecordCount());
}

int TDataSetTableModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !FDataSet || !FDataSet->Active()) return 0;
  return FDataSet->FieldCount();
}

const std::vector<QVariant>& TDataSetTableModel::Row(int row) const {
  if (row != FCachedRow) {
    FCached.clear();
    FDataSet->SetRecNo(row + 1);
    for (int c = 0; c < FDataSet->FieldCount(); ++c) {
      const TField& f = FDataSet->Fields(c);
      if (f.IsNull())
        FCached.emplace_back();
      else if (IsRealFieldType(f.DataType()))
        FCached.emplace_back(f.AsFloat());
      else
        FCached.emplace_back(QString::fromStdString(f.AsString()));
    }
    FCachedRow = row;
  }
  return FCached;
}

QVariant TDataSetTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  if (role == Qt::TextAlignmentRole)
    return IsRealFieldType(FDataSet->Fields(index.column()).DataType())
               ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
               : QVariant();
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const QVariant& v = Row(index.row())[static_cast<std::size_t>(index.column())];
  // Numbers are edited as text, every digit kept (a spin box would round them).
  if (v.typeId() == QMetaType::Double) return QLocale::c().toString(v.toDouble(), 'g', 15);
  return v;
}

QVariant TDataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (!FDataSet || section < 0 || section >= FDataSet->FieldCount()) return {};
  return QString::fromStdString(FDataSet->Fields(section).DisplayLabel());
}

Qt::ItemFlags TDataSetTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.isValid() && FDataSet && !FReadOnly && FDataSet->CanModify() &&
      !FDataSet->Fields(index.column()).ReadOnly())
    f |= Qt::ItemIsEditable;
  return f;
}

bool TDataSetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
  const std::optional<TVariant> v = ParseValue(FDataSet->Fields(index.column()), value.toString());
  if (!v) return false;
  const bool done = Guard([&] {
    FDataSet->SetRecNo(index.row() + 1);
    FDataSet->Edit();
    FDataSet->Fields(index.column()).SetValue(*v);
    FDataSet->Post();
  });
  FCachedRow = -1;
  emit dataChanged(index, index);
  return done;
}

}  // namespace qd
