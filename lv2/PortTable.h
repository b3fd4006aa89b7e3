// What the Turtle files say about each parameter port, derived from the parameter table and program 0.
#pragma once

#include "params/Parameters.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ScalePoint
{
    float value = 0.0f;
    std::string label;
};

struct ParameterPort
{
    std::string symbol;
    std::string name;
    float defaultValue = 0.0f;
    std::vector<ScalePoint> scalePoints;
    // Every value the plug-in keeps is one of the scale points (the body types snap to theirs).
    bool enumeration = false;
};

// A port symbol from a parameter name: lower case, each run of other characters one underscore, none at
// either end ("Vel -> Bright" gives "vel_bright").
std::string portSymbol(const std::string& name);

// The name shown for parameter index: its name with the surrounding blanks dropped; a parameter named
// after the side of the range its value is on gets both names ("Quantize / Noise").
std::string portName(int32_t index);

// The 38 values of program 0 as they are stored once the plug-in has applied it at start.
std::array<float, kNumParams> startValues();

// The 38 parameter ports in index order.
std::vector<ParameterPort> parameterPorts();
