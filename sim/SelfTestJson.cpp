#include "SelfTestJson.h"

namespace camsim {

namespace {

constexpr const char* kObject = "self-test";
constexpr const char* kRevisions = "revisions";
constexpr const char* kStatuses = "statuses";
constexpr const char* kIspInfo = "isp-info";
constexpr const char* kIspInfoEnd = "isp-info-end";

template <typename T, size_t N>
json_t* numberArray(const std::array<T, N>& values) {
    json_t* array = json_array();
    for (T value : values) json_array_append_new(array, json_integer(value));
    return array;
}

template <typename T, size_t N>
void readNumbers(json_t* array, std::array<T, N>& values, json_int_t max) {
    if (!json_is_array(array) || json_array_size(array) != N) return;
    for (size_t i = 0; i < N; ++i) {
        json_t* item = json_array_get(array, i);
        if (json_is_integer(item) && json_integer_value(item) >= 0 && json_integer_value(item) <= max)
            values[i] = static_cast<T>(json_integer_value(item));
    }
}

}  // namespace

void writeSelfTestJson(json_t* root, const SelfTestState& state) {
    json_t* object = json_object();
    json_object_set_new(object, kRevisions, numberArray(state.revisions));
    json_object_set_new(object, kStatuses, numberArray(state.statuses));
    json_t* texts = json_array();
    for (const auto& text : state.ispInfo)
        json_array_append_new(texts, text ? json_stringn(text->data(), text->size()) : json_null());
    json_object_set_new(object, kIspInfo, texts);
    json_object_set_new(object, kIspInfoEnd, json_string(state.ispInfoEnd == IspInfoEnd::Zero ? "zero" : "none"));
    json_object_set_new(root, kObject, object);
}

SelfTestState readSelfTestJson(json_t* root) {
    SelfTestState state;
    json_t* object = json_object_get(root, kObject);
    if (!json_is_object(object)) return state;
    readNumbers(json_object_get(object, kRevisions), state.revisions, 0xFFFF);
    readNumbers(json_object_get(object, kStatuses), state.statuses, 0xFF);
    json_t* texts = json_object_get(object, kIspInfo);
    if (json_is_array(texts) && json_array_size(texts) == state.ispInfo.size()) {
        for (size_t i = 0; i < state.ispInfo.size(); ++i) {
            json_t* text = json_array_get(texts, i);
            if (json_is_string(text) && json_string_length(text) <= kMaxIspInfoLength)
                state.ispInfo[i] = std::string(json_string_value(text), json_string_length(text));
        }
    }
    json_t* end = json_object_get(object, kIspInfoEnd);
    if (json_is_string(end) && std::string(json_string_value(end)) == "none") state.ispInfoEnd = IspInfoEnd::None;
    return state;
}

}  // namespace camsim
