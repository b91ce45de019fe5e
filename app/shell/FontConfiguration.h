// The font configuration read ahead on a second thread. The toolkit reads the font
// configuration and cache the first time it measures text; started early, the read overlaps
// with the toolkit's start and the windows' creation, and the toolkit finds it done.
#pragma once

// Starts the read (once; later calls do nothing).
void StartReadingFontConfiguration();

// Waits until the read has finished; call before the first text is measured, and before the
// program ends. Does nothing when no read was started.
void FinishReadingFontConfiguration();

// How long FinishReadingFontConfiguration waited for the read, in milliseconds.
double FontConfigurationWaitMs();
