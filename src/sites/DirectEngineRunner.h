#pragma once
#include "IEngineRunner.h"

// Runs the work on the calling thread: for tools and tests, which have no
// window to keep alive.
class CDirectEngineRunner : public IEngineRunner
{
public:
    bool Run(const std::wstring&, const std::function<void()>& work) override
    {
        work();
        return true;
    }
};
