/* The watch's plan as the test hands it to QEMU: a firmware configuration
 * file, -fw_cfg name=opt/tolvane/plan,string=TEXT. */
#ifndef TOLVANE_PLAN_H
#define TOLVANE_PLAN_H

#define PLAN_TEXT_SIZE 64

/* The plan's text, cut to fit and terminated; empty when there is none. */
void ReadPlanText(char *text, int size);

#endif
