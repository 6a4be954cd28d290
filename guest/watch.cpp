// The watch: the program's own reads, lines and judgement, and the fix
// companion's own step, in the order the plan gives, on whatever PC runs it.
#include "watch.h"
#include "clocks.h"
#include "fixstep.h"
#include "judgement.h"

// Past this many seconds without the end time the plan was wrong.
#define WATCH_SECONDS_LIMIT 60
#define RECORD_SIZE 80
// Where the time starts in a clock line " MM-DD-CCYY   hh:mm:ss".
#define LINE_TIME_OFFSET 14

static char *Append(char *out, const char *text)
{
    while (*text)
        *out++ = *text++;
    *out = '\0';
    return out;
}

static int SameText(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

static int IsTimeOf(const char *line, const char *time)
{
    return time[0] != '\0' && SameText(line + LINE_TIME_OFFSET, time);
}

static void CopyTime(char *time, const char *text)
{
    int i;

    for (i = 0; i < WATCH_TIME_SIZE - 1 && text[i] != '\0' && text[i] != ' '; ++i)
        time[i] = text[i];
    time[i] = '\0';
}

static const char *FindText(const char *text, const char *wanted)
{
    const char *a, *b;

    for (; *text; ++text) {
        for (a = text, b = wanted; *b && *a == *b; ++a, ++b) {
        }
        if (!*b)
            return a;
    }
    return 0;
}

void ParseWatchPlan(const char *text, WatchPlan *plan)
{
    const char *found;

    plan->fixAt[0] = '\0';
    plan->endAt[0] = '\0';
    if ((found = FindText(text, "fix=")) != 0)
        CopyTime(plan->fixAt, found);
    if ((found = FindText(text, "end=")) != 0)
        CopyTime(plan->endAt, found);
}

// The BIOS carry of this second comes from a read of its own.
static void WriteRecord(const char *cmosLine, const char *biosLine)
{
    char record[RECORD_SIZE];
    ClockReading bios;
    char *out = record;

    out = Append(out, "cmos");
    out = Append(out, cmosLine);
    out = Append(out, " bios");
    out = Append(out, biosLine);
    Append(out, GetBiosTime(&bios) ? " carry 1" : " carry 0");
    WriteLine(record);
}

// No operating system runs under the watch: the local date is the chip's, as
// an OS clock started from the chip and counting since would show.
static void WriteVerdict(void)
{
    ClockReading cmos;
    ClockReading bios = {0, 0, 0, 0, 0, 0, 0};
    int verdict;

    GetCmosTime(&cmos);
    GetBiosTime(&bios);
    verdict = JudgeTestReadings(&cmos, &bios, bcd2hex(cmos.century) * 100 + bcd2hex(cmos.year),
                                bcd2hex(cmos.month), bcd2hex(cmos.day));
    if (verdict == TEST_PASS)
        WriteLine("verdict Pass");
    else if (verdict == TEST_FAIL)
        WriteLine("verdict Fail");
    else
        WriteLine("verdict Unknown");
}

int WatchClocks(const WatchPlan *plan)
{
    char cmosLine[CLOCK_LINE_SIZE] = "";
    char biosLine[CLOCK_LINE_SIZE] = "";
    int seconds = 0;
    int fixing = 0;
    int newSecond;

    while (seconds < WATCH_SECONDS_LIMIT) {
        WaitForTimerTick();
        // As the companion's timer would, a step before the display's reads.
        if (fixing)
            FixClocks();
        newSecond = GetCmosDateTimeString(cmosLine);
        GetBiosDateTimeString(biosLine);
        if (!newSecond)
            continue;
        ++seconds;
        WriteRecord(cmosLine, biosLine);
        if (IsTimeOf(cmosLine, plan->endAt)) {
            WriteVerdict();
            return 1;
        }
        if (!fixing && IsTimeOf(cmosLine, plan->fixAt)) {
            WriteVerdict();
            WriteLine("fix");
            fixing = 1;
        }
    }
    WriteLine("gave up");
    return 0;
}
