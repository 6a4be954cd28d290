/* The PC hardware primitives: byte I/O on the ISA ports, the interrupt flag and
 * the BIOS time-of-day interrupt 1Ah. Inline x86 on Windows (pcio_x86.cpp); the
 * simulated PC on the host. Nothing else of the hardware is visible to the program. */
#ifndef TOLVANE_PCIO_H
#define TOLVANE_PCIO_H

#ifdef __cplusplus
extern "C" {
#endif

unsigned char PortReadByte(unsigned short port);
void PortWriteByte(unsigned short port, unsigned char value);
void DisableInterrupts(void);
void EnableInterrupts(void);

/* The classic register block of a real-mode software interrupt: byte halves and
 * the carry flag that the BIOS sets on failure. */
struct BiosByteRegs {
    unsigned char al, ah, bl, bh, cl, ch, dl, dh;
};
struct BiosWordRegs {
    unsigned short ax, bx, cx, dx, cflag;
};
union BiosRegs {
    struct BiosWordRegs x;
    struct BiosByteRegs h;
};

/* INT 1Ah with the registers in *regs; on return *regs holds the BIOS's
 * registers and x.cflag is non-zero when the carry flag was set. */
void CallBiosTimeService(union BiosRegs *regs);

#ifdef __cplusplus
}
#endif

#endif
