#pragma once

#include "core/files/volumes.h"

#include <QComboBox>
#include <string>
#include <vector>

namespace vardo {

// The volume selector, standing in for drives: one entry per mounted volume, built when the
// selector is first shown. Raises its change event once when first shown, and on a choice
// twice when the chosen volume differs from the selected one, else once.
class DriveComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveComboBox(QWidget *parent = nullptr);

    // Where the selector starts: the volume of this directory is selected at first show.
    void setStartDirectory(const std::string &directory) { startDirectory_ = directory; }
    const std::vector<nav::Volume> &volumes() const { return volumes_; }
    // The mount point of the selected volume, or empty when none is selected.
    std::string selectedMountPoint() const;
    // Selects the volume holding a directory without raising the change event.
    void selectVolumeOf(const std::string &directory);
    // Builds the entries (done at first show).
    void buildEntries(std::vector<nav::Volume> volumes);

signals:
    void volumeChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void choose(int index);

    std::vector<nav::Volume> volumes_;
    std::string startDirectory_;
    int selected_ = -1;
    bool built_ = false;
};

} // namespace vardo
