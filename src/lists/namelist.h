#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <string>
#include <vector>

namespace vardo {

// The rows of a list of file-system names. A name becomes display text only when its row is
// drawn or searched, so that filling a list of a hundred thousand names costs little more than
// moving the names in.
class NameListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    const std::vector<std::string> &names() const { return names_; }
    void setNames(std::vector<std::string> names);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Type-ahead's search for the next row that starts with what was typed. Names are compared
    // as bytes while both sides are plain ASCII, so that a search through a large directory
    // makes display text only of the names that are not.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override;

protected:
    // Replaces the names inside a reset that the caller has begun.
    void replaceNames(std::vector<std::string> names) { names_ = std::move(names); }
    // What a row shows in a role other than its text: nothing unless a list adds it.
    virtual QVariant extraData(int row, int role) const;

private:
    std::vector<std::string> names_;
};

// A list of names with one selected row at most, drawn at a fixed row height.
class NameList : public QListView {
    Q_OBJECT

public:
    // The list takes the model as its child.
    NameList(NameListModel *rows, int rowHeight, QWidget *parent);

    int count() const;
    // The row of the current index, or -1.
    int currentRow() const;
    // Makes a row current and the only selected one; -1 clears both.
    void setCurrentRow(int row);
    // The row under a point of the viewport, or -1.
    int rowAt(const QPoint &point) const;

protected:
    NameListModel *rows() const { return rows_; }

private:
    NameListModel *rows_;
};

} // namespace vardo
