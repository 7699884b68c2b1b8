#pragma once
#include <functional>
#include <string>

// Runs a piece of work that drives the site connection's engine. A window runs
// it on a worker thread and keeps its own event loop going meanwhile, so it
// never freezes on a slow server; tools and tests run it where they stand.
class IEngineRunner
{
public:
    virtual ~IEngineRunner() = default;
    // what says what is being waited for ("Listing /pub"); empty for quiet
    // work the user did not ask for (the keep-alive). True when the work ran
    // to its end; false when it was stopped, or refused because other work is
    // still running.
    virtual bool Run(const std::wstring& what, const std::function<void()>& work) = 0;
};
