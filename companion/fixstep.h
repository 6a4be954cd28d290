/* The fix companion's one step, run four times a second while it runs: it
 * needs only the PC's ports and its BIOS, so the bare guest on an emulated PC
 * runs the very same step. */
#ifndef TOLVANE_FIXSTEP_H
#define TOLVANE_FIXSTEP_H

/* Carries a legacy chip's century byte from 19 to 20 when the year has
 * wrapped to 00, then mends a BIOS that kept century 19 in its own memory
 * while the chip says 20 on the same date. */
void FixClocks(void);

#endif
