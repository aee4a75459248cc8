// The editor's screens are tables keyed by a command character; this finds a key's row.
#pragma once
#include <cstddef>

template <typename Row, size_t N>
const Row* FindKeyRow(const Row (&table)[N], char key) {
  for (const Row& row : table)
    if (row.key == key) return &row;
  return nullptr;
}
