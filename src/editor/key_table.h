// The editor's screens are tables keyed by a command character; this finds a key's row.
#pragma once
#include <cstddef>

// One screen row of two labelled fields, each shown with the value text of its key. The labels carry
// their own column codes.
struct FieldPairRow {
  const char* left_label;
  char left_key;
  const char* right_label;
  char right_key;
};

// The main screen's drawing, handed to a command that shows the screen before it has finished (the
// lines it shows next stand under it).
using DrawScreen = void (*)();

template <typename Row, size_t N>
const Row* FindKeyRow(const Row (&table)[N], char key) {
  for (const Row& row : table)
    if (row.key == key) return &row;
  return nullptr;
}
