#include "standins/engine/routes.h"

#include <httplib.h>

#include <functional>

#include "standins/engine/dashboard_page.h"

namespace kestrova::engine {
namespace {

using nlohmann::json;

void reply(httplib::Response& response, const json& body, int status) {
  response.status = status;
  // File names need not be UTF-8; replace what is not rather than fail the reply.
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace),
                       "application/json");
}

// A POST endpoint whose body must be a JSON object; a reply with `error` is a refusal.
httplib::Server::Handler objectEndpoint(std::function<json(const json&)> handle) {
  return
      [handle = std::move(handle)](const httplib::Request& request, httplib::Response& response) {
        const json body = json::parse(request.body, nullptr, false);
        const json result = body.is_object()
                                ? handle(body)
                                : json{{"error", "The request body must be a JSON object."}};
        reply(response, result, result.contains("error") ? 400 : 200);
      };
}

json missing(const char* what) {
  return {{"error", std::string("The request needs ") + what + "."}};
}

}  // namespace

void addRoutes(httplib::Server& server, EngineState& state) {
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kDashboardPage, "text/html; charset=utf-8");
  });
  server.Get("/api/status", [&state](const httplib::Request&, httplib::Response& response) {
    reply(response, state.status(), 200);
  });
  server.Post("/api/setup/folder", objectEndpoint([&state](const json& body) {
                const auto path = body.find("path");
                return path != body.end() && path->is_string()
                           ? state.setMediaFolder(path->get<std::string>())
                           : missing("the folder's \"path\" as a string");
              }));
  server.Post("/api/broadcast", objectEndpoint([&state](const json& body) {
                const auto enabled = body.find("enabled");
                if (enabled == body.end() || !enabled->is_boolean()) {
                  return missing("the boolean \"enabled\"");
                }
                state.setEnabled(enabled->get<bool>());
                return json{{"enabled", *enabled}};
              }));
  server.Post("/api/live", objectEndpoint([&state](const json& body) {
                const auto live = body.find("live_mode");
                if (live == body.end() || !live->is_boolean()) {
                  return missing("the boolean \"live_mode\"");
                }
                const auto title = body.find("title");
                state.setLive(live->get<bool>(), title != body.end() && title->is_string()
                                                     ? title->get<std::string>()
                                                     : "Live event");
                return json{{"live_mode", *live}};
              }));
  // Unknown addresses and failures inside a handler still answer in JSON.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) {
          return httplib::Server::HandlerResponse::Unhandled;
        }
        reply(response, {{"error", response.status == 404 ? "Not found." : "Bad request."}},
              response.status);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, const std::exception_ptr&) {
        reply(response, {{"error", "The engine could not answer that request."}}, 500);
      });
}

}  // namespace kestrova::engine
