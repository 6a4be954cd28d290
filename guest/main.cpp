// The bare guest's machine: the entry from the boot sector, the BIOS timer's
// tick, the serial port for its lines and QEMU's debug-exit port for its end.
#include "pcio.h"
#include "plan.h"
#include "watch.h"

#define COM1_DATA 0x3F8
#define COM1_LINE_STATUS 0x3FD
#define LINE_STATUS_THR_EMPTY 0x20
// isa-debug-exit: QEMU ends with status (value << 1) | 1.
#define DEBUG_EXIT_PORT 0xF4

// The BIOS counts its timer ticks in its data area at 0040:006C; DS is 0.
static unsigned long TimerTicks(void)
{
    unsigned long ticks;

    __asm__ __volatile__("movl 0x46c, %0" : "=r"(ticks) : : "memory");
    return ticks;
}

// STI takes effect after the next instruction, so a tick that comes between
// the look and the HLT still wakes it.
void WaitForTimerTick(void)
{
    unsigned long seen = TimerTicks();

    for (;;) {
        DisableInterrupts();
        if (TimerTicks() != seen)
            break;
        __asm__ __volatile__("sti\n\thlt" : : : "memory");
    }
    EnableInterrupts();
}

static void WriteSerial(char c)
{
    while (!(PortReadByte(COM1_LINE_STATUS) & LINE_STATUS_THR_EMPTY)) {
    }
    PortWriteByte(COM1_DATA, (unsigned char)c);
}

void WriteLine(const char *text)
{
    while (*text)
        WriteSerial(*text++);
    WriteSerial('\r');
    WriteSerial('\n');
}

extern "C" void GuestMain(void)
{
    char text[PLAN_TEXT_SIZE];
    WatchPlan plan;

    ReadPlanText(text, sizeof text);
    ParseWatchPlan(text, &plan);
    PortWriteByte(DEBUG_EXIT_PORT, WatchClocks(&plan) ? 0 : 1);
}
