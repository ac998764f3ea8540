#pragma once
// Where the arrow keys go from an option button, the same on every backend: to the next
// option button of its group (the option buttons of its container) in the tab order with
// Down and Right, to the one before with Up and Left, round the ends, as the dialog keys of
// Windows move within a group. The key also chooses the button it lands on.
#include <algorithm>
#include <vector>

#include "control.h"
#include "control_order.h"
#include "window.h"

namespace tolvane {

inline OptionButton* nextInGroup(const OptionButton& from, bool forward)
{
    std::vector<OptionButton*> group;
    for (Control* c : tabOrder(from.window()))
        if (c->kind() == ControlKind::OptionButton && c->container() == from.container() && c->visible() &&
            c->enabled())
            group.push_back(static_cast<OptionButton*>(c));
    const auto at = std::find(group.begin(), group.end(), &from);
    if (at == group.end() || group.size() < 2) return nullptr;
    const auto index = static_cast<size_t>(at - group.begin());
    return group[(index + (forward ? 1 : group.size() - 1)) % group.size()];
}

}  // namespace tolvane
