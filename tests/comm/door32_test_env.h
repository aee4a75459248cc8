// Setting the environment that our fake BBS libraries read, while the test runs.
#pragma once

void SetTestEnv(const char* name, const char* value);
