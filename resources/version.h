// The program's version, read by the resource file and by the code.
#pragma once

#define KOLVANE_VERSION_MAJOR 1
#define KOLVANE_VERSION_MINOR 1
#define KOLVANE_VERSION_PATCH 0
#define KOLVANE_VERSION_BUILD 8
#define KOLVANE_VERSION_TEXT "1.01.0008"
#define KOLVANE_TITLE "Virus Windows Kolvane"
#define KOLVANE_INTERNAL_NAME "KolvaneBackdoorHeliosB"
#define KOLVANE_FILE_NAME "KolvaneBackdoorHeliosB.exe"
#define KOLVANE_AUTHOR "Haryono"
#define KOLVANE_COPYRIGHT "Copyright (C) 2026 Haryono"
