// The marriage editor (key Z).
#pragma once

void MarriageEditor();
