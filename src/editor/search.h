// Finding players by name and deleting them.
#pragma once

void DeletePlayer();
void SearchPlayer();
