// The parameter ports as the Turtle files describe them: symbols and names from the parameter table,
// defaults from program 0, scale points for the switches and the body types.
#include "lv2/PortTable.h"

#include "dsp/BodyTable.h"
#include "params/ParameterApplication.h"
#include "params/ParameterText.h"
#include "params/ProgramBank.h"

#include <cctype>

namespace
{
// The body types a value of 0..1 selects: twelve bins, each kept as the middle of its twelfth.
constexpr int kSelectableBodyTypes = 12;

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string nameAt(int32_t index, float value)
{
    float values[kNumParams] = {};
    values[index] = value;
    char text[kParameterTextSize] = {};
    parameterName(index, values, text);
    return trimmed(text);
}

// The positions the voice tells apart: polarity and quality split at 0.5, the filter position at the
// thirds. Values between them are kept as they are (programs hold such values), so these only label.
std::vector<ScalePoint> switchPoints(int32_t index)
{
    switch (index)
    {
    case kPolarity2:
    {
        std::vector<ScalePoint> points;
        for (float v : {0.0f, 1.0f})
        {
            float values[kNumParams] = {};
            values[index] = v;
            char text[kParameterTextSize] = {};
            parameterDisplay(index, values, text);
            points.push_back({v, text});
        }
        return points;
    }
    case kFilterTopology:
        return {{0.0f, "A > B"}, {0.5f, "B > A"}, {1.0f, "Output"}};
    case kQuality:
        return {{0.0f, "normal"}, {1.0f, "high"}};
    default:
        return {};
    }
}

std::vector<ScalePoint> bodyTypePoints(int32_t index)
{
    std::vector<ScalePoint> points;
    for (int type = 0; type < kSelectableBodyTypes; type++)
    {
        // The stored value of the bin's lower edge is the middle of the bin.
        const float value = storedParameterValue(index, static_cast<float>(type) / kSelectableBodyTypes);
        points.push_back({value, bodyTypeName(type)});
    }
    return points;
}
} // namespace

std::string portSymbol(const std::string& name)
{
    std::string symbol;
    bool gap = false;
    for (char c : name)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0)
        {
            if (gap && !symbol.empty())
                symbol.push_back('_');
            // A symbol may not start with a digit.
            if (symbol.empty() && std::isdigit(u) != 0)
                symbol.push_back('p');
            gap = false;
            symbol.push_back(static_cast<char>(std::tolower(u)));
        }
        else
        {
            gap = true;
        }
    }
    return symbol;
}

std::string portName(int32_t index)
{
    const std::string low = nameAt(index, 0.0f);
    const std::string high = nameAt(index, 1.0f);
    if (low == high)
        return low;
    std::string both = low;
    both.append(" / ");
    both.append(high);
    return both;
}

std::array<float, kNumParams> startValues()
{
    ProgramBank bank;
    bank.loadFactoryPresets();
    std::array<float, kNumParams> values{};
    for (int32_t i = 0; i < kNumParams; i++)
        values[static_cast<size_t>(i)] = storedParameterValue(i, bank.program(0).fParams[i]);
    return values;
}

std::vector<ParameterPort> parameterPorts()
{
    const std::array<float, kNumParams> defaults = startValues();
    std::vector<ParameterPort> ports;
    for (int32_t i = 0; i < kNumParams; i++)
    {
        ParameterPort port;
        port.name = portName(i);
        port.symbol = portSymbol(port.name);
        port.defaultValue = defaults[static_cast<size_t>(i)];
        if (i == kBodyType1 || i == kBodyType2)
        {
            port.scalePoints = bodyTypePoints(i);
            port.enumeration = true;
        }
        else
        {
            port.scalePoints = switchPoints(i);
        }
        ports.push_back(port);
    }
    return ports;
}
