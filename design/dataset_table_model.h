// A dataset shown in a table view: one row per record, one column per field,
// headed by the fields' display labels. Fields that are not read-only can be
// edited; an edit is posted to the dataset at once.
#pragma once

#include <QAbstractTableModel>
#include <vector>

namespace qd {

class TDataSet;

class TDataSetTableModel : public QAbstractTableModel {
 public:
  explicit TDataSetTableModel(QObject* parent = nullptr);

  //! Shows another dataset (nullptr: none).
  void SetDataSet(TDataSet* dataset);
  TDataSet* DataSet() const { return FDataSet; }
  //! Reads the records again.
  void Refresh();
  //! The whole dataset may not be changed, whatever its fields say.
  void SetReadOnly(bool on);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 private:
  //! The record's field texts, read once per record as the view asks.
  const std::vector<QVariant>& Row(int row) const;
  TDataSet* FDataSet = nullptr;
  bool FReadOnly = false;
  mutable int FCachedRow = -1;
  mutable std::vector<QVariant> FCached;
};

}  // namespace qd
