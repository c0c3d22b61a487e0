// Included first by every file of the window face that includes the
// toolkit. FreeImage.h, which the picture headers bring in, defines
// _WINDOWS_ (the Windows headers' own guard) to declare Windows types of
// its own; the toolkit's headers take that macro as a sign that the
// Windows headers are present and look for Windows-only files. FreeImage
// comes first here and the macro goes, so the two never meet.
#pragma once

#include <FreeImage.h>

#undef _WINDOWS_
