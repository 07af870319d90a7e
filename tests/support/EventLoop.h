#pragma once

// Sockets, simulators and the driver's waits all run on the Qt event loop,
// which needs an application object; gtest's main makes none. Including this
// header gives the test program one, made before its first test.

#include <gtest/gtest.h>

#include <functional>

namespace tavor1::test {

void ensureCoreApplication();

// Runs events until done() or the deadline (ms) passes; true when done.
bool waitUntil(const std::function<bool()>& done, int deadlineMs = 5000);

::testing::Environment* newApplicationEnvironment();

// One registration per program, however many files include this header.
inline ::testing::Environment* const applicationEnvironment =
    ::testing::AddGlobalTestEnvironment(newApplicationEnvironment());

} // namespace tavor1::test
