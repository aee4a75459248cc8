// The main screen's field editors: number editors, text editors and toggles, each from its table.
#pragma once
#include <cstdint>
#include <optional>

#include "editor/field_tables.h"
#include "editor/key_table.h"

// Runs the editor or toggle of a main-screen field key (1-9, 0, A-P, @); false for other keys. A
// toggle whose flag shows beyond its own field draws the screen with draw_screen before it saves.
bool RunFieldEditor(char key, DrawScreen draw_screen);
// The new-day command's two questions: the answer clamped as the editor would store it, or nothing
// when Esc backed out. Nothing is saved: the new day writes it with the rest of its changes.
std::optional<int32_t> AskForestFights();
std::optional<int32_t> AskPlayerFights();

// One number editor's question and save; the extended screen runs its table's rows through it too.
void RunNumberEditor(const NumberEditor& editor);
// Its question alone: the clamped answer, or nothing when Esc backed out.
std::optional<int32_t> AskNumber(const NumberEditor& editor);
