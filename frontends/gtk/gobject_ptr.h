// Owning handles for GLib objects and a typed way to connect GObject signals.
#pragma once

#include <glib-object.h>

#include <utility>

namespace kestrova::gtk {

// Holds one full reference to a GObject and drops it when destroyed.
template <typename T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Takes over a reference the caller already owns (sink floating ones first).
  explicit GObjectPtr(T* owned) : object_(owned) {}
  ~GObjectPtr() { reset(); }
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.object_, nullptr));
    }
    return *this;
  }

  [[nodiscard]] T* get() const { return object_; }
  [[nodiscard]] explicit operator bool() const { return object_ != nullptr; }
  void reset(T* owned = nullptr) {
    if (object_ != nullptr) {
      g_object_unref(object_);
    }
    object_ = owned;
  }

 private:
  T* object_ = nullptr;
};

// Takes a widget or other initially-floating object into a full reference.
template <typename T>
[[nodiscard]] GObjectPtr<T> adoptFloating(T* object) {
  g_object_ref_sink(object);
  return GObjectPtr<T>(object);
}

// A GError that frees itself.
class ErrorHolder {
 public:
  ErrorHolder() = default;
  ~ErrorHolder() {
    if (error_ != nullptr) {
      g_error_free(error_);
    }
  }
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
  [[nodiscard]] GError** out() { return &error_; }
  [[nodiscard]] const char* message() const { return error_ != nullptr ? error_->message : ""; }

 private:
  GError* error_ = nullptr;
};

// g_signal_connect without the C cast of G_CALLBACK: GLib calls the handler with the signal's
// own argument list, which the handler's type must match.
template <typename Handler>
gulong connectSignal(gpointer instance, const char* signal, Handler* handler, gpointer data) {
  return g_signal_connect_data(instance, signal, reinterpret_cast<GCallback>(handler), data,
                               nullptr, G_CONNECT_DEFAULT);
}

// A checked-by-the-caller cast from an untyped GLib pointer, spelled the C++ way.
template <typename T>
[[nodiscard]] T* as(gpointer object) {
  return static_cast<T*>(object);
}

}  // namespace kestrova::gtk
