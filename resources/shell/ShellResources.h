// The shell's user-interface resources: menu, accelerator table and toolbar 128, About
// dialog 100 and the string table. Install with AfxSetUiResources(&QuillmoteShellResources()).
#pragma once

#include "platform/win/UiResources.h"

constexpr UINT IDR_MAINFRAME = 128;
constexpr UINT IDD_ABOUTBOX = 100;
constexpr WORD QM_SHELL_LANGUAGE = 1041;

const UiResourceTable& QuillmoteShellResources();
