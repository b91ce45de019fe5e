// The program's embedded resources: the files under resources/assets compiled into the
// executable, as a resource module for platform/win/Resources.h.
//
//   type "modeldata" 132   the character model (chunk file)
//   type "motiondata" 133  its dance (chunk file, 90 frames)
//   type "bmpdata" 138     texture colour: 256 x 256 24-bit Windows bitmap file
//   type "bmpdata" 140     texture alpha: same format, grey (the first byte of a pixel is its alpha)
//   RT_BITMAP 128          toolbar image: Windows bitmap file, 24-bit, 80 x 15 (five 16 x 15
//                          buttons: cut, copy, paste, print, about); colour (192, 192, 192)
//                          is the button face and shows as transparent
//   RT_GROUP_ICON 128      program icon: one PNG image file (32 x 32, RGBA), not the Win32
//                          icon directory format
//
// Every entry has language 1041 (Japanese). The files come from resources/assets, written by
// quillmote-author (see resources/README.md).
#pragma once

#include "platform/win/Resources.h"

const ResourceModule* QuillmoteResources();

// Makes QuillmoteResources() the program's module (what a null HMODULE stands for).
void InstallQuillmoteResources();
