#pragma once

#include <string>

namespace tavor1 {

// What the identification learnt about the register of the current channel.
// Read by the conversion, the transmission and the SR_OUT writer.
struct RegisterFacts {
    bool registerIsRT = false; // a telematic (RT) register
    std::string serialNumber;    // shown in Text8
    std::string firmware;        // firmware text
    int modelCode = 0;           // register class from the "1214" reply
};

} // namespace tavor1
