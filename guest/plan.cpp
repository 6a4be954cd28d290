// Reading the plan from QEMU's firmware configuration device: a selector
// port, a data port, and a directory of named files, big-endian.
#include "plan.h"
#include "pcio.h"

#define FW_CFG_SELECTOR 0x510
#define FW_CFG_DATA 0x511
#define FW_CFG_FILE_DIR 0x19
#define FW_CFG_NAME_SIZE 56

static const char kPlanFile[] = "opt/tolvane/plan";

static void SelectItem(unsigned short item)
{
    __asm__ __volatile__("outw %0, %w1" : : "a"(item), "Nd"((unsigned short)FW_CFG_SELECTOR));
}

static unsigned long ReadBigEndian(int bytes)
{
    unsigned long value = 0;

    while (bytes-- > 0)
        value = value << 8 | PortReadByte(FW_CFG_DATA);
    return value;
}

static int IsPlanFile(const char *name)
{
    int i;

    for (i = 0; kPlanFile[i] != '\0'; ++i)
        if (name[i] != kPlanFile[i])
            return 0;
    return name[i] == '\0';
}

void ReadPlanText(char *text, int size)
{
    char name[FW_CFG_NAME_SIZE];
    unsigned long files, length = 0, i;
    unsigned short item = 0;
    int n;

    SelectItem(FW_CFG_FILE_DIR);
    files = ReadBigEndian(4);
    for (i = 0; i < files; ++i) {
        unsigned long fileLength = ReadBigEndian(4);
        unsigned short fileItem = (unsigned short)ReadBigEndian(2);

        ReadBigEndian(2);
        for (n = 0; n < FW_CFG_NAME_SIZE; ++n)
            name[n] = (char)PortReadByte(FW_CFG_DATA);
        name[FW_CFG_NAME_SIZE - 1] = '\0';
        if (IsPlanFile(name)) {
            item = fileItem;
            length = fileLength;
        }
    }
    n = 0;
    if (item) {
        SelectItem(item);
        for (; n < size - 1 && (unsigned long)n < length; ++n)
            text[n] = (char)PortReadByte(FW_CFG_DATA);
    }
    text[n] = '\0';
}
