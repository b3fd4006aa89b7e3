// Names of the body types, shared by the parameter read-out and the editor.
#pragma once

constexpr int kNumBodyTypeNames = 14;
// The read-out of a body-type parameter shows entries 0..kLastDisplayedBodyType only.
constexpr int kLastDisplayedBodyType = 11;

inline constexpr const char* kBodyTypeNames[kNumBodyTypeNames] = {
    "None",     "Guitar",   "Guitar 2", "Clavi",    "Varnesi", "Viola",  "Dravo",
    "Quenbel",  "FormantA", "Random",   "t-Random", "n-Random", "User A", "User B",
};
