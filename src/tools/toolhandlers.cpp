// The context-menu helpers of the file lists.
#include "app/form1.h"

#include "core/base/paths.h"
#include "lists/filelistbox.h"
#include "core/batch/batchline.h"
#include "tools/shellexec.h"

namespace vardo {

void TForm1::openwithnotepad1Click()
{
    tools::writeBatchFile("gonotepad.bat", tools::batchLine("notepad", qclista->selectedFilePath()));
    tools::shellExecute("gonotepad.bat", tools::ShowMode::Hidden);
}

void TForm1::shellopen1Click()
{
    tools::writeBatchFile("goshell.bat", tools::batchLine("start", listado->selectedFilePath()));
    tools::shellExecute("goshell.bat", tools::ShowMode::Hidden);
}

void TForm1::ExploreFolder1Click()
{
    tools::shellExecute(paths::directoryPart(listado->selectedFilePath()), tools::ShowMode::Normal);
}

} // namespace vardo
