/* The ids of the Windows executable's resources (Pennaroc.rc), shared with
   the code that loads them. Plain definitions: the resource compiler reads
   this file too. */
#pragma once

/* The program icon: the title bar, the task bar and the executable's own. */
#define PENNAROC_PROGRAM_ICON 1
/* The hand pointer shown over link labels. */
#define PENNAROC_HAND_CURSOR 101
