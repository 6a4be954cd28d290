// The PC hardware primitives as x86 instructions: 32-bit for the Windows build,
// where Windows 95/98 lets a Win32 program reach ports 0x70/0x71 and INT 1Ah
// directly, and the same instructions in real mode for the bare guest.
#include "pcio.h"

unsigned char PortReadByte(unsigned short port)
{
    unsigned char value;
    __asm__ __volatile__("inb %w1, %0" : "=a"(value) : "Nd"(port));
    return value;
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    __asm__ __volatile__("outb %0, %w1" : : "a"(value), "Nd"(port));
}

void DisableInterrupts(void)
{
    __asm__ __volatile__("cli" : : : "memory");
}

void EnableInterrupts(void)
{
    __asm__ __volatile__("sti" : : : "memory");
}

void CallBiosTimeService(union BiosRegs *regs)
{
    unsigned short ax = regs->x.ax, cx = regs->x.cx, dx = regs->x.dx;
    unsigned char carry;
    __asm__ __volatile__("int $0x1a\n\tsetc %b3"
                         : "+a"(ax), "+c"(cx), "+d"(dx), "=q"(carry)
                         :
                         : "memory", "cc");
    regs->x.ax = ax;
    regs->x.cx = cx;
    regs->x.dx = dx;
    regs->x.cflag = carry;
}
