// The statistics repair: fixed rules for negative and above-range values.
#pragma once

void RepairStats();
