// The main edit screen and its command loop.
#pragma once

void MainLoop();
