// The program's own file, checked against the program that runs.
//
// Whoever may delete the program's file (for a download, the user who
// started it) may also rename it while it runs and put another program at
// its name. The arming copies the program's file to where every logon
// starts it with administrator rights, and the rights relaunch starts it:
// both must get the program that runs, never whatever its path holds.
//
// So the process opens its file at its entry point, before any code of the
// program has run, refusing writers, and compares the file's bytes with the
// image Windows mapped from the file it started: headers and sections, with
// the relocations the loader applied, leaving out only the import address
// table the loader fills. Nothing of the program has written to its image
// yet, so a file that passes is the program that runs, in every byte that
// is mapped. Later opens by path are checked to be that same file.
#pragma once

#include <cstddef>

#include "platform/win32/scoped_handle.h"

namespace kolvane::win32 {

// Whether file (size bytes) is the image mapped at image, as the loader
// left it before any of its code ran.
bool ImageMatchesFile(const unsigned char* image, const unsigned char* file, std::size_t size);

// Opens the file at path and keeps it open, refusing writers (renames stay
// possible: the copy the arming made renames itself away after the purge),
// when it is the image at image. True when it is.
bool CheckProgramFile(const wchar_t* path, const void* image);

// The bytes of the file CheckProgramFile kept, as they were when they were
// checked: a copy of the program is written from these, never from a
// second read of its file, which a file server or a device could answer
// with other bytes. Null when no file passed.
const unsigned char* CheckedProgramBytes(std::size_t& size);

// Opens the file at path for reading, refusing writers and renames, when it
// is the file CheckProgramFile kept; an invalid handle otherwise.
ScopedFileHandle OpenCheckedProgramFile(const wchar_t* path);

}  // namespace kolvane::win32
