#include "frontends/gtk/app_actions.h"

#include "frontends/gtk/gobject_ptr.h"
#include "frontends/gtk/menu_widgets.h"

namespace kestrova::gtk {
namespace {

void collectEnabled(const Menu& menu, std::set<std::string, std::less<>>& names) {
  for (const MenuItem& item : menu.items) {
    for (const Menu& submenu : item.submenu) {
      collectEnabled(submenu, names);
    }
    if (item.enabled && item.target == MenuTarget::controller) {
      names.insert(actionNameFor(item));
    }
  }
}

}  // namespace

void AppActions::enableOnlyShown(const Menu& menu) {
  shown_.clear();
  collectEnabled(menu, shown_);
  for (const std::string& name : controllerActions_) {
    GAction* action = g_action_map_lookup_action(map_, name.c_str());
    if (action != nullptr && G_IS_SIMPLE_ACTION(action)) {
      g_simple_action_set_enabled(G_SIMPLE_ACTION(action), shown_.contains(name) ? TRUE : FALSE);
    }
  }
}

void AppActions::exportControllerActions(const Menu& menu) {
  for (const MenuItem& item : menu.items) {
    for (const Menu& submenu : item.submenu) {
      exportControllerActions(submenu);
    }
    const std::string name = actionNameFor(item);
    if (item.target != MenuTarget::controller || name.empty() || runs_.contains(name)) {
      continue;
    }
    runs_[name] = [this, name](GVariant* /*parameter*/) {
      loop_.postAfter(0, [this, name] {
        // Asked again when it runs: a command held under an alert may no longer be shown.
        if (handler_ != nullptr && shown_.contains(name)) {
          handler_->perform(name);
        }
      });
    };
    controllerActions_.insert(name);
    addAction(name, nullptr);
  }
}

void AppActions::add(const std::string& name, std::function<void()> run) {
  runs_[name] = [run = std::move(run)](GVariant* /*parameter*/) { run(); };
  addAction(name, nullptr);
}

void AppActions::addWithText(const std::string& name, std::function<void(const std::string&)> run) {
  runs_[name] = [run = std::move(run)](GVariant* parameter) {
    run(parameter != nullptr ? g_variant_get_string(parameter, nullptr) : "");
  };
  addAction(name, G_VARIANT_TYPE_STRING);
}

void AppActions::addAction(const std::string& name, const GVariantType* parameterType) {
  if (!g_action_name_is_valid(name.c_str())) {
    g_warning("Kestrova: menu action \"%s\" cannot be exported", name.c_str());
    return;
  }
  GObjectPtr<GSimpleAction> action(g_simple_action_new(name.c_str(), parameterType));
  connectSignal(action.get(), "activate", &AppActions::onActivate, this);
  g_action_map_add_action(map_, G_ACTION(action.get()));
}

void AppActions::onActivate(GSimpleAction* action, GVariant* parameter, gpointer self) {
  auto* actions = static_cast<AppActions*>(self);
  const auto found = actions->runs_.find(g_action_get_name(G_ACTION(action)));
  if (found != actions->runs_.end()) {
    // A copy: the action may change the set of actions while it runs.
    const auto run = found->second;
    run(parameter);
  }
}

}  // namespace kestrova::gtk
