// Instrument-body coefficient sets for the warped lattice filter, and the names of the body types.
#pragma once

constexpr int kNumBodyTables = 9;     // the fixed sets "None" .. "FormantA"
constexpr int kBodyCoefficients = 30; // coefficients per set, one per lattice section
constexpr int kNumBodyTypes = 14;     // twelve selectable types plus "User A" and "User B"

// The fixed sets, index 0 first; the first n of a set go into a filter of order n.
extern const double kBodyTables[kNumBodyTables][kBodyCoefficients];

// Set 0..8, or nullptr for any other index.
const double* bodyTable(int index);

// "None" .. "n-Random" (0..11), "User A" (12), "User B" (13); "" for any other index.
const char* bodyTypeName(int index);
