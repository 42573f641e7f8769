#pragma once

#include <cstddef>

namespace qv::bench {

// Every heap allocation of a program that links this (operator new is replaced): how many
// there have been so far, on any thread.
std::size_t allocationCount();

} // namespace qv::bench
