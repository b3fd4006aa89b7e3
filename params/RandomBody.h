// Fills a body coefficient set with seeded random values, a product of two draws each.
#pragma once

#include <cstdint>

void fillRandomBody(double* coefficients, uint32_t seed, int count);
