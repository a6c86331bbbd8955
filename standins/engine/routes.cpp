#include "standins/engine/routes.h"

#include <exception>
#include <functional>

#include "standins/engine/dashboard_page.h"

namespace kestrova::engine {
namespace {

using nlohmann::json;

Reply reply(const json& body, int status) {
  // File names need not be UTF-8; replace what is not rather than fail the reply.
  return {status, "application/json", body.dump(-1, ' ', false, json::error_handler_t::replace)};
}

// A POST endpoint whose body must be a JSON object; a reply with `error` is a refusal.
Reply objectEndpoint(const Request& request, const std::function<json(const json&)>& handle) {
  const json body = json::parse(request.body, nullptr, false);
  const json result =
      body.is_object() ? handle(body) : json{{"error", "The request body must be a JSON object."}};
  return reply(result, result.contains("error") ? 400 : 200);
}

json missing(const char* what) {
  return {{"error", std::string("The request needs ") + what + "."}};
}

json setBroadcast(EngineState& state, const json& body) {
  const auto enabled = body.find("enabled");
  if (enabled == body.end() || !enabled->is_boolean()) return missing("the boolean \"enabled\"");
  state.setEnabled(enabled->get<bool>());
  return json{{"enabled", *enabled}};
}

json setLive(EngineState& state, const json& body) {
  const auto live = body.find("live_mode");
  if (live == body.end() || !live->is_boolean()) return missing("the boolean \"live_mode\"");
  const auto title = body.find("title");
  state.setLive(live->get<bool>(), title != body.end() && title->is_string()
                                       ? title->get<std::string>()
                                       : "Live event");
  return json{{"live_mode", *live}};
}

Reply route(const Request& request, EngineState& state) {
  const std::string call = request.method + " " + request.path;
  if (call == "GET /") return {200, "text/html; charset=utf-8", kDashboardPage};
  if (call == "GET /api/status") return reply(state.status(), 200);
  if (call == "POST /api/setup/folder") {
    return objectEndpoint(request, [&state](const json& body) {
      const auto path = body.find("path");
      return path != body.end() && path->is_string()
                 ? state.setMediaFolder(path->get<std::string>())
                 : missing("the folder's \"path\" as a string");
    });
  }
  if (call == "POST /api/broadcast") {
    return objectEndpoint(request,
                          [&state](const json& body) { return setBroadcast(state, body); });
  }
  if (call == "POST /api/live") {
    return objectEndpoint(request, [&state](const json& body) { return setLive(state, body); });
  }
  return reply({{"error", "Not found."}}, 404);
}

}  // namespace

// Failures inside a handler still answer in JSON.
Reply answer(const Request& request, EngineState& state) {
  try {
    return route(request, state);
  } catch (const std::exception&) {
    return reply({{"error", "The engine could not answer that request."}}, 500);
  }
}

}  // namespace kestrova::engine
