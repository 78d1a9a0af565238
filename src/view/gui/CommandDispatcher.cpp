#include "view/gui/CommandDispatcher.h"

#include <utility>

void CommandDispatcher::setHandler(int id, Handler handler)
{
    handlers_[id] = std::move(handler);
}

void CommandDispatcher::setEnabledRule(int id, EnabledRule rule)
{
    enabledRules_[id] = std::move(rule);
}

bool CommandDispatcher::dispatch(int id) const
{
    const auto found = handlers_.find(id);
    if (found == handlers_.end() || !found->second)
        return false;
    found->second();
    return true;
}

bool CommandDispatcher::isHandled(int id) const
{
    const auto found = handlers_.find(id);
    return found != handlers_.end() && found->second;
}

bool CommandDispatcher::isEnabled(int id) const
{
    const auto found = enabledRules_.find(id);
    return found == enabledRules_.end() || !found->second || found->second();
}
