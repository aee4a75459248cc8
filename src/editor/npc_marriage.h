// The characters' marriage files MARRAGE.DAT (Quenna) and MARBARD.DAT (Dask Able), and the work
// records through which the editor reads and writes other players.
#pragma once
#include <cstdint>

int32_t ReadQuennaSpouse();
int32_t ReadDaskSpouse();
bool AnyNpcFileExists();
void LoadWorkRecord(int32_t n, int work);
void SaveWorkRecord(int32_t n, int work);
