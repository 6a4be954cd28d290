// Register access through the CMOS ports: select with the index port, then
// read or write the data port.
#include "cmos.h"
#include "pcio.h"

unsigned char ReadCmosByte(unsigned char reg)
{
    PortWriteByte(CMOS_INDEX_PORT, reg);
    return PortReadByte(CMOS_DATA_PORT);
}

void WriteCmosByte(unsigned char reg, unsigned char value)
{
    PortWriteByte(CMOS_INDEX_PORT, reg);
    PortWriteByte(CMOS_DATA_PORT, value);
}

int WaitForCmosUpdateEnd(void)
{
    int polls;

    for (polls = 0; polls < UIP_POLL_LIMIT; ++polls)
        if (!(ReadCmosByte(RTC_STATUS_A) & RTC_UPDATE_IN_PROGRESS))
            return 1;
    return 0;
}
