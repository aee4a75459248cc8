// Door mode: the command-line options and drop file, the caller's channel and the session clocks.
#pragma once

// Called by the editor's start when the first argument begins with "-".
void DoorStartup();
