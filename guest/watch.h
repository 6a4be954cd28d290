/* Watching the CMOS and BIOS clocks the way the program's live display does,
 * once a tick of the BIOS timer (18.2 Hz), and writing down a record for each
 * second of the CMOS clock. The bare guest runs it on QEMU's PC; the tests run
 * the same code on the simulated PC and compare the two records. */
#ifndef TOLVANE_WATCH_H
#define TOLVANE_WATCH_H

/* "hh:mm:ss" and its terminator; empty for "never". */
#define WATCH_TIME_SIZE 9

/* When, by the CMOS line's time, the watch judges the clocks and starts the
 * companion's fix step, and when it judges them again and ends. */
typedef struct WatchPlan {
    char fixAt[WATCH_TIME_SIZE];
    char endAt[WATCH_TIME_SIZE];
} WatchPlan;

/* From text such as "fix=00:00:03 end=00:00:08"; an item left out is never. */
void ParseWatchPlan(const char *text, WatchPlan *plan);

/* Writes a line for each second of the CMOS clock:
 *     cmos <CMOS line> bios <BIOS line> carry <0|1>
 * then "verdict Pass|Fail|Unknown" at the fix time (followed by "fix") and at
 * the end time. Returns 1 at the end time, 0 when it never came ("gave up"). */
int WatchClocks(const WatchPlan *plan);

/* What the machine under the watch provides. */
void WaitForTimerTick(void);
void WriteLine(const char *text);

#endif
