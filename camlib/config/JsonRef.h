#pragma once

// An owning reference to a Jansson value: releases its reference when it
// goes. Values borrowed from inside it (json_object_get and friends) stay
// valid only while it lives.

#include <jansson.h>

#include <string_view>
#include <utility>

namespace veltrion {

class JsonRef {
public:
    JsonRef() = default;
    // Takes over a reference the caller owns (a new value or a parse result).
    explicit JsonRef(json_t* owned) : value_(owned) {}
    ~JsonRef() { reset(); }
    JsonRef(JsonRef&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    JsonRef& operator=(JsonRef&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = std::exchange(other.value_, nullptr);
        }
        return *this;
    }
    JsonRef(const JsonRef&) = delete;
    JsonRef& operator=(const JsonRef&) = delete;

    // Parses a text of the given length; an empty reference when it is not JSON.
    static JsonRef parse(std::string_view text) {
        json_error_t error;
        return JsonRef(json_loadb(text.data(), text.size(), 0, &error));
    }

    json_t* get() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }
    void reset() {
        if (value_) json_decref(value_);
        value_ = nullptr;
    }

private:
    json_t* value_ = nullptr;
};

}  // namespace veltrion
