#pragma once

// The equaliser engine. Placeholder until the band filters land.
class CDSP
{
public:
    void reset() {}
};
