// SPDX-License-Identifier: GPL-3.0-or-later
// The fault hook, which every platform's implementation of the seam asks.
#include "common/system_calls.h"

namespace cartonym {
namespace {

FaultHook& installed_hook()
{
    static FaultHook hook;
    return hook;
}

} // namespace

FaultHook set_fault_hook(FaultHook hook)
{
    FaultHook old = std::move(installed_hook());
    installed_hook() = std::move(hook);
    return old;
}

int injected_error(SystemOperation operation, const std::string& path)
{
    const auto& hook = installed_hook();
    return hook ? hook(operation, path) : 0;
}

} // namespace cartonym
