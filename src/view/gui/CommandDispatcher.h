#pragma once

#include <functional>
#include <unordered_map>

// Routes every command id (menus, keys) to the one handler registered for it. A command whose
// feature has not registered a handler yet is accepted and does nothing; isHandled() tells.
class CommandDispatcher {
public:
    using Handler = std::function<void()>;
    using EnabledRule = std::function<bool()>;

    void setHandler(int id, Handler handler);
    // The menus ask the rule each time they open; a command without a rule is always enabled.
    void setEnabledRule(int id, EnabledRule rule);

    // Runs the command's handler; false when it has none.
    bool dispatch(int id) const;
    bool isHandled(int id) const;
    bool isEnabled(int id) const;

private:
    std::unordered_map<int, Handler> handlers_;
    std::unordered_map<int, EnabledRule> enabledRules_;
};
