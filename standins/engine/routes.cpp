#include "standins/engine/routes.h"

#include <httplib.h>

#include <optional>

#include "standins/engine/dashboard_page.h"

namespace kestrova::engine {
namespace {

using nlohmann::json;

void reply(httplib::Response& response, const json& body, int status = 200) {
  response.status = status;
  // File names need not be UTF-8; replace what is not rather than fail the reply.
  response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace),
                       "application/json");
}

void refuse(httplib::Response& response, const std::string& message) {
  reply(response, {{"error", message}}, 400);
}

// The request's body as a JSON object, or absent after a refusal has been sent.
std::optional<json> objectBody(const httplib::Request& request, httplib::Response& response) {
  json body = json::parse(request.body, nullptr, false);
  if (!body.is_object()) {
    refuse(response, "The request body must be a JSON object.");
    return std::nullopt;
  }
  return body;
}

// A boolean member, or absent after a refusal has been sent.
std::optional<bool> flag(const json& body, const char* key, httplib::Response& response) {
  const auto found = body.find(key);
  if (found == body.end() || !found->is_boolean()) {
    refuse(response, std::string("The request needs the boolean \"") + key + "\".");
    return std::nullopt;
  }
  return found->get<bool>();
}

}  // namespace

void addRoutes(httplib::Server& server, EngineState& state) {
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kDashboardPage, "text/html; charset=utf-8");
  });
  server.Get("/api/status", [&state](const httplib::Request&, httplib::Response& response) {
    reply(response, state.status());
  });
  server.Post("/api/setup/folder", [&state](const httplib::Request& request,
                                            httplib::Response& response) {
    const std::optional<json> body = objectBody(request, response);
    if (!body) {
      return;
    }
    const auto path = body->find("path");
    if (path == body->end() || !path->is_string()) {
      refuse(response, "The request needs the folder's \"path\" as a string.");
      return;
    }
    const json result = state.setMediaFolder(path->get<std::string>());
    reply(response, result, result.contains("error") ? 400 : 200);
  });
  server.Post("/api/broadcast", [&state](const httplib::Request& request,
                                         httplib::Response& response) {
    const std::optional<json> body = objectBody(request, response);
    const std::optional<bool> enabled = body ? flag(*body, "enabled", response) : std::nullopt;
    if (enabled) {
      state.setEnabled(*enabled);
      reply(response, {{"enabled", *enabled}});
    }
  });
  server.Post("/api/live", [&state](const httplib::Request& request, httplib::Response& response) {
    const std::optional<json> body = objectBody(request, response);
    const std::optional<bool> live = body ? flag(*body, "live_mode", response) : std::nullopt;
    if (live) {
      const auto title = body->find("title");
      state.setLive(*live, title != body->end() && title->is_string() ? title->get<std::string>()
                                                                      : "Live event");
      reply(response, {{"live_mode", *live}});
    }
  });
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
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        reply(response, {{"error", "The engine could not answer that request."}}, 500);
      });
}

}  // namespace kestrova::engine
