// How the volume selector, the directory list and the all-files list follow each other.
#include "app/form1.h"

#include "symbols/symbolnavigator.h"
#include "lists/directorylistbox.h"
#include "lists/drivecombobox.h"
#include "lists/filelistbox.h"

namespace vardo {

void TForm1::driveChange()
{
    const std::string mountPoint = drive->selectedMountPoint();
    if (mountPoint.empty() || nav::volumeIndexOf(drive->volumes(), dir->directory()) ==
                                  nav::volumeIndexOf(drive->volumes(), mountPoint))
        return;
    dir->changeDirectory(mountPoint);
}

void TForm1::dirChange()
{
    listado->setDirectory(dir->directory());
    SetWindowCaption();
    drive->selectVolumeOf(dir->directory());
    symbols->directoryChanged(dir->directory());
}

} // namespace vardo
